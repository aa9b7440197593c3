// testenv: --x11
// testmain: qt
// Without a compositing manager a translucent veil would be an opaque sheet: no overlay window
// is shown, the console says so once, and the other outputs still follow the ambiance.

#include "fade/ScreenOverlayController.h"
#include "platform/fake/FakeBacklight.h"
#include "platform/fake/FakeGammaRamps.h"
#include "platform/fake/FakeNightLight.h"
#include "platform/fake/MemoryRestoreState.h"
#include "platform/fake/MemorySettingsStore.h"
#include "platform/linux/X11Compositor.h"
#include "tests/support/RecordingEventSink.h"
#include "ui/overlay/QtOverlaySurfaces.h"

#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

using namespace mirl;

TEST(OverlayWithoutCompositor, ShowsNoVeilAndSaysSoOnce) {
    ASSERT_EQ(x11CompositorRunning(static_cast<const char*>(nullptr)), std::optional<bool>(false))
        << "the bare Xvfb display should have no compositor";
    MemorySettingsStore store;
    Settings settings{store};
    RecordingConsole console;
    test::RecordingEventSink events;
    MemoryRestoreState restoreState;
    FakeBacklight backlight;
    FakeGammaRamps ramps;
    FakeNightLight light;
    QtOverlaySurfaces surfaces;
    BrightnessController brightness{backlight, settings, events, restoreState};
    GammaController gamma{&ramps};
    NightShiftController nightShift{&light, console};
    ScreenOverlayController overlay{surfaces, settings, console, nightShift, brightness, gamma};

    EXPECT_FALSE(surfaces.translucencyAvailable());
    overlay.apply(0.2, 0.46);
    overlay.apply(0.21, 0.5);
    QApplication::processEvents();
    EXPECT_EQ(overlay.windowCount(), 0u);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->isVisible()) << "a window is shown";
    ASSERT_EQ(console.lines().size(), 1u);
    EXPECT_EQ(console.lines()[0].rfind("Mirl overlay: no compositor is running", 0), 0u)
        << console.lines()[0];
    EXPECT_TRUE(gamma.active());
    EXPECT_LT(ramps.brightness, 1.0);
    EXPECT_LT(backlight.level, 0.8f);
    EXPECT_TRUE(light.enabled);
}
