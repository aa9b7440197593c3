#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace mirl::xdg {

/// $XDG_DATA_HOME, else ~/.local/share; nothing when no home can be found.
std::optional<std::filesystem::path> dataHome();
/// $XDG_CONFIG_HOME, else ~/.config.
std::optional<std::filesystem::path> configHome();
/// $XDG_STATE_HOME, else ~/.local/state.
std::optional<std::filesystem::path> stateHome();

/// PRETTY_NAME from /etc/os-release (then /usr/lib/os-release), else "Linux".
std::string osPrettyName();

} // namespace mirl::xdg
