// testenv: --pulse
// timeout: 120
// The Detection tab's microphones from the test environment's PulseAudio: the list fills in
// once the sound server has answered, follows a microphone that is plugged in and the default
// that changes without the "Refresh the list" button, and a choice is stored by the source's
// name.

#include "core/settings/SettingsKeys.h"
#include "platform/fake/MemorySettingsStore.h"
#include "platform/linux/PulseAudioControl.h"
#include "platform/linux/PulseInputDevices.h"
#include "platform/linux/QtScheduler.h"
#include "tests/support/AudioFixtures.h"
#include "tests/support/OffscreenWidgets.h"
#include "tests/support/QtEventLoop.h"
#include "tests/support/TestPaths.h"
#include "ui/prefs/BoundControls.h"
#include "ui/prefs/DetectorTab.h"
#include "ui/prefs/PreferencesView.h"

#include <gtest/gtest.h>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

QStringList rows(const BoundPicker* picker) {
    QStringList out;
    for (int i = 0; i < picker->count(); ++i)
        out << picker->itemText(i);
    return out;
}

} // namespace

TEST(PreferencesDevicesPulse, TheListFollowsTheSoundServer) {
    test::ensureOffscreenWidgets();
    QtScheduler scheduler;
    PulseAudioControl audio(scheduler);
    PulseInputDevices microphones(audio);
    MemorySettingsStore store;
    Settings settings(store);
    PreferencesView view({.settings = settings,
                          .devices = &microphones,
                          .dataFolder = {},
                          .openUrl = {},
                          .watchDevices = [&](std::function<void()> changed) {
                              return audio.listenToInputs(std::move(changed));
                          }});
    auto* source = view.detectorTab()->sourcePicker();
    // The environment's default microphone is the null source "mic".
    ASSERT_TRUE(test::pumpUntil([&] { return source->count() >= 2; }, 5s))
        << rows(source).join(" | ").toStdString();
    EXPECT_TRUE(source->itemText(0).startsWith("System default (")) << source->itemText(0).toStdString();
    EXPECT_FALSE(rows(source).join('\n').contains(".monitor")) << "monitors of outputs are no microphones";

    test::TempDir dir;
    ASSERT_EQ(test::shell("pactl load-module module-null-source source_name=usbmic "
                          "description=USB-Microphone > '" +
                          (dir.path() / "module").string() + "'"),
              0);
    ASSERT_TRUE(test::pumpUntil([&] { return source->findText("USB-Microphone") >= 0; }, 5s))
        << rows(source).join(" | ").toStdString();
    ASSERT_EQ(test::shell("pactl set-default-source usbmic"), 0);
    EXPECT_TRUE(test::pumpUntil([&] { return source->itemText(0) == "System default (USB-Microphone)"; }, 5s))
        << source->itemText(0).toStdString();

    const int index = source->findText("USB-Microphone");
    source->setCurrentIndex(index);
    emit source->activated(index);
    EXPECT_EQ(store.read(keys::detectorPreferredInputDeviceUid), SettingValue(std::string("usbmic")));

    // Unplugged: the choice stays stored and shown.
    ASSERT_EQ(test::shell("pactl unload-module $(cat '" + (dir.path() / "module").string() + "')"), 0);
    EXPECT_TRUE(test::pumpUntil([&] { return source->findText("USB-Microphone") < 0; }, 5s));
    EXPECT_EQ(source->currentText(), "usbmic (not connected)");
    EXPECT_EQ(store.read(keys::detectorPreferredInputDeviceUid), SettingValue(std::string("usbmic")));
}
