#include "ui/overlay/OverlayWindow.h"

#include <QPainter>

namespace mirl {

OverlayWindow::OverlayWindow(const QRect& geometry)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::X11BypassWindowManagerHint | Qt::WindowTransparentForInput |
                           Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint) {
    setObjectName(QStringLiteral("MirlOverlay"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(geometry);
}

void OverlayWindow::setOpacities(float orange, float dark) {
    if (orange == orange_ && dark == dark_)
        return;
    orange_ = orange;
    dark_ = dark;
    update();
}

void OverlayWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.fillRect(rect(), QColor::fromRgbF(1.0f, 0.45f, 0.0f, orange_));
    painter.fillRect(rect(), QColor::fromRgbF(0.0f, 0.0f, 0.0f, dark_));
}

} // namespace mirl
