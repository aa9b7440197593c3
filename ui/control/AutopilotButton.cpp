#include "ui/control/AutopilotButton.h"

#include "ui/art/Symbols.h"
#include "ui/art/Tones.h"

#include <QEvent>

namespace mirl {

AutopilotButton::AutopilotButton(QWidget* parent) : QToolButton(parent) {
    setAutoRaise(true);
    setFixedSize(22, 22);
    setIconSize(QSize(14, 14));
    setCursor(Qt::PointingHandCursor);
    refresh();
}

void AutopilotButton::setOn(bool on) {
    if (on == on_)
        return;
    on_ = on;
    refresh();
}

void AutopilotButton::changeEvent(QEvent* event) {
    QToolButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refresh();
}

void AutopilotButton::refresh() {
    const QPalette& pal = palette();
    setIcon(on_ ? symbolIcon(Symbol::wandStars, tone::accent(pal))
                : symbolIcon(Symbol::handPoint, tone::secondary(pal)));
    const QString tip = on_ ? QStringLiteral("Autopilot active") : QStringLiteral("Manual");
    setToolTip(tip);
    setAccessibleName(tip);
}

} // namespace mirl
