// testenv: --x11 --compositor
// testmain: qt
// timeout: 120
// Overlay windows on Xvfb with a compositor: one per screen as screens come and go through
// `xrandr --setmonitor`, each covering its screen, override-redirect, with an empty input
// shape, and never focused.

#include "fade/ScreenOverlayController.h"
#include "tests/support/OverlayWorld.h"
#include "ui/overlay/QtOverlaySurfaces.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/shape.h>
#undef None
#undef Bool
#undef Status

#include <algorithm>
#include <cstdlib>

using namespace mirl;

namespace {

/// Runs the event loop until done() holds or 10 seconds pass.
bool settle(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 10000)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    QApplication::processEvents();
    return true;
}

std::vector<QWidget*> overlayWindows();

std::string describe() {
    std::string out = "screens:";
    for (QScreen* s : QGuiApplication::screens()) {
        const QRect g = s->geometry();
        out += " " + s->name().toStdString() + "(" + std::to_string(g.x()) + "," + std::to_string(g.y()) +
               "," + std::to_string(g.width()) + "x" + std::to_string(g.height()) + ")";
    }
    out += " windows:";
    for (QWidget* w : overlayWindows()) {
        const QRect g = w->geometry();
        out += " (" + std::to_string(g.x()) + "," + std::to_string(g.y()) + "," + std::to_string(g.width()) +
               "x" + std::to_string(g.height()) + ")";
    }
    return out;
}

/// The visible overlay windows, left to right.
std::vector<QWidget*> overlayWindows() {
    std::vector<QWidget*> out;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("MirlOverlay") && w->isVisible())
            out.push_back(w);
    std::sort(out.begin(), out.end(), [](QWidget* a, QWidget* b) {
        return std::pair(a->geometry().x(), a->geometry().y()) <
               std::pair(b->geometry().x(), b->geometry().y());
    });
    return out;
}

/// The screens, left to right.
std::vector<QRect> screenFrames() {
    std::vector<QRect> out;
    for (QScreen* s : QGuiApplication::screens())
        out.push_back(s->geometry());
    std::sort(out.begin(), out.end(), [](const QRect& a, const QRect& b) {
        return std::pair(a.x(), a.y()) < std::pair(b.x(), b.y());
    });
    return out;
}

void run(const std::string& command) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

struct XWindowFacts {
    bool overrideRedirect = false;
    bool viewable = false;
    QRect geometry;
    int inputRectangles = -1;
};

XWindowFacts facts(Display* display, unsigned long window) {
    XWindowFacts f;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes))
        return f;
    f.overrideRedirect = attributes.override_redirect;
    f.viewable = attributes.map_state == IsViewable;
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    f.geometry = QRect(x, y, attributes.width, attributes.height);
    int count = 0, ordering = 0;
    XRectangle* rects = XShapeGetRectangles(display, window, ShapeInput, &count, &ordering);
    f.inputRectangles = count;
    if (rects)
        XFree(rects);
    return f;
}

class OverlayWindows : public testing::Test, protected test::OverlayWorld<QtOverlaySurfaces> {
protected:
    void SetUp() override {
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr) << "the Xvfb test display does not answer";
        ASSERT_TRUE(surfaces.translucencyAvailable()) << "the test compositor (picom) is not running";
    }
    void TearDown() override {
        std::system("xrandr --delmonitor left >/dev/null 2>&1; xrandr --delmonitor right >/dev/null 2>&1");
        if (display)
            XCloseDisplay(display);
    }
    void expectWindowsMatchScreens(const char* when) {
        const auto windows = overlayWindows();
        const auto screens = screenFrames();
        ASSERT_EQ(windows.size(), screens.size()) << when;
        EXPECT_EQ(overlay.windowCount(), screens.size()) << when;
        for (std::size_t i = 0; i < windows.size(); ++i) {
            const XWindowFacts f = facts(display, windows[i]->winId());
            EXPECT_EQ(f.geometry, screens[i]) << when << ", window " << i;
            EXPECT_TRUE(f.overrideRedirect) << when << ", window " << i;
            EXPECT_TRUE(f.viewable) << when << ", window " << i;
            EXPECT_EQ(f.inputRectangles, 0) << when << ", window " << i << ": clicks must pass through";
        }
    }
    bool focusedAnOverlay() {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(display, &focus, &revert);
        for (QWidget* w : overlayWindows())
            if (w->winId() == focus || w->isActiveWindow())
                return true;
        return QApplication::focusWindow() != nullptr;
    }

    Display* display = nullptr;
};

} // namespace

TEST_F(OverlayWindows, OneWindowPerScreenAsScreensComeAndGo) {
    overlay.apply(0.2, 0.46);
    ASSERT_TRUE(settle([] { return overlayWindows().size() == 1; }));
    expectWindowsMatchScreens("one screen");
    EXPECT_EQ(console.lines().at(0), "Mirl overlay: screen 0 frame=(0.0, 0.0, 1920.0, 1080.0) "
                                     "windowFrame=(0.0, 0.0, 1920.0, 1080.0) level=1");

    // Split the display into two screens.
    run("xrandr --setmonitor left 960/254x1080/286+0+0 screen");
    run("xrandr --setmonitor right 960/254x1080/286+960+0 none");
    ASSERT_TRUE(settle([] { return QGuiApplication::screens().size() == 2 && overlayWindows().size() == 2; }))
        << "Qt saw " << QGuiApplication::screens().size() << " screens, overlay has "
        << overlayWindows().size();
    ASSERT_TRUE(settle([&] {
        return overlay.windowCount() == 2 && overlayWindows()[1]->geometry().x() == 960;
    })) << describe();
    expectWindowsMatchScreens("two screens");

    // The right one goes away.
    run("xrandr --delmonitor right");
    ASSERT_TRUE(
        settle([] { return QGuiApplication::screens().size() == 1 && overlayWindows().size() == 1; }));
    expectWindowsMatchScreens("right screen gone");
    EXPECT_EQ(overlayWindows()[0]->geometry(), QRect(0, 0, 960, 1080));

    // Back to the whole display.
    run("xrandr --delmonitor left");
    ASSERT_TRUE(settle([] {
        return overlayWindows().size() == 1 && overlayWindows()[0]->geometry() == QRect(0, 0, 1920, 1080);
    }));
    expectWindowsMatchScreens("whole display again");

    overlay.apply(0, 0);
    ASSERT_TRUE(settle([] { return overlayWindows().empty(); }));
}

namespace {
class ClickCounter final : public QWidget {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};
} // namespace

TEST_F(OverlayWindows, NeverTakesFocusNorClicks) {
    ClickCounter below;
    below.setWindowTitle(QStringLiteral("below"));
    below.setGeometry(100, 100, 400, 300);
    below.show();
    ASSERT_TRUE(settle([&] { return below.isVisible(); }));

    overlay.apply(0.1, 0.3);
    ASSERT_TRUE(settle([] { return overlayWindows().size() == 1; }));
    for (QWidget* w : overlayWindows())
        w->activateWindow(); // even when asked
    run("xdotool mousemove 300 250 click 1");
    run("xdotool mousemove 1500 900 click 1");
    EXPECT_TRUE(settle([&] { return below.presses == 1; }))
        << "the click on the window below did not pass through";
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    for (QWidget* w : overlayWindows()) {
        EXPECT_NE(w->winId(), focus);
        EXPECT_FALSE(w->isActiveWindow());
        EXPECT_FALSE(w->hasFocus());
    }
    overlay.apply(0, 0);
}
