#pragma once

#include "runtime/Handle.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace mirl {

class Clock;
class Scheduler;
class SessionOrchestrator;
class Settings;

/// The controls shown while no timer runs: the mode caption (it follows the clock), the
/// presets and the custom duration with its "Go" button. Return in the field starts too.
class StartSection final : public QWidget {
public:
    StartSection(SessionOrchestrator& session, const Settings& settings, const Clock& clock,
                 Scheduler& scheduler, QWidget* parent = nullptr);

    /// Starts a timer of the typed minutes when they are valid, and empties the field.
    void startCustom();
    void refreshModeCaption();

    QLabel* modeCaption() const { return caption_; }
    QLineEdit* customField() const { return custom_; }
    QPushButton* goButton() const { return go_; }

private:
    SessionOrchestrator& session_;
    const Settings& settings_;
    const Clock& clock_;
    QLabel* caption_;
    QLineEdit* custom_;
    QPushButton* go_;
    Handle captionTicker_;
};

} // namespace mirl
