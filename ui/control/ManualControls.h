#pragma once

#include "runtime/Handle.h"

#include <QWidget>

#include <vector>

class QLabel;
class QPushButton;
class QSlider;
class QToolButton;

namespace mirl {

class AutopilotButton;
class SessionOrchestrator;

/// "Manual controls", collapsed at first: the ambiance and the volume, each with its autopilot
/// button, its value and a slider, and "Reset the ambiance". The sliders follow the session's
/// values without reporting those moves; every move the user makes goes to the session, which
/// tells its own echoes apart.
class ManualControls final : public QWidget {
public:
    explicit ManualControls(SessionOrchestrator& session, QWidget* parent = nullptr);

    void setExpanded(bool expanded);
    bool isExpanded() const;

    QToolButton* disclosure() const { return disclosure_; }
    QSlider* ambianceSlider() const { return ambianceSlider_; }
    QSlider* volumeSlider() const { return volumeSlider_; }
    QLabel* ambianceValue() const { return ambianceValue_; }
    QLabel* volumeValue() const { return volumeValue_; }
    AutopilotButton* ambianceAutopilot() const { return ambianceAutopilot_; }
    AutopilotButton* volumeAutopilot() const { return volumeAutopilot_; }
    QPushButton* resetButton() const { return reset_; }

    /// Slider steps per unit of ambiance.
    static constexpr int kAmbianceSteps = 1000;

private:
    void showAmbiance(double ambiance);
    void showVolume(double volume);

    SessionOrchestrator& session_;
    QToolButton* disclosure_;
    QWidget* body_;
    AutopilotButton* ambianceAutopilot_;
    AutopilotButton* volumeAutopilot_;
    QLabel* ambianceValue_;
    QLabel* volumeValue_;
    QSlider* ambianceSlider_;
    QSlider* volumeSlider_;
    QPushButton* reset_;
    std::vector<Handle> subscriptions_;
};

} // namespace mirl
