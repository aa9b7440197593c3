// Moving a control writes its key at once, with the key's type.

#include "core/settings/SettingsKeys.h"
#include "platform/linux/QSettingsStore.h"
#include "platform/linux/XdgAutostart.h"
#include "tests/support/TestPaths.h"
#include "tests/unit/prefs/PrefsFixture.h"
#include "ui/prefs/AmbianceTab.h"
#include "ui/prefs/DetectorTab.h"
#include "ui/prefs/FormSection.h"
#include "ui/prefs/SystemTab.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include <fstream>

using namespace mirl;
using namespace mirl::test;

namespace {

class PreferencesWritesTest : public PrefsTest {};

} // namespace

TEST_F(PreferencesWritesTest, EachKindOfControlWritesItsType) {
    switchFor(keys::ambianceGammaDimEnabled)->click();
    sliderFor(keys::fadeIdleThresholdSec)->moveTo(300);
    choose(pickerFor(keys::modeAutoNightStartHour), "21 h");
    choose(pickerFor(keys::modeTimerMode), QStringLiteral("🌙 Night"));

    EXPECT_EQ(stored(keys::ambianceGammaDimEnabled), SettingValue(false));
    EXPECT_EQ(stored(keys::fadeIdleThresholdSec), SettingValue(300LL));
    EXPECT_EQ(stored(keys::modeAutoNightStartHour), SettingValue(21LL));
    EXPECT_EQ(stored(keys::modeTimerMode), SettingValue(std::string("night")));
    EXPECT_EQ(store.size(), 4u) << "a control wrote another key";
}

TEST_F(PreferencesWritesTest, SlidersMoveOnTheirGridAndStoreWholeNumbers) {
    auto* slider = sliderFor(keys::fadeMinDurationSec); // 180 to 1800 in steps of 30
    slider->slider()->setValue(slider->slider()->maximum());
    EXPECT_EQ(stored(keys::fadeMinDurationSec), SettingValue(1800LL));
    EXPECT_EQ(slider->labelText(), "Min fade duration: 30 min");
    slider->slider()->setValue(1);
    EXPECT_EQ(stored(keys::fadeMinDurationSec), SettingValue(210LL));
    EXPECT_EQ(slider->labelText(), "Min fade duration: 3 min"); // 210 s shows as whole minutes
    sliderFor(keys::ambianceBrightnessFloorPct)->moveTo(50);
    EXPECT_EQ(stored(keys::ambianceBrightnessFloorPct), SettingValue(50LL));
}

TEST_F(PreferencesWritesTest, VolumeFooterFollowsTheFloor) {
    struct Row {
        int floor;
        const char* label;
        const char* footer;
    };
    const Row rows[] = {
        {35, "Target volume: 35% of the starting level", "Starting at 50, it ends around 18."},
        {5, "Target volume: 5% of the starting level", "Starting at 50, it ends around 3."},
        {80, "Target volume: 80% of the starting level", "Starting at 50, it ends around 40."},
        {0, "Target volume: silent", "The volume fades all the way to silence by the end of the timer."},
    };
    auto& ambiance = *view().ambianceTab();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.floor);
        ambiance.volumeFloor()->moveTo(row.floor);
        EXPECT_EQ(stored(keys::ambianceVolumeFloorPct), SettingValue(static_cast<long long>(row.floor)));
        EXPECT_EQ(ambiance.volumeFloor()->labelText().toStdString(), row.label);
        EXPECT_TRUE(ambiance.volumeFooter()->text().contains(QString::fromUtf8(row.footer)))
            << ambiance.volumeFooter()->text().toStdString();
    }
    EXPECT_EQ(
        volumeFloorFooter(35).toStdString(),
        "Where the volume lands at the end of the fade. Starting at 50, it ends around 18. Lower it if the "
        "sound still feels too present when you fall asleep.");
}

TEST_F(PreferencesWritesTest, NoMicrophoneModeDisablesTheTwoSectionsBelow) {
    auto& detector = *view().detectorTab();
    switchFor(keys::privacyNoMicrophone)->click();
    EXPECT_EQ(stored(keys::privacyNoMicrophone), SettingValue(true));
    EXPECT_FALSE(detector.microphoneSection()->isEnabled());
    EXPECT_FALSE(detector.advancedSection()->isEnabled());
    EXPECT_FALSE(detector.microphoneOffNote()->isHidden());
    EXPECT_FALSE(detector.sourcePicker()->isEnabled());
    EXPECT_FALSE(switchFor(keys::detectorRecordingEnabled)->isEnabled());
    EXPECT_TRUE(switchFor(keys::privacyNoMicrophone)->isEnabled());

    switchFor(keys::privacyNoMicrophone)->click();
    EXPECT_TRUE(detector.microphoneSection()->isEnabled());
    EXPECT_TRUE(detector.advancedSection()->isEnabled());
    EXPECT_TRUE(detector.microphoneOffNote()->isHidden());

    // A window opened on a stored "on" starts disabled.
    settings.writeBool(keys::privacyNoMicrophone, true);
    auto second = makeView();
    EXPECT_FALSE(second->detectorTab()->microphoneSection()->isEnabled());
    EXPECT_FALSE(second->detectorTab()->advancedSection()->isEnabled());
}

TEST_F(PreferencesWritesTest, RotationPickerWritesZeroForNever) {
    auto& detector = *view().detectorTab();
    choose(detector.rotationPicker(), "Never");
    EXPECT_EQ(stored(keys::detectorRotationDays), SettingValue(0LL));
    EXPECT_EQ(detector.rotationTitle()->text(), "Auto rotation: never");
    choose(detector.rotationPicker(), "90 d");
    EXPECT_EQ(detector.rotationTitle()->text(), "Auto rotation: 90 days");
}

TEST_F(PreferencesWritesTest, PreviewPlaysTheChosenSoundOnceAtFullGain) {
    auto& system = *view().systemTab();
    choose(system.wakeSoundPicker(), "Zen bong");
    EXPECT_EQ(stored(keys::modeNapWakeSound), SettingValue(std::string("bong")));
    system.previewButton()->click();
    ASSERT_EQ(players.logs.size(), 1u);
    EXPECT_EQ(players.logs[0]->file.filename(), "Bong.m4a");
    EXPECT_FALSE(players.logs[0]->looping);
    EXPECT_FLOAT_EQ(players.logs[0]->gain, 1.0f);
    EXPECT_TRUE(events.names().empty()) << "a preview logs nothing";

    choose(system.wakeSoundPicker(), "No sound");
    EXPECT_FALSE(system.previewButton()->isEnabled());
}

TEST_F(PreferencesWritesTest, OpenTheDataFolder) {
    view().detectorTab()->openDataFolderButton()->click();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(QString::fromStdString(dataFolder.string())));
}

TEST_F(PreferencesWritesTest, ChosenMicrophoneIsStoredByItsUid) {
    microphones.devices = {{1, "Built-in", "alsa_input.builtin"}, {7, "USB Mic", "alsa_input.usb-mic"}};
    microphones.defaultId = microphones.devices[0].id;
    auto* source = view().detectorTab()->sourcePicker();
    EXPECT_EQ(source->count(), 3);
    choose(source, "USB Mic");
    EXPECT_EQ(stored(keys::detectorPreferredInputDeviceUid), SettingValue(std::string("alsa_input.usb-mic")));

    // Unplugged: after a refresh the stored choice is its own row and stays stored.
    microphones.devices.pop_back();
    view().detectorTab()->refreshButton()->click();
    EXPECT_EQ(source->currentText(), "alsa_input.usb-mic (not connected)");
    EXPECT_TRUE(source->showsUnlistedValue());
    EXPECT_EQ(stored(keys::detectorPreferredInputDeviceUid), SettingValue(std::string("alsa_input.usb-mic")));

    // The default changed and a new device came: the list says so after a refresh.
    microphones.devices.push_back({9, "Headset", "bluez_input.headset"});
    microphones.defaultId = 9;
    view().detectorTab()->refreshButton()->click();
    EXPECT_EQ(source->itemText(0), "System default (Headset)");
    EXPECT_GE(source->findText("Headset"), 0);
    choose(source, "System default (Headset)");
    EXPECT_EQ(stored(keys::detectorPreferredInputDeviceUid), SettingValue(std::string()));
}

TEST_F(PreferencesWritesTest, WritesReachAnotherReaderOfTheSettingsFile) {
    // The tray application and the window may be two processes over one INI file.
    TempDir dir;
    QSettingsStore fileStore(dir.path() / "Mirl.conf");
    Settings fileSettings(fileStore);
    PreferencesView window({.settings = fileSettings, .dataFolder = {}, .openUrl = {}});
    for (auto* slider : window.findChildren<BoundSlider*>()) {
        if (slider->key() == keys::fadeCooldownSec)
            slider->moveTo(120);
    }
    for (auto* control : window.findChildren<BoundSwitch*>()) {
        if (control->key() == keys::systemSleepOnFire)
            control->click();
    }
    QSettingsStore otherStore(dir.path() / "Mirl.conf");
    Settings other(otherStore);
    EXPECT_EQ(other.readInt(keys::fadeCooldownSec, 300), 120);
    EXPECT_FALSE(other.readBool(keys::systemSleepOnFire, true));
}

TEST_F(PreferencesWritesTest, StartAtLoginWritesTheAutostartEntry) {
    TempDir dir;
    XdgAutostart autostart(dir.path() / "autostart" / "mirl.desktop", "/usr/bin/mirl");
    PreferencesView window({.settings = settings, .autostart = &autostart, .dataFolder = {}, .openUrl = {}});
    auto* login = window.systemTab()->loginSwitch();
    ASSERT_TRUE(login->isEnabled());
    EXPECT_FALSE(login->isChecked());
    login->click();
    EXPECT_TRUE(std::filesystem::exists(autostart.entry()));
    EXPECT_TRUE(window.systemTab()->loginError()->isHidden());
    login->click();
    EXPECT_FALSE(std::filesystem::exists(autostart.entry()));
    EXPECT_EQ(store.size(), 0u) << "the entry is no setting";

    // The folder cannot be made: the switch stays off and says why.
    TempDir blocked;
    std::ofstream(blocked.path() / "autostart") << "a file";
    XdgAutostart refused(blocked.path() / "autostart" / "mirl.desktop", "/usr/bin/mirl");
    PreferencesView other({.settings = settings, .autostart = &refused, .dataFolder = {}, .openUrl = {}});
    other.systemTab()->loginSwitch()->click();
    EXPECT_FALSE(other.systemTab()->loginSwitch()->isChecked());
    EXPECT_FALSE(other.systemTab()->loginError()->isHidden());
    EXPECT_TRUE(other.systemTab()->loginError()->text().startsWith("Could not change the login entry: "));
}
