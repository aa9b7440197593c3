// A fresh store: every control shows the documented default, and showing them writes nothing.

#include "core/settings/SettingsKeys.h"
#include "tests/unit/prefs/PrefsFixture.h"
#include "ui/prefs/AmbianceTab.h"
#include "ui/prefs/DetectorTab.h"
#include "ui/prefs/FadeTab.h"
#include "ui/prefs/FormSection.h"
#include "ui/prefs/SystemTab.h"

#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

using namespace mirl;
using namespace mirl::test;

namespace {

class PreferencesDefaultsTest : public PrefsTest {};

} // namespace

TEST_F(PreferencesDefaultsTest, TabsInOrder) {
    const QStringList want{"System", "Ambiance", "Detection", "Auto-fade", "About"};
    QStringList titles;
    for (int i = 0; i < view().tabs()->count(); ++i)
        titles << view().tabs()->tabText(i);
    EXPECT_EQ(titles, want);
}

TEST_F(PreferencesDefaultsTest, EveryEditableKeyShowsItsDefault) {
    // Every key of the table has one control, except the two plateaus, which have none.
    for (const auto& entry : keys::kSettingDefaults) {
        SCOPED_TRACE(std::string(entry.key));
        if (entry.key == keys::fadeOverridePlateauSec || entry.key == keys::fadeVolumeOverridePlateauSec)
            continue;
        if (const auto* on = std::get_if<bool>(&entry.value)) {
            auto* control = switchFor(entry.key);
            ASSERT_NE(control, nullptr);
            EXPECT_EQ(control->isChecked(), *on);
        } else if (const auto* number = std::get_if<int>(&entry.value)) {
            int shown = 0;
            bool found = false;
            for (auto* slider : view().findChildren<BoundSlider*>()) {
                if (slider->key() == entry.key) {
                    shown = slider->value();
                    found = true;
                }
            }
            for (auto* picker : view().findChildren<BoundPicker*>()) {
                if (picker->key() == entry.key) {
                    shown = std::get<int>(picker->value());
                    found = true;
                    EXPECT_FALSE(picker->showsUnlistedValue());
                }
            }
            ASSERT_TRUE(found) << "no control";
            EXPECT_EQ(shown, *number);
        } else {
            auto* picker = pickerFor(entry.key);
            ASSERT_NE(picker, nullptr);
            EXPECT_EQ(std::get<std::string>(picker->value()),
                      std::string(std::get<std::string_view>(entry.value)));
            EXPECT_FALSE(picker->showsUnlistedValue());
        }
    }
    EXPECT_EQ(store.size(), 0u) << "showing the defaults wrote keys";
}

TEST_F(PreferencesDefaultsTest, WhatTheUserReadsOnAFreshStore) {
    microphones.devices = {{3, "Built-in Microphone", "alsa_input.builtin"}};
    microphones.defaultId = microphones.devices[0].id;
    struct Row {
        const char* what;
        QString shown;
        QString want;
    };
    auto& system = *view().systemTab();
    auto& detector = *view().detectorTab();
    auto& fade = *view().fadeTab();
    const Row rows[] = {
        {"mode", system.modePicker()->currentText(), QStringLiteral("🕑 Auto")},
        {"alert lead", system.prewarnLeadPicker()->currentText(), "1 min"},
        {"wake-up", system.wakeLeadPicker()->currentText(), "3 min"},
        {"wake sound", system.wakeSoundPicker()->currentText(), "Birds"},
        {"nap from", system.dayStartPicker()->currentText(), "11 h"},
        {"night from", system.nightStartPicker()->currentText(), "19 h"},
        {"brightness floor", view().ambianceTab()->brightnessFloor()->labelText(),
         "Min brightness: 20% of the starting level"},
        {"volume target", view().ambianceTab()->volumeFloor()->labelText(),
         "Target volume: 35% of the starting level"},
        {"rotation", detector.rotationPicker()->currentText(), "60 d"},
        {"rotation title", detector.rotationTitle()->text(), "Auto rotation: 60 days"},
        {"source", detector.sourcePicker()->currentText(), "System default (Built-in Microphone)"},
        {"inactivity", fade.idleThreshold()->labelText(), "Required inactivity: 10 min"},
        {"cooldown", fade.cooldown()->labelText(), "Cooldown after interaction: 5 min"},
        {"min fade", fade.minDuration()->labelText(), "Min fade duration: 9 min"},
        {"accelerated", fade.accelerateTo()->labelText(), "Accelerated duration: 3 min"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.shown.toStdString(), row.want.toStdString()) << row.what;
    EXPECT_TRUE(system.previewButton()->isEnabled());
    EXPECT_TRUE(detector.microphoneOffNote()->isHidden());
    EXPECT_TRUE(detector.microphoneSection()->isEnabled());
    EXPECT_EQ(store.size(), 0u);
}

TEST_F(PreferencesDefaultsTest, TextsUseThisPlatformsWords) {
    QStringList texts;
    for (auto* control : view().findChildren<QAbstractButton*>())
        texts << control->text();
    for (auto* label : view().findChildren<QLabel*>())
        texts << label->text();
    const QString all = texts.join('\n');
    for (const char* foreign :
         {"Mac", "macOS", "NSWindow", "Night Shift", "SoundAnalysis", "Dock", "menu bar"})
        EXPECT_FALSE(all.contains(QString::fromLatin1(foreign))) << foreign;
    EXPECT_TRUE(all.contains("Put the computer to sleep when the timer ends"));
    EXPECT_TRUE(all.contains("Fades the system volume down."));
    EXPECT_TRUE(all.contains("Updates come with your system's package manager."));
}
