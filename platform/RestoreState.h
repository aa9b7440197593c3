#pragma once

#include <nlohmann/json.hpp>

#include <string_view>

namespace mirl {

/// What must be put back if the process dies before its normal restore: the original gamma
/// ramps, the saved backlight levels, the user's night-light values, the baseline volume. Each
/// output remembers its part before its first change and forgets it once it has put it back;
/// the next launch restores whatever is still remembered (see RestoreStateFile).
///
/// What could not be recorded could not be put back after a crash, so an output whose part was
/// not recorded leaves the machine as it is.
/// Thread rule: main thread.
class RestoreState {
public:
    virtual ~RestoreState() = default;
    /// Stores (or replaces) a part; true when it is durable on return. False when it could not
    /// be recorded (a full disk, a read-only folder): the caller then changes nothing.
    [[nodiscard]] virtual bool remember(std::string_view part, const nlohmann::json& value) = 0;
    /// Drops a part; nothing happens when it is not held.
    virtual void forget(std::string_view part) = 0;
};

/// What became of one part a previous process left behind, when it was tried again.
enum class Recovery {
    restored,        ///< put back
    noLongerApplies, ///< nothing to do any more, or not a value Mirl would ever have kept
    notNow,          ///< its facility is not there (no sound server, no display): kept for later
};

/// The names of the parts.
namespace restore_parts {
inline constexpr std::string_view gamma = "gamma";
inline constexpr std::string_view backlight = "backlight";
inline constexpr std::string_view nightLight = "night_light";
inline constexpr std::string_view volume = "volume";
} // namespace restore_parts

} // namespace mirl
