#include "ui/art/Symbols.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPixmap>

#include <array>
#include <cmath>
#include <numbers>

namespace mirl {

namespace {

// Every symbol is drawn on a 24 x 24 grid, scaled to the box.
constexpr qreal kGrid = 24.0;

QPainterPath strokeOf(const QPainterPath& path, qreal width, Qt::PenCapStyle cap = Qt::RoundCap) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(cap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(path);
}

QPainterPath line(QPointF a, QPointF b) {
    QPainterPath path(a);
    path.lineTo(b);
    return path;
}

QPainterPath circle(QPointF center, qreal radius) {
    QPainterPath path;
    path.addEllipse(center, radius, radius);
    return path;
}

/// A four-pointed sparkle.
QPainterPath sparkle(QPointF c, qreal r) {
    const qreal w = r * 0.28;
    QPainterPath path(QPointF(c.x(), c.y() - r));
    path.quadTo(QPointF(c.x() + w, c.y() - w), QPointF(c.x() + r, c.y()));
    path.quadTo(QPointF(c.x() + w, c.y() + w), QPointF(c.x(), c.y() + r));
    path.quadTo(QPointF(c.x() - w, c.y() + w), QPointF(c.x() - r, c.y()));
    path.quadTo(QPointF(c.x() - w, c.y() - w), QPointF(c.x(), c.y() - r));
    return path;
}

/// A "z" of height s with its top left corner at (x, y).
QPainterPath letterZ(qreal x, qreal y, qreal s, qreal width) {
    QPainterPath path(QPointF(x, y));
    path.lineTo(x + s, y);
    path.lineTo(x, y + s);
    path.lineTo(x + s, y + s);
    return strokeOf(path, width, Qt::RoundCap);
}

QPainterPath moonZzz() {
    QPainterPath moon = circle({10.0, 14.0}, 9.5).subtracted(circle({17.2, 7.2}, 8.0));
    moon.addPath(letterZ(14.6, 8.0, 3.4, 1.5));
    moon.addPath(letterZ(19.4, 2.2, 2.8, 1.3));
    return moon;
}

QPainterPath gear() {
    QPainterPath body = circle({12, 12}, 7.2);
    for (int i = 0; i < 8; ++i) {
        QPainterPath tooth;
        tooth.addRoundedRect(QRectF(-1.9, -10.6, 3.8, 5.0), 0.8, 0.8);
        QTransform t;
        t.translate(12, 12);
        t.rotate(45.0 * i);
        body = body.united(t.map(tooth));
    }
    return body.subtracted(circle({12, 12}, 3.0));
}

QPainterPath pencilSquare() {
    QPainterPath frame(QPointF(11, 4.5));
    frame.lineTo(6.5, 4.5);
    frame.quadTo(4, 4.5, 4, 7);
    frame.lineTo(4, 17.5);
    frame.quadTo(4, 20, 6.5, 20);
    frame.lineTo(17, 20);
    frame.quadTo(19.5, 20, 19.5, 17.5);
    frame.lineTo(19.5, 13);
    QPainterPath path = strokeOf(frame, 1.8);
    path.addPath(strokeOf(line({20.4, 3.6}, {12.6, 11.4}), 3.2, Qt::RoundCap));
    QPainterPath tip(QPointF(11.2, 10.0));
    tip.lineTo(14.0, 12.8);
    tip.lineTo(9.6, 14.4);
    tip.closeSubpath();
    path.addPath(tip);
    return path;
}

QPainterPath power() {
    QPainterPath arc;
    const QRectF ring(4.5, 5.0, 15.0, 15.0);
    arc.arcMoveTo(ring, 125);
    arc.arcTo(ring, 125, 290);
    QPainterPath path = strokeOf(arc, 2.0);
    path.addPath(strokeOf(line({12, 2.8}, {12, 11.5}), 2.0));
    return path;
}

QPainterPath xmarkCircle() {
    QPainterPath cross = strokeOf(line({8.2, 8.2}, {15.8, 15.8}), 2.2);
    cross = cross.united(strokeOf(line({15.8, 8.2}, {8.2, 15.8}), 2.2));
    return circle({12, 12}, 10).subtracted(cross);
}

QPainterPath waveform() {
    constexpr std::array<qreal, 7> heights{5, 11, 17, 9, 15, 7, 3};
    QPainterPath path;
    for (std::size_t i = 0; i < heights.size(); ++i) {
        const qreal x = 3.0 + 3.0 * static_cast<qreal>(i);
        path.addPath(strokeOf(line({x, 12 - heights[i] / 2}, {x, 12 + heights[i] / 2}), 1.9));
    }
    return path;
}

QPainterPath wandStars() {
    QPainterPath path = strokeOf(line({3.5, 20.5}, {14.5, 9.5}), 2.4);
    path.addPath(sparkle({18.5, 5.5}, 4.2));
    path.addPath(sparkle({9.5, 4.5}, 2.4));
    path.addPath(sparkle({20.0, 14.5}, 2.4));
    return path;
}

QPainterPath handPoint() {
    // A hand pointing up, tilted to the upper left.
    QPainterPath hand;
    hand.addRoundedRect(QRectF(7.5, 11.0, 11.0, 10.5), 3.5, 3.5);
    hand = hand.united([] {
        QPainterPath p;
        p.addRoundedRect(QRectF(7.5, 1.5, 3.6, 14.0), 1.8, 1.8);
        return p;
    }());
    for (int i = 0; i < 3; ++i) {
        QPainterPath finger;
        finger.addRoundedRect(QRectF(11.3 + 2.45 * i, 8.2 + 0.6 * i, 2.6, 7.0), 1.3, 1.3);
        hand = hand.united(finger);
    }
    QPainterPath thumb;
    thumb.addRoundedRect(QRectF(3.6, 11.6, 6.0, 3.0), 1.5, 1.5);
    QTransform tilt;
    tilt.translate(4.0, 14.0);
    tilt.rotate(35);
    tilt.translate(-4.0, -14.0);
    hand = hand.united(tilt.map(thumb));
    QTransform t;
    t.translate(12, 12);
    t.rotate(-28);
    t.translate(-12, -12);
    return t.map(hand);
}

QPainterPath wind() {
    QPainterPath upper(QPointF(2.5, 9));
    upper.lineTo(14.5, 9);
    upper.cubicTo(18.5, 9, 18.5, 3.5, 15.0, 3.5);
    upper.cubicTo(13.2, 3.5, 12.5, 4.8, 12.5, 5.6);
    QPainterPath middle(QPointF(2.5, 13));
    middle.lineTo(18.5, 13);
    middle.cubicTo(22.5, 13, 22.5, 19, 19.0, 19);
    middle.cubicTo(17.2, 19, 16.5, 17.8, 16.5, 17.0);
    QPainterPath lower(QPointF(2.5, 17));
    lower.lineTo(10.5, 17);
    QPainterPath path = strokeOf(upper, 1.8);
    path.addPath(strokeOf(middle, 1.8));
    path.addPath(strokeOf(lower, 1.8));
    return path;
}

} // namespace

QPainterPath symbolShape(Symbol symbol) {
    switch (symbol) {
    case Symbol::moonZzz:
        return moonZzz();
    case Symbol::gear:
        return gear();
    case Symbol::pencilSquare:
        return pencilSquare();
    case Symbol::power:
        return power();
    case Symbol::xmarkCircle:
        return xmarkCircle();
    case Symbol::waveform:
        return waveform();
    case Symbol::wandStars:
        return wandStars();
    case Symbol::handPoint:
        return handPoint();
    case Symbol::wind:
        return wind();
    }
    return {};
}

namespace {

/// The theme's symbolic icon standing for the symbol, if any.
const char* themeName(Symbol symbol) {
    switch (symbol) {
    case Symbol::gear:
        return "preferences-system-symbolic";
    case Symbol::pencilSquare:
        return "document-edit-symbolic";
    case Symbol::power:
        return "system-shutdown-symbolic";
    case Symbol::xmarkCircle:
        return "process-stop-symbolic";
    case Symbol::waveform:
        return "audio-input-microphone-symbolic";
    case Symbol::moonZzz:
    case Symbol::wandStars:
    case Symbol::handPoint:
    case Symbol::wind:
        break;
    }
    return nullptr;
}

constexpr std::array kSizes{12, 14, 16, 18, 20, 22, 24, 32, 48, 64};

/// A symbolic theme icon recoloured: its shape in `color`.
QIcon tinted(const QIcon& icon, const QColor& color) {
    QIcon out;
    for (int size : kSizes) {
        QPixmap pixmap = icon.pixmap(size, size);
        if (pixmap.isNull())
            return {};
        QPainter painter(&pixmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(pixmap.rect(), color);
        painter.end();
        out.addPixmap(pixmap);
    }
    return out;
}

} // namespace

void paintSymbol(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& color) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.topLeft());
    painter.scale(box.width() / kGrid, box.height() / kGrid);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPath(symbolShape(symbol));
    painter.restore();
}

QIcon symbolIcon(Symbol symbol, const QColor& color) {
    if (const char* name = themeName(symbol); name && QIcon::hasThemeIcon(QString::fromLatin1(name))) {
        QIcon fromTheme = tinted(QIcon::fromTheme(QString::fromLatin1(name)), color);
        if (!fromTheme.isNull())
            return fromTheme;
    }
    QIcon icon;
    for (int size : kSizes) {
        for (qreal ratio : {1.0, 2.0}) {
            QPixmap pixmap(QSize(size, size) * ratio);
            pixmap.setDevicePixelRatio(ratio);
            pixmap.fill(Qt::transparent);
            QPainter painter(&pixmap);
            paintSymbol(painter, symbol, QRectF(0, 0, size, size), color);
            painter.end();
            icon.addPixmap(pixmap);
        }
    }
    return icon;
}

} // namespace mirl
