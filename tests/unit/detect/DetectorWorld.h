#pragma once

#include "core/settings/Settings.h"
#include "detect/SleepDetector.h"
#include "platform/fake/FakeActivityProbes.h"
#include "platform/fake/FakeAudioFiles.h"
#include "platform/fake/FakeCaptureEngine.h"
#include "platform/fake/FakeInputDevices.h"
#include "platform/fake/FakeOutputPlaybackProbe.h"
#include "platform/fake/MemorySettingsStore.h"
#include "runtime/Console.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/RecordingEventSink.h"
#include "tests/support/ScriptedSoundClassifier.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace mirl::test {

/// A SleepDetector over fakes on virtual time: a silent 8 kHz microphone, queues run inline,
/// recordings in memory, a classifier that answers "breathing" to everything.
class DetectorWorld : public ::testing::Test {
protected:
    static constexpr double kRate = 8000;
    static inline const std::filesystem::path kRecording = "/rec/audio-2026-12-05-2200.m4a";

    DetectorWorld() {
        microphone.playSilence({kRate, 1});
        auto c = std::make_unique<ScriptedSoundClassifier>([](double) {
            return std::vector<LabelConfidence>{{"breathing", 0.9}};
        });
        classifier = c.get();
        detector = std::make_unique<SleepDetector>(
            SleepDetector::Deps{clock, clock, events, settings, console, microphone, inputs, activity,
                                playback, analysis, band, recorder, files.factory()},
            std::move(c));
    }

    /// Seconds of virtual time since the world began.
    double elapsed() const { return secondsBetween(origin, clock.now()); }
    void advance(double seconds) { clock.advance(toDuration(seconds)); }
    std::vector<std::string> namesWithout(std::initializer_list<std::string_view> skipped) const {
        std::vector<std::string> out;
        for (auto& name : events.names())
            if (std::find(skipped.begin(), skipped.end(), name) == skipped.end())
                out.push_back(name);
        return out;
    }

    VirtualScheduler clock;
    TimePoint origin = clock.now();
    RecordingEventSink events;
    MemorySettingsStore store;
    Settings settings{store};
    RecordingConsole console;
    FakeCaptureEngine microphone{clock};
    FakeInputDevices inputs;
    FakeActivityProbes activity;
    FakeOutputPlaybackProbe playback;
    InlineExecutor analysis, band, recorder;
    FakeAudioFiles files;
    ScriptedSoundClassifier* classifier = nullptr;
    std::unique_ptr<SleepDetector> detector;
};

/// A night at `rate` Hz: a one-second breath every four seconds (15 per minute) over a room
/// whose noise is loud for the first `loudSeconds` and then quiet, `seconds` long. Fixed seed.
inline std::vector<float> breathingNight(double rate, double seconds, double loudSeconds) {
    std::mt19937 noise(7);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    const auto frames = static_cast<std::size_t>(rate * seconds);
    std::vector<float> out(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const float floor = t < loudSeconds ? 0.2f : 0.02f;
        const bool breath = std::fmod(t, 4.0) < 1.0;
        out[i] = unit(noise) * (floor + (breath ? 0.1f : 0.0f));
    }
    return out;
}

} // namespace mirl::test
