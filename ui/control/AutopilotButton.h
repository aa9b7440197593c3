#pragma once

#include <QToolButton>

namespace mirl {

/// A channel's autopilot toggle: a wand in the accent colour while the fade engine drives the
/// channel ("Autopilot active"), a hand in the secondary colour while the user does ("Manual").
/// A press only emits clicked(); the shown state follows setOn, that is the fade engine.
class AutopilotButton final : public QToolButton {
public:
    explicit AutopilotButton(QWidget* parent = nullptr);

    void setOn(bool on);
    bool isOn() const { return on_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void refresh();

    bool on_ = true;
};

} // namespace mirl
