#include "fade/ScreenOverlayController.h"
#include "core/settings/SettingsKeys.h"
#include "platform/fake/FakeOverlaySurfaces.h"
#include "tests/support/OverlayWorld.h"

#include <gtest/gtest.h>

using namespace mirl;

namespace {

using OverlayWorld = test::OverlayWorld<FakeOverlaySurfaces>;

} // namespace

TEST(ScreenOverlayController, FansOutToEveryOutput) {
    OverlayWorld w;
    w.overlay.apply(0.11, 0.5);
    auto shown = w.surfaces.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_FLOAT_EQ(shown[0]->orange, 0.11f);
    EXPECT_FLOAT_EQ(shown[0]->dark, 0.5f);
    EXPECT_FLOAT_EQ(w.light.strength, 0.5f) << "strength is orange / 0.22";
    EXPECT_TRUE(w.light.enabled);
    EXPECT_NEAR(w.backlight.level, (1 - 0.5 * 0.8) * 0.8, 1e-6);
    EXPECT_FLOAT_EQ(static_cast<float>(w.ramps.brightness), static_cast<float>(1 - 0.65 * 0.5));
    EXPECT_EQ(w.console.lines().at(0), "Mirl overlay: screen 0 frame=(0.0, 0.0, 1920.0, 1080.0) "
                                       "windowFrame=(0.0, 0.0, 1920.0, 1080.0) level=1");
}

TEST(ScreenOverlayController, NightShiftStrengthFromOrange) {
    struct Row {
        const char* name;
        double orange;
        float strength;
        bool enabled;
    };
    for (const Row& row : {Row{"half", 0.11, 0.5f, true}, Row{"peak", 0.22, 1.0f, true},
                           Row{"beyond peak", 0.3, 1.0f, true}, Row{"none", 0.0, 0.0f, false}}) {
        OverlayWorld w;
        w.overlay.apply(row.orange, 0.4);
        EXPECT_EQ(w.light.enabled, row.enabled) << row.name;
        if (row.enabled) {
            EXPECT_FLOAT_EQ(w.light.strength, row.strength) << row.name;
        }
    }
}

TEST(ScreenOverlayController, ZeroPutsEverythingBack) {
    OverlayWorld w;
    w.overlay.apply(0.2, 0.6);
    w.overlay.apply(0, 0);
    EXPECT_TRUE(w.surfaces.shown().empty());
    EXPECT_FALSE(w.light.enabled);
    EXPECT_FLOAT_EQ(w.backlight.level, 0.8f);
    EXPECT_FALSE(w.brightness.savedLevel());
    EXPECT_EQ(w.ramps.brightness, 1.0);
    EXPECT_FALSE(w.gamma.active());
}

TEST(ScreenOverlayController, EachSwitchOffLeavesItsOutputNeutral) {
    struct Row {
        const char* name;
        std::string_view key;
        bool windows, nightLight, backlightDimmed, gammaDimmed;
    };
    for (const Row& row : {Row{"overlay off", keys::ambianceOverlayEnabled, false, true, true, true},
                           Row{"night shift off", keys::ambianceNightShiftEnabled, true, false, true, true},
                           Row{"brightness off", keys::ambianceBrightnessEnabled, true, true, false, true},
                           Row{"gamma off", keys::ambianceGammaDimEnabled, true, true, true, false}}) {
        OverlayWorld w;
        w.overlay.apply(0.15, 0.5); // everything on first
        w.settings.writeBool(row.key, false);
        const std::size_t backlightWrites = w.backlight.writes.size();
        w.overlay.apply(0.15, 0.5);
        w.overlay.apply(0.15, 0.5);
        EXPECT_EQ(!w.surfaces.shown().empty(), row.windows) << row.name;
        EXPECT_EQ(w.light.enabled, row.nightLight) << row.name;
        EXPECT_EQ(w.brightness.savedLevel().has_value(), row.backlightDimmed) << row.name;
        EXPECT_EQ(w.backlight.level < 0.8f, row.backlightDimmed) << row.name;
        EXPECT_EQ(w.gamma.active(), row.gammaDimmed) << row.name;
        EXPECT_EQ(w.ramps.brightness < 1.0, row.gammaDimmed) << row.name;
        if (row.backlightDimmed) {
            EXPECT_EQ(w.backlight.writes.size(), backlightWrites + 2)
                << row.name << ": no jump back and forth";
        }
    }
}

TEST(ScreenOverlayController, OverlayOffDoesNotFlickerTheOtherOutputs) {
    OverlayWorld w;
    w.settings.writeBool(keys::ambianceOverlayEnabled, false);
    w.overlay.apply(0.15, 0.5);
    w.overlay.apply(0.15, 0.5);
    EXPECT_EQ(w.ramps.brightnessWrites, (std::vector<double>{w.ramps.brightness, w.ramps.brightness}));
    EXPECT_EQ(std::count(w.light.calls.begin(), w.light.calls.end(), "disable"), 0);
    EXPECT_EQ(w.overlay.orangeIntensity(), 0);
    EXPECT_EQ(w.overlay.darkness(), 0);
}

TEST(ScreenOverlayController, RebuildsWindowsWhenScreensChange) {
    OverlayWorld w;
    w.overlay.apply(0.1, 0.3);
    ASSERT_EQ(w.surfaces.shown().size(), 1u);

    // A second screen plugged in while shown.
    w.surfaces.screenFrames.push_back({1920, 0, 1280, 1024});
    w.surfaces.screensChanged();
    auto shown = w.surfaces.shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1]->frame, (Frame{1920, 0, 1280, 1024}));
    EXPECT_FLOAT_EQ(shown[1]->orange, 0.1f);
    EXPECT_FLOAT_EQ(shown[1]->dark, 0.3f);

    // A resolution change moves the first frame: the next refresh rebuilds every window.
    w.surfaces.screenFrames[0] = {0, 0, 1280, 720};
    const std::size_t before = w.surfaces.created.size();
    w.overlay.apply(0.1, 0.3);
    EXPECT_EQ(w.surfaces.created.size(), before + 2);
    EXPECT_EQ(w.surfaces.shown()[0]->frame, (Frame{0, 0, 1280, 720}));

    // The same configuration again: nothing rebuilt.
    w.overlay.apply(0.12, 0.35);
    EXPECT_EQ(w.surfaces.created.size(), before + 2);

    // Screens changing while hidden build nothing.
    w.overlay.apply(0, 0);
    w.surfaces.screensChanged();
    EXPECT_TRUE(w.surfaces.shown().empty());
}

TEST(ScreenOverlayController, WithoutTranslucencyNoWindowsAndOneConsoleLine) {
    OverlayWorld w;
    w.surfaces.translucency = false;
    w.overlay.apply(0.1, 0.4);
    w.overlay.apply(0.12, 0.45);
    EXPECT_TRUE(w.surfaces.created.empty());
    int lines = 0;
    for (const auto& line : w.console.lines())
        lines += line.rfind("Mirl overlay: no compositor", 0) == 0;
    EXPECT_EQ(lines, 1);
    EXPECT_TRUE(w.gamma.active()) << "gamma keeps working";
    EXPECT_TRUE(w.brightness.savedLevel()) << "backlight keeps working";
}

TEST(ScreenOverlayController, DescribesFramesWithFractions) {
    EXPECT_EQ(describeFrame({0, 0, 1920, 1080}), "(0.0, 0.0, 1920.0, 1080.0)");
    EXPECT_EQ(describeFrame({-1280.5, 20, 1280, 1024}), "(-1280.5, 20.0, 1280.0, 1024.0)");
}
