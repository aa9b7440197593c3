// testenv: --xorg --compositor
// testmain: qt
// timeout: 120
// The real screen outputs together on an Xorg display with the dummy driver: one fan-out call
// dims and warms the gamma ramps in one composition and shows the veil; quitting the
// application puts every ramp back exactly and hides the veil.

#include "platform/fake/MemoryRestoreState.h"
#include "platform/fake/MemorySettingsStore.h"
#include "platform/linux/QtScheduler.h"
#include "tests/support/RecordingEventSink.h"
#include "ui/screen/ScreenOutputs.h"

#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#undef None
#undef Bool
#undef Status

using namespace mirl;

namespace {

std::vector<std::uint16_t> readRed(Display* display, RRCrtc crtc) {
    XRRCrtcGamma* g = XRRGetCrtcGamma(display, crtc);
    std::vector<std::uint16_t> red(g->red, g->red + g->size);
    XRRFreeGamma(g);
    return red;
}

std::vector<std::uint16_t> readBlue(Display* display, RRCrtc crtc) {
    XRRCrtcGamma* g = XRRGetCrtcGamma(display, crtc);
    std::vector<std::uint16_t> blue(g->blue, g->blue + g->size);
    XRRFreeGamma(g);
    return blue;
}

int visibleOverlays() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += w->objectName() == QLatin1String("MirlOverlay") && w->isVisible();
    return n;
}

} // namespace

TEST(ScreenOutputsXorg, OneFanOutDimsWarmsAndVeilsAndQuitPutsItAllBack) {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "the Xorg test display does not answer";
    XRRScreenResources* res = XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    ASSERT_TRUE(res && res->ncrtc > 0);
    const RRCrtc crtc = res->crtcs[0];
    XRRFreeScreenResources(res);
    const auto originalRed = readRed(display, crtc);
    const auto originalBlue = readBlue(display, crtc);

    MemorySettingsStore store;
    Settings settings(store);
    test::RecordingEventSink events;
    RecordingConsole console;
    QtScheduler scheduler;
    MemoryRestoreState state;
    ScreenOutputs outputs(settings, events, console, scheduler, state);
    ASSERT_TRUE(outputs.ramps) << "no XRandR gamma on the dummy driver";
    ASSERT_TRUE(outputs.nightLight);
    EXPECT_EQ(outputs.nightLight->name(), "gamma ramps (XRandR)");

    const double orange = 0.2, darkness = 0.46;
    outputs.overlay.apply(orange, darkness);
    QApplication::processEvents();
    EXPECT_EQ(visibleOverlays(), 1);
    const double top = static_cast<float>(1 - 0.65 * darkness);
    const WhitePoint wp = whitePointForKelvin(kelvinForStrength(static_cast<float>(orange / 0.22)));
    EXPECT_EQ(readRed(display, crtc), scaleRamp(originalRed, top * wp.red));
    EXPECT_EQ(readBlue(display, crtc), scaleRamp(originalBlue, top * wp.blue));
    EXPECT_TRUE(state.holds(restore_parts::gamma));
    if (outputs.panel.devices().empty()) {
        EXPECT_FALSE(state.holds(restore_parts::backlight)) << "no backlight answered, so none is kept";
    }

    // What the application emits when it quits.
    ASSERT_TRUE(QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit", Qt::DirectConnection));
    QApplication::processEvents();
    EXPECT_EQ(readRed(display, crtc), originalRed);
    EXPECT_EQ(readBlue(display, crtc), originalBlue);
    EXPECT_EQ(visibleOverlays(), 0);
    EXPECT_FALSE(state.holds(restore_parts::gamma));
    XCloseDisplay(display);
}
