#include "ui/review/ReviewIcons.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

#include <cmath>
#include <numbers>

namespace mirl::review {

namespace {

constexpr int kSize = 64; // drawn once at this size; QIcon scales down smoothly

QPainterPath crescent(QPointF centre, double radius) {
    QPainterPath moon;
    moon.addEllipse(centre, radius, radius);
    QPainterPath bite;
    bite.addEllipse(centre + QPointF(radius * 0.55, -radius * 0.45), radius * 0.85, radius * 0.85);
    return moon.subtracted(bite);
}

void drawZ(QPainter& p, QPointF topLeft, double size) {
    QPainterPath z;
    z.moveTo(topLeft);
    z.lineTo(topLeft + QPointF(size, 0));
    z.lineTo(topLeft + QPointF(0, size));
    z.lineTo(topLeft + QPointF(size, size));
    p.drawPath(z);
}

void drawSun(QPainter& p, const QColor& colour) {
    const QPointF c(32, 32);
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    p.drawEllipse(c, 12, 12);
    p.setPen(QPen(colour, 5, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 8; ++i) {
        const double a = i * std::numbers::pi / 4;
        p.drawLine(c + QPointF(std::cos(a) * 19, std::sin(a) * 19),
                   c + QPointF(std::cos(a) * 27, std::sin(a) * 27));
    }
}

void drawCircularArrow(QPainter& p, const QColor& colour, bool clockwise, const QString& label) {
    p.setPen(QPen(colour, 5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QRectF ring(8, 10, 48, 48);
    // An open ring with an arrow head at the top.
    p.drawArc(ring, clockwise ? 100 * 16 : 80 * 16, clockwise ? -320 * 16 : 320 * 16);
    const QPointF top(32, 10);
    QPainterPath head;
    const double d = clockwise ? 1 : -1;
    head.moveTo(top + QPointF(d * 9, 0));
    head.lineTo(top + QPointF(-d * 3, -8));
    head.lineTo(top + QPointF(-d * 3, 8));
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(head);
    if (!label.isEmpty()) {
        QFont font = QApplication::font();
        font.setPixelSize(20);
        font.setBold(true);
        p.setFont(font);
        p.setPen(colour);
        p.drawText(ring, Qt::AlignCenter, label);
    }
}

void draw(QPainter& p, Glyph glyph, const QColor& colour) {
    p.setRenderHint(QPainter::Antialiasing);
    switch (glyph) {
    case Glyph::moonZzz:
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawPath(crescent(QPointF(26, 36), 22));
        p.setPen(QPen(colour, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        drawZ(p, QPointF(42, 6), 14);
        break;
    case Glyph::sun:
        drawSun(p, colour);
        break;
    case Glyph::cloudMoon: {
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawPath(crescent(QPointF(40, 24), 16));
        QPainterPath cloud;
        cloud.addEllipse(QPointF(20, 42), 12, 12);
        cloud.addEllipse(QPointF(34, 36), 14, 14);
        cloud.addRoundedRect(QRectF(8, 40, 44, 16), 8, 8);
        p.drawPath(cloud.simplified());
        break;
    }
    case Glyph::play: {
        QPainterPath triangle;
        triangle.moveTo(18, 10);
        triangle.lineTo(54, 32);
        triangle.lineTo(18, 54);
        triangle.closeSubpath();
        p.setPen(QPen(colour, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(colour);
        p.drawPath(triangle);
        break;
    }
    case Glyph::pause:
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawRoundedRect(QRectF(14, 10, 12, 44), 3, 3);
        p.drawRoundedRect(QRectF(38, 10, 12, 44), 3, 3);
        break;
    case Glyph::back15:
        drawCircularArrow(p, colour, false, QStringLiteral("15"));
        break;
    case Glyph::forward15:
        drawCircularArrow(p, colour, true, QStringLiteral("15"));
        break;
    case Glyph::refresh:
        drawCircularArrow(p, colour, true, QString());
        break;
    case Glyph::trash:
        p.setPen(QPen(colour, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(10, 16), QPointF(54, 16));
        p.drawLine(QPointF(26, 10), QPointF(38, 10));
        p.drawRoundedRect(QRectF(16, 16, 32, 40), 4, 4);
        p.drawLine(QPointF(27, 26), QPointF(27, 46));
        p.drawLine(QPointF(37, 26), QPointF(37, 46));
        break;
    case Glyph::folder: {
        p.setPen(QPen(colour, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        QPainterPath folder;
        folder.moveTo(8, 50);
        folder.lineTo(8, 14);
        folder.lineTo(26, 14);
        folder.lineTo(31, 20);
        folder.lineTo(56, 20);
        folder.lineTo(56, 50);
        folder.closeSubpath();
        p.drawPath(folder);
        p.drawLine(QPointF(8, 28), QPointF(56, 28));
        break;
    }
    case Glyph::openExternal:
        p.setPen(QPen(colour, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(8, 8, 48, 48), 8, 8);
        p.drawLine(QPointF(24, 40), QPointF(42, 22));
        p.drawLine(QPointF(28, 22), QPointF(42, 22));
        p.drawLine(QPointF(42, 22), QPointF(42, 36));
        break;
    case Glyph::checkedBox:
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawRoundedRect(QRectF(6, 6, 52, 52), 10, 10);
        p.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(18, 33), QPointF(28, 43), QPointF(46, 21)}));
        break;
    case Glyph::emptyBox:
        p.setPen(QPen(colour, 4));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(8, 8, 48, 48), 9, 9);
        break;
    }
}

const char* themeName(Glyph glyph) {
    switch (glyph) {
    case Glyph::refresh:
        return "view-refresh";
    case Glyph::trash:
        return "edit-delete";
    case Glyph::folder:
        return "folder-open";
    case Glyph::openExternal:
        return "document-open";
    default:
        return nullptr;
    }
}

} // namespace

QIcon icon(Glyph glyph, QColor colour) {
    if (const char* name = themeName(glyph); name && QIcon::hasThemeIcon(QString::fromLatin1(name)))
        return QIcon::fromTheme(QString::fromLatin1(name));
    if (!colour.isValid())
        colour = QApplication::palette().color(QPalette::ButtonText);
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    draw(painter, glyph, colour);
    painter.end();
    QIcon result;
    result.addPixmap(pixmap);
    return result;
}

} // namespace mirl::review
