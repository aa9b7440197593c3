#include "ui/art/WindowLook.h"

#include "platform/linux/X11Compositor.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

namespace mirl {

bool windowsCanBeTranslucent() {
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("wayland")))
        return true;
    if (platform != QLatin1String("xcb"))
        return false;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 && x11->display() && x11CompositorRunning(x11->display());
}

bool useTranslucentFrame(QWidget& window) {
    const bool translucent = windowsCanBeTranslucent();
    window.setAttribute(Qt::WA_TranslucentBackground, translucent);
    return translucent;
}

void paintWindowCard(QPainter& painter, const QRectF& rect, const QColor& fill, const QColor& border,
                     bool rounded, qreal radius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, rounded);
    const QRectF inner = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(border, 1.0));
    painter.setBrush(fill);
    if (rounded) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(rect, Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawRoundedRect(inner, radius, radius);
    } else {
        painter.drawRect(inner);
    }
    painter.restore();
}

} // namespace mirl
