#include "ui/control/PhaseBadge.h"

#include "ui/art/Tones.h"
#include "ui/control/ControlTexts.h"

#include <QPainter>

namespace mirl {

PhaseBadge::PhaseBadge(QWidget* parent) : QLabel(parent) {
    QFont font = this->font();
    font.setPixelSize(11);
    font.setWeight(QFont::DemiBold);
    setFont(font);
    setAlignment(Qt::AlignCenter);
    setContentsMargins(8, 2, 8, 2);
    setPhase(SleepPhase::awake);
}

QColor PhaseBadge::colorOf(SleepPhase phase) {
    switch (phase) {
    case SleepPhase::awake:
        return {0xf0, 0x8a, 0x12};
    case SleepPhase::calming:
        return {0xd9, 0xa8, 0x00};
    case SleepPhase::asleep:
        return {0x2f, 0x7b, 0xf5};
    case SleepPhase::deepAsleep:
        return {0x5e, 0x5c, 0xe6};
    }
    return {0xf0, 0x8a, 0x12};
}

void PhaseBadge::setPhase(SleepPhase phase) {
    phase_ = phase;
    setText(QString::fromStdString(controltext::phaseBadge(phase)));
    update();
}

void PhaseBadge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor color = colorOf(phase_);
    const QRectF pill = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tone::withAlpha(color, 0.25));
    painter.drawRoundedRect(pill, pill.height() / 2, pill.height() / 2);
    // On a light window the pale colours need a darker ink to be read.
    painter.setPen(tone::isDark(palette()) ? color.lighter(125) : color.darker(135));
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter, text());
}

} // namespace mirl
