#pragma once

#include "core/settings/Settings.h"
#include "detect/CaptureRecorder.h"
#include "detect/DetectionChain.h"
#include "detect/RecordingParts.h"
#include "detect/SleepPhase.h"
#include "detect/SoundClassifier.h"
#include "journal/EventSink.h"
#include "platform/ActivityProbes.h"
#include "platform/AudioFileWriter.h"
#include "platform/CaptureEngine.h"
#include "platform/InputDevices.h"
#include "platform/OutputPlaybackProbe.h"
#include "runtime/Clock.h"
#include "runtime/Console.h"
#include "runtime/Executor.h"
#include "runtime/Lifetime.h"
#include "runtime/Published.h"
#include "runtime/Scheduler.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mirl {

/// The microphone at night: opens the capture for a session and keeps it open until the session
/// ends. Every captured buffer goes to the detection chain (sound classifier and phase, the two
/// breathing detectors, the level meter and its minute telemetry) and, when the session records,
/// to the recorder. When the input changes under it (another default input, a device that goes,
/// a sound server that restarts) it rebuilds the pipeline: changes within five seconds of the
/// start are ignored, a burst of changes makes one rebuild 0.4 s after the last, rebuilds are at
/// least 1.5 s apart (a change whose rebuild falls within that cooldown is rebuilt when it ends),
/// and each rebuild records into the next "-part" file. A rebuild that fails leaves the pipeline
/// broken; it is tried again after 2, 4, 8 ... (at most 60) seconds and at every accepted change,
/// until it works or the session stops.
///
/// Thread rule: everything here belongs to the main thread (start, stop, the rebuild logic, the
/// published values and their mirrors), except onTap(), which runs on the engine's capture
/// thread: it builds the channel-0 view in a scratch buffer only it uses and hands the buffer to
/// the chain and the recorder, which copy what they keep and queue their work (their own thread
/// rules say how). The fields the tap path shares with the main thread are the chain's format
/// (under its lock) and the recorder's core (confined to the recorder queue); the main thread
/// clears them only after removing the tap or before installing a new one.
class SleepDetector {
public:
    static constexpr double startupGracePeriodSeconds = 5.0;
    static constexpr double debounceSeconds = 0.4;
    static constexpr double restartCooldownSeconds = 1.5;
    static constexpr double firstRetrySeconds = 2.0;
    static constexpr double maxRetrySeconds = 60.0;

    struct Deps {
        const Clock& clock;
        Scheduler& mainThread;
        EventSink& events;
        Settings& settings;
        Console& console;
        CaptureEngine& engine; // one for the detector's whole life
        InputDevices& inputs;
        ActivityProbes& activity;
        OutputPlaybackProbe& playback;
        Executor& analysisQueue; // "Mirl.SleepDetector.analysis"
        Executor& bandQueue;     // "Mirl.BreathBandDetector"
        Executor& recorderQueue; // "Mirl.SleepDetector.recorder"
        AudioFileFactory createRecording;
    };

    SleepDetector(Deps deps, std::unique_ptr<SoundClassifier> classifier);
    ~SleepDetector();
    SleepDetector(const SleepDetector&) = delete;
    SleepDetector& operator=(const SleepDetector&) = delete;

    /// Opens the microphone; records into `recordingPath` (part 1) when given. Nothing on
    /// success, else the error's description; a failed start leaves the detector stopped.
    std::optional<std::string> start(std::optional<std::filesystem::path> recordingPath);
    /// Ends capture and recording and returns the phase values to rest. Never fails.
    void stop();
    bool isRunning() const { return running_; }

    Published<SleepPhase> phase{SleepPhase::awake};
    Published<double> phaseConfidence{0.0};
    Published<std::string> topLabel{std::string("—")};
    Published<double> topConfidence{0.0};
    Published<double> breathRpm{0.0};
    Published<bool> breathHasReading{false};
    Published<std::optional<TimePoint>> breathBandAsleepAt;
    Published<std::optional<TimePoint>> breathRegularityAsleepAt;

    DetectionChain& chain() { return chain_; }
    /// Rebuilds since start (the recording's part number minus one, format changes included).
    int recordingPartIndex() const { return parts_.index(); }
    /// A rebuild waits for its debounce delay or for the cooldown's end.
    bool rebuildPending() const { return pendingRestart_.active(); }
    /// The last rebuild failed and another attempt is scheduled.
    bool broken() const { return retry_.active(); }

private:
    void checkMicrophoneAuthorization();
    void applyPreferredInput();
    std::optional<std::string> startPipeline(std::optional<std::filesystem::path> location, bool restart);
    void step(const char* name);
    void onTap(const CaptureEngine::Buffer& buffer); // capture thread

    // Recovery (SleepDetectorRecovery.cpp)
    void installObservers();
    void removeObservers();
    void handlePipelineChange(const std::string& reason);
    void restartPipeline(const std::string& reason);
    void schedulePending(Duration delay, const std::string& reason);
    void scheduleRetry();

    Deps deps_;
    DetectionChain chain_;
    RecordingParts parts_;
    CaptureRecorder recorder_;
    std::vector<Handle> mirrors_;

    bool running_ = false;
    TimePoint startedAt_{};
    std::optional<TimePoint> lastRestartAt_;
    Handle changeWatch_;
    Handle pendingRestart_;
    Handle retry_;
    double retryDelaySeconds_ = firstRetrySeconds;

    std::vector<float> channel0_; // capture thread only
    Lifetime lifetime_;
};

} // namespace mirl
