#pragma once

#include <QAbstractButton>
#include <QVariantAnimation>

namespace mirl {

/// An on/off switch: a rounded track with a sliding knob. Checkable; Space toggles it.
class SwitchButton final : public QAbstractButton {
public:
    explicit SwitchButton(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void checkStateSet() override;
    void nextCheckState() override;

private:
    QVariantAnimation knob_;
};

} // namespace mirl
