#pragma once

#include "detect/BreathBandDetector.h"
#include "detect/BreathDetector.h"
#include "detect/CapturedBuffer.h"
#include "detect/ClassificationStage.h"
#include "detect/LevelMeter.h"
#include "detect/PhaseClassifier.h"
#include "journal/EventSink.h"
#include "platform/ActivityProbes.h"
#include "platform/OutputPlaybackProbe.h"
#include "runtime/Clock.h"
#include "runtime/Executor.h"
#include "runtime/Scheduler.h"

#include <memory>
#include <mutex>
#include <optional>

namespace mirl {

/// The consumers of captured audio and what they decide: the sound classifier and the phase
/// classification, the breath-rate detector, the breath-band detector and the level meter with
/// its minute telemetry. The microphone detector owns one and hands it every captured buffer;
/// the offline replay does the same with decoded file audio.
///
/// Thread rule: handleBuffer() runs on the capture thread (one at a time) and fans the buffer
/// out; the format it last set up for is shared with the main thread under a lock. start(),
/// stop(), resetFormat(), reportTelemetry() and every published value belong to the main thread.
class DetectionChain {
public:
    static constexpr double telemetryPeriodSeconds = 60.0;

    struct Deps {
        const Clock& clock;
        Scheduler& mainThread;
        EventSink& events;
        ActivityProbes& activity;
        OutputPlaybackProbe& playback;
        Executor& analysisQueue; // "Mirl.SleepDetector.analysis"
        Executor& bandQueue;     // "Mirl.BreathBandDetector"
    };

    DetectionChain(Deps deps, std::unique_ptr<SoundClassifier> classifier);
    ~DetectionChain();

    PhaseClassifier& phase() { return phase_; }
    BreathDetector& breath() { return breath_; }
    BreathBandDetector& band() { return band_; }
    LevelMeter& level() { return level_; }

    /// Enables the breath-rate detector from now and starts the minute telemetry. The next
    /// valid buffer sets the classifier and the band detector up afresh.
    void start();
    /// Stops every consumer and returns the published values to their resting state.
    void stop();
    /// Forgets the format set up last (a pipeline rebuild): the next valid buffer sets up again.
    void resetFormat();

    /// Capture thread: one captured buffer.
    void handleBuffer(const CapturedBuffer& buffer);
    /// Main thread: writes "telemetry" and starts a new level average.
    void reportTelemetry();

private:
    struct Format {
        double sampleRate;
        int channels;
    };
    void ensureSetUp(const CapturedBuffer& buffer);

    Deps deps_;
    PhaseClassifier phase_;
    ClassificationStage classification_;
    BreathDetector breath_;
    BreathBandDetector band_;
    LevelMeter level_;
    std::mutex formatMutex_;
    std::optional<Format> analysisFormat_;
    Handle telemetryTimer_;
    Lifetime lifetime_;
};

} // namespace mirl
