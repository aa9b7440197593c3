// A stored value that is none of a picker's rows is shown as its own row and never rewritten.

#include "core/settings/SettingsKeys.h"
#include "tests/unit/prefs/PrefsFixture.h"
#include "ui/prefs/SystemTab.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "ui/prefs/DetectorTab.h"

using namespace mirl;
using namespace mirl::test;

namespace {

class PreferencesUnlistedTest : public PrefsTest {};

QStringList rows(const BoundPicker* picker) {
    QStringList out;
    for (int i = 0; i < picker->count(); ++i)
        out << picker->itemText(i);
    return out;
}

} // namespace

TEST_F(PreferencesUnlistedTest, AnHourOutsideTheListSurvivesOpeningAndClosing) {
    settings.writeInt(keys::modeAutoDayStartHour, 14);
    {
        auto window = makeView();
        window->show();
        auto* picker = window->systemTab()->dayStartPicker();
        EXPECT_EQ(picker->currentText(), "14 h");
        EXPECT_TRUE(picker->showsUnlistedValue());
        EXPECT_EQ(rows(picker), (QStringList{"6 h", "7 h", "8 h", "9 h", "10 h", "11 h", "12 h", "14 h"}));
        window->close();
    }
    EXPECT_EQ(stored(keys::modeAutoDayStartHour), SettingValue(14LL));
    auto again = makeView();
    again->show();
    EXPECT_EQ(again->systemTab()->dayStartPicker()->currentText(), "14 h");
    EXPECT_EQ(stored(keys::modeAutoDayStartHour), SettingValue(14LL));
}

TEST_F(PreferencesUnlistedTest, UnlistedValuesGetTheirOwnRowInPlace) {
    settings.writeInt(keys::systemPrewarnLeadSec, 45);
    settings.writeInt(keys::modeAutoNightStartHour, 3);
    settings.writeInt(keys::detectorRotationDays, 14);
    settings.writeString(keys::modeTimerMode, "weekend");
    settings.writeString(keys::modeNapWakeSound, "thunder");
    auto& system = *view().systemTab();
    EXPECT_EQ(rows(system.prewarnLeadPicker()), (QStringList{"30 s", "45 s", "1 min", "2 min", "3 min"}));
    EXPECT_EQ(system.prewarnLeadPicker()->currentText(), "45 s");
    EXPECT_EQ(system.nightStartPicker()->currentText(), "3 h");
    EXPECT_EQ(system.nightStartPicker()->itemText(0), "3 h");
    EXPECT_EQ(view().detectorTab()->rotationPicker()->currentText(), "14 d");
    EXPECT_EQ(view().detectorTab()->rotationTitle()->text(), "Auto rotation: 14 days");
    EXPECT_EQ(system.modePicker()->currentText(), QStringLiteral("“weekend” (works as Auto)"));
    EXPECT_EQ(system.wakeSoundPicker()->currentText(), QStringLiteral("“thunder” (plays Birds)"));
    // An unknown sound previews what a nap would play.
    EXPECT_TRUE(system.previewButton()->isEnabled());
    system.previewButton()->click();
    ASSERT_EQ(players.logs.size(), 1u);
    EXPECT_EQ(players.logs[0]->file.filename(), "Birds.m4a");

    EXPECT_EQ(stored(keys::systemPrewarnLeadSec), SettingValue(45LL));
    EXPECT_EQ(stored(keys::modeTimerMode), SettingValue(std::string("weekend")));
    EXPECT_EQ(stored(keys::modeNapWakeSound), SettingValue(std::string("thunder")));
}

TEST_F(PreferencesUnlistedTest, PickingAnotherRowAndBackRestoresTheStoredValue) {
    settings.writeInt(keys::modeNapWakeLeadSec, 240);
    auto* picker = view().systemTab()->wakeLeadPicker();
    EXPECT_EQ(rows(picker), (QStringList{"1 min", "2 min", "3 min", "4 min", "5 min"}));
    choose(picker, "2 min");
    EXPECT_EQ(stored(keys::modeNapWakeLeadSec), SettingValue(120LL));
    choose(picker, "4 min");
    EXPECT_EQ(stored(keys::modeNapWakeLeadSec), SettingValue(240LL));
    EXPECT_EQ(picker->currentText(), "4 min");
}

TEST_F(PreferencesUnlistedTest, SlidersKeepAnOffGridValueUntilMoved) {
    settings.writeInt(keys::fadeIdleThresholdSec, 0); // readers accept it: a fade at the first check
    auto* slider = sliderFor(keys::fadeIdleThresholdSec);
    EXPECT_EQ(slider->value(), 0);
    EXPECT_EQ(slider->labelText(), "Required inactivity: 0 min");
    EXPECT_EQ(slider->slider()->value(), 0);
    EXPECT_EQ(stored(keys::fadeIdleThresholdSec), SettingValue(0LL));
    slider->slider()->setValue(2);
    EXPECT_EQ(stored(keys::fadeIdleThresholdSec), SettingValue(120LL));
}

TEST_F(PreferencesUnlistedTest, ReloadShowsValuesChangedElsewhere) {
    view();
    settings.writeInt(keys::ambianceBrightnessFloorPct, 45);
    settings.writeBool(keys::fadeAutoEnabled, false);
    settings.writeInt(keys::modeAutoDayStartHour, 9);
    EXPECT_EQ(sliderFor(keys::ambianceBrightnessFloorPct)->value(), 20);
    view().reload();
    EXPECT_EQ(sliderFor(keys::ambianceBrightnessFloorPct)->value(), 45);
    EXPECT_FALSE(switchFor(keys::fadeAutoEnabled)->isChecked());
    EXPECT_EQ(view().systemTab()->dayStartPicker()->currentText(), "9 h");
    EXPECT_EQ(store.size(), 3u);
}
