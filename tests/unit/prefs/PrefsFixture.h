#pragma once

#include "core/settings/Settings.h"
#include "fade/WakeSound.h"
#include "platform/fake/FakeActivityProbes.h"
#include "platform/fake/FakeAudioPlayer.h"
#include "platform/fake/FakeInputDevices.h"
#include "platform/fake/MemorySettingsStore.h"
#include "runtime/Console.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/OffscreenWidgets.h"
#include "tests/support/RecordingEventSink.h"
#include "ui/prefs/BoundControls.h"
#include "ui/prefs/PreferencesView.h"

#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

namespace mirl::test {

/// A preferences view over a memory store, fake microphones and a wake sound on fake players.
class PrefsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureOffscreenWidgets(); }

    PreferencesView& view() {
        if (!view_)
            view_ = makeView();
        return *view_;
    }
    std::unique_ptr<PreferencesView> makeView() {
        return std::make_unique<PreferencesView>(
            PreferencesView::Deps{.settings = settings,
                                  .devices = &microphones,
                                  .wakeSound = &wakeSound,
                                  .autostart = nullptr,
                                  .dataFolder = [this] { return dataFolder; },
                                  .openUrl = [this](const QUrl& url) { opened.push_back(url); }});
    }

    template <typename Control> Control* bound(std::string_view key) {
        for (auto* control : view().findChildren<Control*>()) {
            if (control->key() == key)
                return control;
        }
        ADD_FAILURE() << "no control bound to " << key;
        return nullptr;
    }
    BoundSwitch* switchFor(std::string_view key) { return bound<BoundSwitch>(key); }
    BoundSlider* sliderFor(std::string_view key) { return bound<BoundSlider>(key); }
    BoundPicker* pickerFor(std::string_view key) { return bound<BoundPicker>(key); }

    /// Picks the row labelled `label` as a user would.
    static void choose(BoundPicker* picker, const QString& label) {
        const int index = picker->findText(label);
        ASSERT_GE(index, 0) << "no row " << label.toStdString();
        picker->setCurrentIndex(index);
        emit picker->activated(index);
    }

    std::optional<SettingValue> stored(std::string_view key) const { return store.read(key); }

    MemorySettingsStore store;
    Settings settings{store};
    FakeInputDevices microphones;
    VirtualScheduler scheduler;
    RecordingEventSink events;
    RecordingConsole console;
    FakeAudioPlayerFactory players;
    FakeResources resources;
    FakeActivityProbes probes;
    WakeSound wakeSound{scheduler, scheduler, events, console, players, resources, probes};
    std::filesystem::path dataFolder = "/home/someone/.local/share/Mirl";
    std::vector<QUrl> opened;

private:
    std::unique_ptr<PreferencesView> view_;
};

} // namespace mirl::test
