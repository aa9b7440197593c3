#pragma once

#include "runtime/Handle.h"
#include "ui/art/Symbols.h"

#include <QWidget>

#include <functional>

class QKeySequence;
class QLabel;
class QToolButton;

namespace mirl {

class Clock;
class CountdownSection;
class DetectionSection;
class ManualControls;
class Scheduler;
class SessionOrchestrator;
class Settings;
class StartSection;

/// The header's buttons; one left empty is shown disabled (its window does not exist yet).
struct ControlViewActions {
    std::function<void()> openPreferences;
    std::function<void()> openAnnotation;
    std::function<void()> quit;
};

/// Mirl's face, in the popover and in the main window, both on the one session: the header,
/// the start controls or the countdown, the detection section, the manual controls and the
/// version. It observes the session and passes the user's actions on; it decides nothing.
class ControlView final : public QWidget {
public:
    ControlView(SessionOrchestrator& session, const Settings& settings, const Clock& clock,
                Scheduler& scheduler, ControlViewActions actions, QWidget* parent = nullptr);

    StartSection* startSection() const { return start_; }
    CountdownSection* countdownSection() const { return countdown_; }
    DetectionSection* detectionSection() const { return detection_; }
    ManualControls* manualControls() const { return manual_; }
    QToolButton* preferencesButton() const { return preferences_; }
    QToolButton* annotateButton() const { return annotate_; }
    QToolButton* quitButton() const { return quit_; }
    QLabel* footer() const { return footer_; }

    /// Content width and the inset on every side.
    static constexpr int kContentWidth = 300;
    static constexpr int kInset = 20;

protected:
    void focusInEvent(QFocusEvent* event) override;

private:
    QWidget* header();
    QWidget* primaryControl() const;
    QToolButton* headerButton(Symbol symbol, const QString& tip, const std::function<void()>& action);
    void addShortcut(const QKeySequence& keys, const std::function<void()>& action);
    void showTimerState();

    SessionOrchestrator& session_;
    ControlViewActions actions_;
    StartSection* start_ = nullptr;
    CountdownSection* countdown_ = nullptr;
    DetectionSection* detection_ = nullptr;
    ManualControls* manual_ = nullptr;
    QToolButton* preferences_ = nullptr;
    QToolButton* annotate_ = nullptr;
    QToolButton* quit_ = nullptr;
    QLabel* footer_ = nullptr;
    Handle running_;
};

} // namespace mirl
