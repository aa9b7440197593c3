#include "ui/tray/TrayIconArt.h"

#include "ui/art/AppIcon.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <array>

namespace mirl {

namespace {

const QColor kFill(0xf6, 0xf1, 0xe4);
const QColor kRim(0x1d, 0x22, 0x33, 200);

void paintShape(QPainter& painter, const QPainterPath& shape, qreal rimWidth) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kRim, rimWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kFill);
    painter.drawPath(shape);
}

QFont countdownFont(int pixelSize) {
    QFont font;
    font.setBold(true);
    font.setStretch(QFont::SemiCondensed);
    font.setPixelSize(pixelSize);
    return font;
}

QPainterPath textPath(const QString& text, int pixelSize) {
    QPainterPath path;
    path.addText(0, 0, countdownFont(pixelSize), text);
    return path;
}

/// The largest pixel size at which text fits a width x height box (digits are as tall as
/// capitals). From the font's metrics: building outlines for every try would cost more than
/// the drawing itself, and this runs every second.
int fittingPixelSize(const QString& text, qreal width, qreal height) {
    const QFontMetricsF metrics(countdownFont(100));
    const qreal textWidth = std::max(1.0, metrics.horizontalAdvance(text));
    const qreal textHeight = std::max(1.0, metrics.capHeight());
    return std::max(5, static_cast<int>(100.0 * std::min(width / textWidth, height / textHeight)));
}

/// The countdown as large as the square allows: on one line where that stays readable, else
/// the minutes above the seconds.
void paintCountdown(QPainter& painter, int size, const QString& text) {
    const qreal inner = size * 0.96;
    QPainterPath path;
    const int oneLine = fittingPixelSize(text, inner, size * 0.62);
    const int colon = static_cast<int>(text.indexOf(QLatin1Char(':')));
    if (oneLine >= size * 0.42 || colon < 0) {
        path = textPath(text, oneLine);
    } else {
        const QString minutes = text.left(colon);
        const QString seconds = text.mid(colon);
        const qreal gap = size * 0.06;
        const int pixels = std::min(fittingPixelSize(minutes, inner, (size - gap) * 0.54),
                                    fittingPixelSize(seconds, inner, (size - gap) * 0.46));
        QPainterPath top = textPath(minutes, pixels);
        QPainterPath bottom = textPath(seconds, static_cast<int>(pixels * 0.82));
        top.translate(-top.boundingRect().center().x(), -top.boundingRect().bottom());
        bottom.translate(-bottom.boundingRect().center().x(), gap - bottom.boundingRect().top());
        path = top;
        path.addPath(bottom);
    }
    const QRectF box = path.boundingRect();
    path.translate(size / 2.0 - box.center().x(), size / 2.0 - box.center().y());
    paintShape(painter, path, std::max(1.0, size / 14.0));
}

} // namespace

QImage trayImage(int size, const QString& countdown) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    if (countdown.isEmpty())
        appIcon().paint(&painter, image.rect());
    else
        paintCountdown(painter, size, countdown);
    return image;
}

QIcon trayIcon(const QString& countdown) {
    if (countdown.isEmpty())
        return appIcon();
    QIcon icon;
    for (int size : std::array{16, 22, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(trayImage(size, countdown)));
    return icon;
}

} // namespace mirl
