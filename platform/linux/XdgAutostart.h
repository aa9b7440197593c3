#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace mirl {

/// "Start Mirl when I log in": an XDG autostart entry ($XDG_CONFIG_HOME/autostart/mirl.desktop)
/// that desktop sessions run at login. Enabling writes it (atomically, through a temporary file);
/// disabling removes it. An entry the user turned off by hand (Hidden=true, or GNOME's
/// X-GNOME-Autostart-enabled=false) counts as off.
class XdgAutostart {
public:
    /// The entry file and the program it starts.
    XdgAutostart(std::filesystem::path entry, std::filesystem::path program);
    /// The user's entry for the running program; nothing without a configuration folder.
    static std::optional<XdgAutostart> forThisProgram();

    bool isEnabled() const;
    /// Nothing on success, else what went wrong.
    std::optional<std::string> setEnabled(bool enabled);

    const std::filesystem::path& entry() const { return entry_; }
    /// The entry's text.
    std::string entryText() const;

private:
    std::filesystem::path entry_;
    std::filesystem::path program_;
};

} // namespace mirl
