#include "ui/control/SwitchButton.h"

#include "ui/art/Tones.h"

#include <QPainter>

namespace mirl {

SwitchButton::SwitchButton(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    knob_.setDuration(120);
    knob_.setStartValue(0.0);
    knob_.setEndValue(0.0);
    connect(&knob_, &QVariantAnimation::valueChanged, this, [this] { update(); });
}

QSize SwitchButton::sizeHint() const {
    return {36, 20};
}

void SwitchButton::checkStateSet() {
    // Set from the model: no animation.
    knob_.stop();
    knob_.setStartValue(isChecked() ? 1.0 : 0.0);
    knob_.setEndValue(isChecked() ? 1.0 : 0.0);
    update();
}

void SwitchButton::nextCheckState() {
    QAbstractButton::nextCheckState();
    knob_.stop();
    knob_.setStartValue(isChecked() ? 0.0 : 1.0);
    knob_.setEndValue(isChecked() ? 1.0 : 0.0);
    knob_.start();
}

void SwitchButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal position = knob_.state() == QAbstractAnimation::Running ? knob_.currentValue().toReal()
                                                                        : (isChecked() ? 1.0 : 0.0);
    const QRectF track = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    const qreal radius = track.height() / 2;
    const QPalette& pal = palette();
    QColor off = tone::withAlpha(pal.color(QPalette::WindowText), tone::isDark(pal) ? 0.30 : 0.22);
    QColor on = tone::accent(pal);
    QColor fill = QColor::fromRgbF(off.redF() + (on.redF() - off.redF()) * position,
                                   off.greenF() + (on.greenF() - off.greenF()) * position,
                                   off.blueF() + (on.blueF() - off.blueF()) * position,
                                   off.alphaF() + (on.alphaF() - off.alphaF()) * position);
    if (!isEnabled())
        fill = tone::withAlpha(fill, fill.alphaF() * 0.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(track, radius, radius);
    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(tone::withAlpha(tone::accent(pal), 0.6), 1.5));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), radius + 0.75,
                                radius + 0.75);
    }
    const qreal d = track.height() - 4;
    const QRectF knob(track.left() + 2 + (track.width() - d - 4) * position, track.top() + 2, d, d);
    painter.setPen(QPen(QColor(0, 0, 0, 40), 0.5));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knob);
}

} // namespace mirl
