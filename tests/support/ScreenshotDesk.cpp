#include "tests/support/ScreenshotDesk.h"

#include "tests/support/QtEventLoop.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>

#include <gtest/gtest.h>

#include <cstdlib>

namespace mirl::test {

using namespace std::chrono_literals;

Wallpaper::Wallpaper() : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint) {
    setGeometry(QGuiApplication::primaryScreen()->geometry());
    show();
    lower();
}

void Wallpaper::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient sky(0, 0, width() * 0.3, height());
    sky.setColorAt(0.0, QColor(0x1b, 0x24, 0x48));
    sky.setColorAt(0.6, QColor(0x3b, 0x3f, 0x78));
    sky.setColorAt(1.0, QColor(0x8a, 0x6f, 0x9e));
    painter.fillRect(rect(), sky);
}

QImage grabScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    QCursor::setPos(screen->geometry().bottomLeft());
    pumpFor(700ms);
    return screen->grabWindow(0).toImage();
}

void saveShot(const QImage& image, const QRect& area, const char* name) {
    const char* dir = std::getenv("MIRL_SCREENSHOT_DIR");
    if (!dir || !*dir)
        return;
    const QString path = QString::fromLocal8Bit(dir) + QLatin1Char('/') + QString::fromLatin1(name);
    EXPECT_TRUE(image.copy(area).save(path, "PNG")) << "could not save " << path.toStdString();
}

QRect around(const QRect& window, int margin, const QRect& screen) {
    return window.adjusted(-margin, -margin, margin, margin).intersected(screen);
}

} // namespace mirl::test
