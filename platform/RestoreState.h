#pragma once

#include <nlohmann/json.hpp>

#include <string_view>

namespace mirl {

/// What must be put back if the process dies before its normal restore: the original gamma
/// ramps, the saved backlight level, the user's night-light values, the baseline volume. Each
/// output remembers its part before its first change and forgets it once it has put it back;
/// the next launch restores whatever is still remembered (see RestoreStateFile).
/// Thread rule: main thread.
class RestoreState {
public:
    virtual ~RestoreState() = default;
    /// Stores (or replaces) a part; durable when the call returns.
    virtual void remember(std::string_view part, const nlohmann::json& value) = 0;
    /// Drops a part; nothing happens when it is not held.
    virtual void forget(std::string_view part) = 0;
};

/// The names of the parts.
namespace restore_parts {
inline constexpr std::string_view gamma = "gamma";
inline constexpr std::string_view backlight = "backlight";
inline constexpr std::string_view nightLight = "night_light";
inline constexpr std::string_view volume = "volume";
} // namespace restore_parts

} // namespace mirl
