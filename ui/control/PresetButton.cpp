#include "ui/control/PresetButton.h"

#include "ui/art/Tones.h"
#include "ui/control/ViewStyle.h"

#include <QPainter>

namespace mirl {

PresetButton::PresetButton(int minutes, QWidget* parent) : QAbstractButton(parent), minutes_(minutes) {
    setText(QString::number(minutes));
    setAccessibleName(QStringLiteral("%1 minutes").arg(minutes));
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize PresetButton::sizeHint() const {
    return {90, 50};
}

void PresetButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void PresetButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void PresetButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QColor ink = pal.color(QPalette::WindowText);
    const qreal fill = isDown() ? 0.16 : hovered_ ? 0.10 : 0.06;
    const QRectF tile = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(hasFocus() ? QPen(tone::accent(pal), 1.5) : QPen(tone::withAlpha(ink, 0.08), 1.0));
    painter.setBrush(tone::withAlpha(ink, fill));
    painter.drawRoundedRect(tile, 9, 9);

    const QFont number = viewstyle::font(font(), 18, QFont::DemiBold);
    const QFont unit = viewstyle::font(font(), 11);
    const QFontMetricsF numberMetrics(number);
    const QFontMetricsF unitMetrics(unit);
    const qreal total = numberMetrics.height() + unitMetrics.height() - 4;
    const qreal top = (height() - total) / 2;
    painter.setFont(number);
    painter.setPen(ink);
    painter.drawText(QRectF(0, top, width(), numberMetrics.height()), Qt::AlignHCenter | Qt::AlignVCenter,
                     text());
    painter.setFont(unit);
    painter.setPen(tone::secondary(pal));
    painter.drawText(QRectF(0, top + numberMetrics.height() - 4, width(), unitMetrics.height()),
                     Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("min"));
}

} // namespace mirl
