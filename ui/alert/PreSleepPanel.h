#pragma once

#include "core/session/AlertPanel.h"

#include <QPointer>

#include <functional>
#include <string>

class QLabel;
class QWidget;

namespace mirl {

/// The pre-sleep alert's window (the alert controller's panel): 340 x 150, above every other window
/// (full-screen ones included, so it bypasses the window manager and is raised again at every countdown
/// refresh), shown without taking the keyboard focus from the window the user is in, centred
/// on the screen with the cursor. A fresh window is built at every open; the buttons call
/// onExtend (10, 20, 30) and onSleepNow, which the composition points at the alert controller.
///
/// Thread rule: main thread only.
class PreSleepPanel final : public AlertPanel {
public:
    PreSleepPanel();
    ~PreSleepPanel() override;
    PreSleepPanel(const PreSleepPanel&) = delete;
    PreSleepPanel& operator=(const PreSleepPanel&) = delete;

    void open() override;
    void setCountdownText(const std::string& text) override;
    void close() override;

    std::function<void(int minutes)> onExtend;
    std::function<void()> onSleepNow;

    /// The window while open (for tests and screenshots).
    QWidget* window() const { return window_.data(); }

private:
    QPointer<QWidget> window_;
    QPointer<QLabel> countdown_;
};

} // namespace mirl
