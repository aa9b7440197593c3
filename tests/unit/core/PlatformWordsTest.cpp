#include "core/PlatformWords.h"

#include <gtest/gtest.h>

using mirl::platformText;

TEST(PlatformWords, RewritesTheOtherPlatformsWords) {
    EXPECT_EQ(platformText("Put the Mac to sleep when the timer ends"),
              "Put the computer to sleep when the timer ends");
    EXPECT_EQ(platformText("Fades the macOS volume down."), "Fades the system volume down.");
    EXPECT_EQ(platformText("Night Shift (sepia tint)"), "Night light (sepia tint)");
    EXPECT_EQ(platformText("Dark + orange overlay (NSWindow)"), "Dark + orange overlay (window)");
    EXPECT_EQ(platformText("Sleep detection (SoundAnalysis)"), "Sleep detection (sound classifier)");
    EXPECT_EQ(platformText("uses the macOS Voice Isolation filter"), "uses the system's voice processing");
    EXPECT_EQ(platformText("the device selected in macOS"), "the device selected in the system settings");
    EXPECT_EQ(platformText("Macintosh stays"), "Macintosh stays");
    EXPECT_EQ(platformText("Fall asleep at your Mac, gently."), "Fall asleep at your computer, gently.");
    EXPECT_EQ(platformText("Show the Dock icon"), "Show the main window at launch");
    EXPECT_EQ(platformText("Takes effect at next launch. The menu bar icon always stays active."),
              "Takes effect at next launch. The tray icon always stays active.");
}
