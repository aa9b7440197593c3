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

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace mirl {

/// The consumers of captured audio and what they decide: the sound classifier and the phase
/// classification, the breath-rate detector, the breath-band detector and the level meter with
/// its minute telemetry. The microphone detector owns one and hands it every captured buffer;
/// the offline replay does the same with decoded file audio.
///
/// Thread rule: handleBuffer() runs on the capture thread (one at a time) and fans the buffer
/// out; the format it last set up for is shared with the main thread under a lock, and which
/// breathing detectors run is read there through atomics that start() writes. start(), stop(),
/// resetFormat(), reportTelemetry() and every published value belong to the main thread.
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

    /// Which breathing detectors run. One that is switched off gets no buffers and declares
    /// nothing; its published values stay at rest.
    struct Detectors {
        bool breathRate = true;
        bool breathBand = true;
    };

    /// Enables the breath-rate detector (when it runs) from now and starts the minute telemetry.
    /// The next valid buffer sets the classifier and the band detector up.
    void start(Detectors detectors);
    void start(); // every detector
    /// Stops every consumer, forgets the format and returns the published values to rest.
    void stop();
    /// Forgets the format set up last (a pipeline rebuild): the next valid buffer sets up again.
    void resetFormat();

    /// The largest sample magnitude the detectors see: 60 dB over full scale, far beyond what
    /// any microphone delivers, and small enough that no level or filter overflows.
    static constexpr float sampleLimit = 1000.0f;

    /// Capture thread: one captured buffer; ignored unless started, and at a rate the
    /// detectors cannot work at (CapturedBuffer::hasAnalysableRate). They get its samples
    /// cleaned: one that is not a number or infinite counts as silence (0), one beyond
    /// ±sampleLimit is held there.
    void handleBuffer(const CapturedBuffer& buffer);
    /// Main thread: writes "telemetry" and starts a new level average.
    void reportTelemetry();

private:
    struct Format {
        double sampleRate;
        int channels;
    };
    void ensureSetUp(const CapturedBuffer& buffer);
    /// The buffer itself, or a cleaned copy in clean_ when a sample is out of bounds.
    CapturedBuffer cleaned(const CapturedBuffer& buffer);

    Deps deps_;
    PhaseClassifier phase_;
    ClassificationStage classification_;
    BreathDetector breath_;
    BreathBandDetector band_;
    LevelMeter level_;
    std::mutex formatMutex_;
    std::optional<Format> analysisFormat_;
    std::vector<float> clean_; // capture thread
    std::atomic<bool> started_{false};
    std::atomic<bool> breathRateOn_{true};
    std::atomic<bool> breathBandOn_{true};
    Handle telemetryTimer_;
    Lifetime lifetime_;
};

} // namespace mirl
