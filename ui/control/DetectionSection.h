#pragma once

#include "runtime/Handle.h"

#include <QWidget>

#include <vector>

class QLabel;

namespace mirl {

class PhaseBadge;
class SessionOrchestrator;
class Settings;
class SwitchButton;

/// "Sleep detection" and "Auto-fade" with their switches, then either a caption saying why the
/// detectors do not run, or their live reading: the phase badge, the top sound label and its
/// confidence, and the breathing rate with a word for it.
class DetectionSection final : public QWidget {
public:
    DetectionSection(SessionOrchestrator& session, const Settings& settings, QWidget* parent = nullptr);

    SwitchButton* detectionSwitch() const { return detectionSwitch_; }
    SwitchButton* autoFadeSwitch() const { return autoFadeSwitch_; }
    QLabel* caption() const { return caption_; }
    QWidget* liveStatus() const { return live_; }
    PhaseBadge* phaseBadge() const { return badge_; }
    QLabel* soundLabel() const { return soundLabel_; }
    QLabel* confidence() const { return confidence_; }
    QWidget* breathing() const { return breathing_; }
    QLabel* breathRate() const { return breathRate_; }
    QLabel* breathWord() const { return breathWord_; }

    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    SessionOrchestrator& session_;
    const Settings& settings_;
    SwitchButton* detectionSwitch_;
    SwitchButton* autoFadeSwitch_;
    QLabel* fadeActive_;
    QLabel* caption_;
    QWidget* live_;
    PhaseBadge* badge_;
    QLabel* soundLabel_;
    QLabel* confidence_;
    QWidget* breathing_;
    QLabel* breathRate_;
    QLabel* breathWord_;
    std::vector<Handle> subscriptions_;
};

} // namespace mirl
