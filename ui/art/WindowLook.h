#pragma once

#include <QColor>
#include <QRectF>

class QPainter;
class QWidget;

namespace mirl {

/// Whether top-level windows can have translucent (rounded) edges right now: on X11 only while
/// a compositing manager runs, always on Wayland, never elsewhere.
bool windowsCanBeTranslucent();

/// Makes a frameless top-level window translucent where that works, so that it can paint
/// rounded corners; returns whether it did.
bool useTranslucentFrame(QWidget& window);

/// Paints a frameless window's background: a rounded card when `rounded`, else a square one
/// with a hairline border (an opaque window cannot show round corners).
void paintWindowCard(QPainter& painter, const QRectF& rect, const QColor& fill, const QColor& border,
                     bool rounded, qreal radius = 12.0);

} // namespace mirl
