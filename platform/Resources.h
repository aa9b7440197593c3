#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace mirl {

/// Finds files installed with Mirl (the wake sounds).
class Resources {
public:
    virtual ~Resources() = default;
    /// The sound `name`.`extension` (e.g. "Birds", "m4a"), or nothing when it is not installed.
    virtual std::optional<std::filesystem::path> sound(std::string_view name, std::string_view extension) = 0;
};

} // namespace mirl
