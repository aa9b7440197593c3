#pragma once

#include "core/settings/Settings.h"
#include "platform/AudioControl.h"
#include "platform/InputDevices.h"
#include "platform/linux/XdgAutostart.h"
#include "ui/prefs/PreferencesView.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace mirl {

class WakeSound;

/// The preferences window over the application's own services: its settings, its wake sound
/// (for the preview), its microphones with the sound server's news of them, and its data
/// folder, with the user's autostart entry. The
/// tray application keeps one and shows it when asked; `mirl --preferences` makes its own.
/// Thread rule: main thread, with a QApplication.
class PreferencesWindowHost {
public:
    /// audio, when given, tells of microphones that come and go.
    PreferencesWindowHost(Settings& settings, WakeSound* wakeSound, InputDevices* devices,
                          std::function<std::filesystem::path()> dataFolder, AudioControl* audio);

    PreferencesView& window() { return *view_; }
    /// Shows the window (reading the settings afresh) and brings it to the front.
    void present();

private:
    std::optional<XdgAutostart> autostart_;
    std::unique_ptr<PreferencesView> view_;
};

/// Whether the command line asks for the preferences window ("mirl --preferences").
bool wantsPreferences(int argc, char** argv);

/// `mirl --preferences`: the running Mirl's preferences window when one runs, else the window on
/// its own; returns the exit status.
int runPreferencesCommand(int argc, char** argv);

} // namespace mirl
