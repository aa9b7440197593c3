// testenv: --x11 --compositor
// testmain: qt
// timeout: 120
// The veil as a user sees it: a test pattern under the overlay at ambiance 0.5, composited by
// picom and grabbed from the screen. Every bar must show the colour of orange-over-pattern,
// then black-over-that, with the two opacities. With MIRL_SCREENSHOT set, the grab is saved
// there as a PNG (scripts/overlay-screenshot does that).

#include "fade/ScreenOverlayController.h"
#include "tests/support/OverlayWorld.h"
#include "ui/overlay/QtOverlaySurfaces.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace mirl;

namespace {

const std::vector<QColor> kBars{Qt::white,           QColor(200, 30, 30),   QColor(30, 160, 60),
                                QColor(40, 80, 220), QColor(128, 128, 128), Qt::black};

/// A full-screen test pattern: coloured bars and a caption.
class Pattern final : public QWidget {
public:
    Pattern() : QWidget(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const int w = width() / static_cast<int>(kBars.size());
        for (std::size_t i = 0; i < kBars.size(); ++i)
            p.fillRect(static_cast<int>(i) * w, 0, w, height(), kBars[i]);
        p.setPen(Qt::black);
        QFont font = p.font();
        font.setPointSize(28);
        p.setFont(font);
        p.fillRect(0, height() / 2 - 60, width(), 120, Qt::white);
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("Mirl veil at ambiance 0.5"));
    }
};

/// The ambiance mapping of the orchestration: orange rises to 0.22 at 0.55, darkness 0.75 x a^0.7.
std::pair<double, double> mapAmbiance(double a) {
    const double orange = a < 0.55 ? 0.22 * (a / 0.55) : 0.22 * (1 - 0.4 * (a - 0.55) / 0.45);
    return {orange, 0.75 * std::pow(a, 0.7)};
}

QColor veiled(const QColor& under, double orange, double dark) {
    auto channel = [&](double base, double tint) {
        return static_cast<int>(std::lround(((1 - orange) * base + orange * tint) * (1 - dark)));
    };
    return QColor(channel(under.red(), 255), channel(under.green(), 255 * 0.45), channel(under.blue(), 0));
}

bool close(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) <= 3 && std::abs(a.green() - b.green()) <= 3 &&
           std::abs(a.blue() - b.blue()) <= 3;
}

std::string text(const QColor& c) {
    return "rgb(" + std::to_string(c.red()) + "," + std::to_string(c.green()) + "," +
           std::to_string(c.blue()) + ")";
}

} // namespace

TEST(OverlayScreenshot, VeilAtMidAmbianceOverATestPattern) {
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    Pattern pattern;
    pattern.setGeometry(screen->geometry());
    pattern.show();

    test::OverlayWorld<QtOverlaySurfaces> world;
    ASSERT_TRUE(world.surfaces.translucencyAvailable()) << "the test compositor (picom) is not running";
    const auto [orange, dark] = mapAmbiance(0.5);
    world.overlay.apply(orange, dark);
    ASSERT_EQ(world.overlay.windowCount(), 1u);

    const int barWidth = screen->geometry().width() / static_cast<int>(kBars.size());
    const int y = screen->geometry().height() / 6;
    QImage grab;
    QElapsedTimer timer;
    timer.start();
    bool settled = false;
    while (!settled && timer.elapsed() < 10000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(50);
        grab = screen->grabWindow(0).toImage();
        settled = close(grab.pixelColor(barWidth / 2, y), veiled(kBars[0], orange, dark));
    }
    if (const char* out = std::getenv("MIRL_SCREENSHOT"); out && *out) {
        EXPECT_TRUE(grab.save(QString::fromLocal8Bit(out), "PNG")) << "could not save " << out;
    }
    for (std::size_t i = 0; i < kBars.size(); ++i) {
        const QColor seen = grab.pixelColor(static_cast<int>(i) * barWidth + barWidth / 2, y);
        const QColor expected = veiled(kBars[i], orange, dark);
        EXPECT_TRUE(close(seen, expected))
            << "bar " << i << ": saw " << text(seen) << ", expected " << text(expected);
    }
    world.overlay.apply(0, 0);
}
