// testenv: --x11
// testmain: qt
// timeout: 120
// The preferences window on a real X display: each of the five tabs is shown, grabbed from the
// screen and must show more than a blank page. With MIRL_SCREENSHOT_DIR set, the grabs are saved
// there as system.png, ambiance.png, detection.png, auto-fade.png and about.png
// (scripts/prefs-screenshots does that).

#include "core/settings/Settings.h"
#include "fade/WakeSound.h"
#include "platform/fake/FakeActivityProbes.h"
#include "platform/fake/FakeAudioPlayer.h"
#include "platform/fake/FakeInputDevices.h"
#include "platform/fake/MemorySettingsStore.h"
#include "platform/linux/XdgAutostart.h"
#include "runtime/Console.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/QtEventLoop.h"
#include "tests/support/RecordingEventSink.h"
#include "tests/support/TestPaths.h"
#include "ui/prefs/DetectorTab.h"
#include "ui/prefs/PreferencesView.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTabWidget>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

// How many distinct colours a grab holds: a blank or unpainted window has one or two.
std::size_t distinctColours(const QImage& image) {
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3)
            colours.insert(image.pixel(x, y));
    }
    return colours.size();
}

} // namespace

TEST(PreferencesWindow, EveryTabPaintsOnTheDisplay) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    MemorySettingsStore store;
    Settings settings(store);
    // Two microphones, the first the default, as a desktop with a webcam lists them.
    FakeInputDevices microphones;
    microphones.devices = {{1, "Built-in Audio Analog Stereo", "alsa_input.pci-0000_00_1f.3.analog-stereo"},
                           {2, "HD Webcam C615 Mono", "alsa_input.usb-046d_HD_Webcam_C615-02.mono-fallback"}};
    microphones.defaultId = 1;
    VirtualScheduler scheduler;
    test::RecordingEventSink events;
    RecordingConsole console;
    FakeAudioPlayerFactory players;
    FakeResources resources;
    FakeActivityProbes probes;
    WakeSound wakeSound(scheduler, scheduler, events, console, players, resources, probes);
    test::TempDir home;
    XdgAutostart autostart(home.path() / "autostart" / "mirl.desktop", "/usr/bin/mirl");
    PreferencesView view({.settings = settings,
                          .devices = &microphones,
                          .wakeSound = &wakeSound,
                          .autostart = &autostart,
                          .dataFolder = [] { return std::filesystem::path("/tmp"); },
                          .openUrl = [](const QUrl&) {}});
    view.resize(560, 860);
    view.show();
    ASSERT_TRUE(test::pumpUntil([&] { return view.isVisible() && view.windowHandle()->isExposed(); }, 5s));
    view.detectorTab()->disclosure()->setChecked(true); // the advanced settings, opened

    const char* outDir = std::getenv("MIRL_SCREENSHOT_DIR");
    const char* names[] = {"system", "ambiance", "detection", "auto-fade", "about"};
    ASSERT_EQ(view.tabs()->count(), 5);
    for (int i = 0; i < 5; ++i) {
        view.tabs()->setCurrentIndex(i);
        test::pumpFor(300ms);
        const QImage grab = view.screen()->grabWindow(view.winId()).toImage();
        ASSERT_FALSE(grab.isNull()) << names[i];
        EXPECT_EQ(grab.size(), view.size() * view.devicePixelRatio()) << names[i];
        EXPECT_GT(distinctColours(grab), 20u) << names[i] << " looks blank";
        if (outDir) {
            ASSERT_TRUE(grab.save(QString::fromUtf8(outDir) + "/" + names[i] + ".png")) << names[i];
        }
    }
    // Nothing was written by showing the window.
    EXPECT_EQ(store.size(), 0u);
}
