#pragma once

#include "core/settings/Settings.h"
#include "platform/InputDevices.h"
#include "runtime/Handle.h"

#include <QWidget>

#include <filesystem>
#include <functional>

class QTabWidget;
class QUrl;

namespace mirl {

class AboutTab;
class AmbianceTab;
class DetectorTab;
class FadeTab;
class SystemTab;
class WakeSound;
class XdgAutostart;

/// The preferences window's content: five tabs whose controls are each bound to one setting
/// and write it as soon as they change. Running components read the new value at their next
/// decision; the view talks to no engine, except the wake sound for the preview. It holds no
/// state beyond the device list: each time it is shown it reads the settings afresh.
class PreferencesView : public QWidget {
    Q_OBJECT
public:
    struct Deps {
        Settings& settings;
        InputDevices* devices = nullptr;                   // the microphones; null: none listed
        WakeSound* wakeSound = nullptr;                    // plays the preview; null: no preview
        XdgAutostart* autostart = nullptr;                 // "Start Mirl when I log in"; null: disabled
        std::function<std::filesystem::path()> dataFolder; // creates the folder when missing
        std::function<void(const QUrl&)> openUrl;          // default: the desktop's default application
        /// Subscribes to "microphones came or went, or the default changed" (the sound server's
        /// notifications); the device list then refreshes by itself. Null: only by the button.
        std::function<Handle(std::function<void()>)> watchDevices = {};
    };
    explicit PreferencesView(Deps deps, QWidget* parent = nullptr);

    /// Shows every stored value again (and re-reads the devices), writing nothing.
    void reload();

    QTabWidget* tabs() const { return tabs_; }
    SystemTab* systemTab() const { return system_; }
    AmbianceTab* ambianceTab() const { return ambiance_; }
    DetectorTab* detectorTab() const { return detector_; }
    FadeTab* fadeTab() const { return fade_; }
    AboutTab* aboutTab() const { return about_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QTabWidget* tabs_;
    SystemTab* system_;
    AmbianceTab* ambiance_;
    DetectorTab* detector_;
    FadeTab* fade_;
    AboutTab* about_;
    Handle devicesWatch_;
};

} // namespace mirl
