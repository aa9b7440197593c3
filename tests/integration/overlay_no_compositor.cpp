// testenv: --x11
// testmain: qt
// Without a compositing manager a translucent veil would be an opaque sheet: no overlay window
// is shown, the console says so once, and the other outputs still follow the ambiance.

#include "fade/ScreenOverlayController.h"
#include "platform/linux/X11Compositor.h"
#include "tests/support/OverlayWorld.h"
#include "ui/overlay/QtOverlaySurfaces.h"

#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

using namespace mirl;

TEST(OverlayWithoutCompositor, ShowsNoVeilAndSaysSoOnce) {
    ASSERT_EQ(x11CompositorRunning(static_cast<const char*>(nullptr)), std::optional<bool>(false))
        << "the bare Xvfb display should have no compositor";
    test::OverlayWorld<QtOverlaySurfaces> world;

    EXPECT_FALSE(world.surfaces.translucencyAvailable());
    world.overlay.apply(0.2, 0.46);
    world.overlay.apply(0.21, 0.5);
    QApplication::processEvents();
    EXPECT_EQ(world.overlay.windowCount(), 0u);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->isVisible()) << "a window is shown";
    ASSERT_EQ(world.console.lines().size(), 1u);
    EXPECT_EQ(world.console.lines()[0].rfind("Mirl overlay: no compositor is running", 0), 0u)
        << world.console.lines()[0];
    EXPECT_TRUE(world.gamma.active());
    EXPECT_LT(world.ramps.brightness, 1.0);
    EXPECT_LT(world.backlight.level, 0.8f);
    EXPECT_TRUE(world.light.enabled);
}
