#pragma once

#include "ui/control/ControlView.h"
#include "ui/shell/RemoteControl.h"
#include "ui/shell/RemoteStatus.h"

#include <functional>
#include <memory>

namespace mirl {

class Clock;
class MainWindow;
class Popover;
class Scheduler;
class SessionOrchestrator;
class Settings;
class TrayItem;

/// Mirl's face on the desktop: the tray item with its popover, the main window, and the
/// answers to control from outside, all on the one session. `actions` open the windows that
/// other parts of Mirl provide (one left empty is offered disabled) and quit (the
/// application's quit when empty).
///
/// Thread rule: main thread only.
class TrayShell {
public:
    TrayShell(SessionOrchestrator& session, const Settings& settings, const Clock& clock,
              Scheduler& scheduler, ControlViewActions actions);
    ~TrayShell();
    TrayShell(const TrayShell&) = delete;
    TrayShell& operator=(const TrayShell&) = delete;

    /// Shows the tray item, and the main window when asked to (a taskbar presence) or when no
    /// tray host is there to show the item, so that Mirl is never invisible.
    void launch(bool showMainWindow);

    /// Brings the main window to the front (a second launch, the tray menu).
    void presentMainWindow();

    /// What `mirl status` says about the session now.
    RemoteStatus status() const;
    /// The running instance's answers to the verbs.
    remote::Handlers remoteHandlers();

    TrayItem& trayItem() { return *tray_; }
    Popover& popover() { return *popover_; }
    MainWindow& mainWindow() { return *mainWindow_; }

private:
    SessionOrchestrator& session_;
    const Settings& settings_;
    const Clock& clock_;
    std::function<void()> quit_;
    std::function<void()> openPreferences_;
    std::function<void()> openAnnotation_;
    std::unique_ptr<MainWindow> mainWindow_;
    std::unique_ptr<Popover> popover_;
    std::unique_ptr<TrayItem> tray_;
};

} // namespace mirl
