#pragma once

#include "core/settings/SettingsKeys.h"
#include "fade/AutoFader.h"
#include "platform/fake/FakeActivityProbes.h"
#include "platform/fake/MemorySettingsStore.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/RecordingEventSink.h"

#include <gtest/gtest.h>

#include <vector>

namespace mirl::test {

inline TimePoint at(int hour, int minute, int second = 0) {
    // 2026-12-05 in UTC (the test main's zone).
    return TimePoint{} + std::chrono::sys_days{std::chrono::year{2026} / 12 / 5}.time_since_epoch() +
           std::chrono::hours(hour) + std::chrono::minutes(minute) + std::chrono::seconds(second);
}

/// A fade engine on virtual time starting at 22:00, with its callbacks recorded.
class FaderTest : public ::testing::Test {
protected:
    FaderTest() {
        fader.onAmbianceChange = [this](double a) { ambianceSent.push_back(a); };
        fader.onVolumeChange = [this](int v) { volumeSent.push_back(v); };
        fader.onAutopilotChange = [this](bool a, bool v) { autopilotCalls.push_back({a, v}); };
    }

    /// Arms a session with the given volume and clears what start itself logged.
    void arm(int minutes = 30, int initialVolume = 40) {
        fader.start(minutes, initialVolume);
        events.clear();
    }
    void advance(Duration d) { scheduler.advance(d); }
    /// Runs until t, which must lie on the 2-second tick grid of the session.
    void advanceTo(TimePoint t) { scheduler.advanceTo(t); }
    double lastAmbiance() const { return ambianceSent.empty() ? -1 : ambianceSent.back(); }
    int lastVolume() const { return volumeSent.empty() ? -1 : volumeSent.back(); }

    VirtualScheduler scheduler{at(22, 0)};
    MemorySettingsStore store;
    Settings settings{store};
    RecordingEventSink events;
    FakeActivityProbes probes;
    AutoFader fader{scheduler, scheduler, settings, events, probes};

    std::vector<double> ambianceSent;
    std::vector<int> volumeSent;
    std::vector<std::pair<bool, bool>> autopilotCalls;
};

} // namespace mirl::test
