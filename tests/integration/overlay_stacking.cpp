// testenv: --x11 --wm --compositor
// testmain: qt
// timeout: 120
// The veil stays above every window while it is shown, under a real window manager (openbox)
// and picom: windows mapped and raised after the veil, managed ones (raised, clicked, made full
// screen) and unmanaged ones (a popup, a game's window covering the screen past the window
// manager), are all read back from the screen as tinted, never as their own white. Openbox keeps
// its managed windows below the veil by itself; the unmanaged ones go above it unless Mirl
// raises the veil again.

#include "fade/ScreenOverlayController.h"
#include "tests/support/OverlayWorld.h"
#include "ui/overlay/QtOverlaySurfaces.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace mirl;

namespace {

constexpr double kOrange = 0.2;
constexpr double kDark = 0.46;

/// A plain white window: managed by the window manager like any application's, or, with
/// `unmanaged`, past it (override-redirect) as popups, menus and some full-screen games are.
class WhiteWindow final : public QWidget {
public:
    explicit WhiteWindow(const QString& title, bool unmanaged = false)
        : QWidget(nullptr,
                  unmanaged ? Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint : Qt::WindowFlags()) {
        setWindowTitle(title);
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::white); }
};

QColor veiledWhite() {
    auto channel = [](double tint) {
        return static_cast<int>(std::lround(((1 - kOrange) * 255 + kOrange * tint) * (1 - kDark)));
    };
    return QColor(channel(255), channel(255 * 0.45), channel(0));
}

bool near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) <= 3 && std::abs(a.green() - b.green()) <= 3 &&
           std::abs(a.blue() - b.blue()) <= 3;
}

std::string text(const QColor& c) {
    return "rgb(" + std::to_string(c.red()) + "," + std::to_string(c.green()) + "," +
           std::to_string(c.blue()) + ")";
}

QColor seenAt(const QPoint& p) {
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().pixelColor(p);
}

/// Runs the event loop until the screen shows `wanted` at p, or 10 seconds pass; then keeps
/// looking for another half second, so that a window that comes up a little later is caught
/// too. Gives the colour seen last.
QColor settleAt(const QPoint& p, const QColor& wanted) {
    QElapsedTimer timer;
    timer.start();
    QColor seen;
    qint64 matchedAt = -1;
    while (timer.elapsed() < 10000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(50);
        seen = seenAt(p);
        if (!near(seen, wanted))
            matchedAt = -1;
        else if (matchedAt < 0)
            matchedAt = timer.elapsed();
        else if (timer.elapsed() - matchedAt >= 500)
            break;
    }
    return seen;
}

/// Waits until the window manager has mapped the window (the screen shows its white or its
/// veiled white at p).
void waitMapped(const QPoint& p) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(50);
        const QColor seen = seenAt(p);
        if (near(seen, Qt::white) || near(seen, veiledWhite()))
            return;
    }
}

class OverlayStacking : public testing::Test, protected test::OverlayWorld<QtOverlaySurfaces> {
protected:
    void SetUp() override {
        ASSERT_TRUE(surfaces.translucencyAvailable()) << "the test compositor (picom) is not running";
        overlay.apply(kOrange, kDark);
        ASSERT_EQ(overlay.windowCount(), 1u);
    }
    void TearDown() override { overlay.apply(0, 0); }

    /// Shows a white window at geometry and waits until it is on the screen.
    void showWindow(WhiteWindow& window, const QRect& geometry) {
        window.setGeometry(geometry);
        window.show();
        window.raise();
        window.activateWindow();
        waitMapped(geometry.center());
    }
};

} // namespace

TEST_F(OverlayStacking, AWindowMappedAndRaisedAfterTheVeilIsTinted) {
    WhiteWindow late(QStringLiteral("late"));
    showWindow(late, QRect(300, 200, 640, 400));
    const QColor seen = settleAt(late.geometry().center(), veiledWhite());
    EXPECT_TRUE(near(seen, veiledWhite()))
        << "saw " << text(seen) << " where the veil should tint white to " << text(veiledWhite());
}

TEST_F(OverlayStacking, AnUnmanagedWindowMappedAndRaisedAfterTheVeilIsTinted) {
    WhiteWindow managed(QStringLiteral("managed"));
    showWindow(managed, QRect(100, 100, 800, 600));
    WhiteWindow popup(QStringLiteral("popup"), true);
    showWindow(popup, QRect(700, 500, 400, 300));
    const QColor seen = settleAt(popup.geometry().center(), veiledWhite());
    if (const char* out = std::getenv("MIRL_SCREENSHOT"); out && *out) {
        EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(out), "PNG"));
    }
    EXPECT_TRUE(near(seen, veiledWhite()))
        << "saw " << text(seen) << " where the veil should tint white to " << text(veiledWhite());
}

TEST_F(OverlayStacking, AWindowCoveringTheScreenPastTheWindowManagerIsTinted) {
    WhiteWindow game(QStringLiteral("game"), true);
    showWindow(game, QGuiApplication::primaryScreen()->geometry());
    for (const QPoint p : {QPoint(960, 540), QPoint(5, 5), QPoint(1900, 1060)}) {
        const QColor seen = settleAt(p, veiledWhite());
        EXPECT_TRUE(near(seen, veiledWhite())) << "at (" << p.x() << ", " << p.y() << ") saw " << text(seen);
    }
    game.raise(); // raised again while the veil is up
    const QColor seen = settleAt(QPoint(960, 540), veiledWhite());
    EXPECT_TRUE(near(seen, veiledWhite())) << "after a second raise saw " << text(seen);
}

TEST_F(OverlayStacking, AWindowRaisedByAClickStaysTinted) {
    WhiteWindow first(QStringLiteral("first"));
    WhiteWindow second(QStringLiteral("second"));
    showWindow(first, QRect(200, 200, 600, 400));
    showWindow(second, QRect(500, 300, 600, 400));
    ASSERT_TRUE(near(settleAt(QPoint(650, 450), veiledWhite()), veiledWhite()));

    // A click on the part of the first window that the second leaves free passes through the
    // veil; the window manager raises the window clicked above the second.
    ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"),
                                {QStringLiteral("mousemove"), QStringLiteral("300"), QStringLiteral("250"),
                                 QStringLiteral("click"), QStringLiteral("1")}),
              0);
    QElapsedTimer timer;
    timer.start();
    while (!first.isActiveWindow() && timer.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    EXPECT_TRUE(first.isActiveWindow()) << "the window manager did not take the click";
    for (const QPoint p : {QPoint(650, 450), QPoint(300, 300), QPoint(1000, 600)}) {
        const QColor seen = settleAt(p, veiledWhite());
        EXPECT_TRUE(near(seen, veiledWhite())) << "at (" << p.x() << ", " << p.y() << ") saw " << text(seen);
    }
}

TEST_F(OverlayStacking, AFullScreenWindowIsTinted) {
    WhiteWindow full(QStringLiteral("full screen"));
    full.showFullScreen();
    full.raise();
    full.activateWindow();
    const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
    waitMapped(centre);
    for (const QPoint p : {centre, QPoint(5, 5), QPoint(1900, 1060)}) {
        const QColor seen = settleAt(p, veiledWhite());
        EXPECT_TRUE(near(seen, veiledWhite())) << "at (" << p.x() << ", " << p.y() << ") saw " << text(seen);
    }
}
