#pragma once

#include "platform/AudioFileReader.h"
#include "platform/CaptureEngine.h"
#include "runtime/Scheduler.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace mirl {

/// A microphone on virtual time, for unit tests, scenario tests and mirl-sim. It plays an audio
/// file, given samples or silence (or nothing at all: "no device") in 8192-frame buffers, each
/// handed to the tap at the moment its last frame would have been captured, on the scheduler
/// that drives the test (a VirtualScheduler); its "capture thread" is that scheduler's thread.
/// Tests change its format, make its tap installation or its start fail, and announce changes.
///
/// A SleepDetector over fakes, on one VirtualScheduler `clock`:
///
///     VirtualScheduler clock;
///     RecordingEventSink events;                // or a SessionLogger
///     MemorySettingsStore store;  Settings settings(store);
///     RecordingConsole console;
///     FakeCaptureEngine microphone(clock);      // then microphone.playFile(openAudioFile(...).reader)
///     FakeInputDevices inputs;
///     FakeActivityProbes activity;  FakeOutputPlaybackProbe playback;
///     InlineExecutor analysis, band, recorder;  // serial queues run inline: deterministic
///     FakeAudioFiles files;                     // recordings kept in memory (or createAacFile)
///     SleepDetector detector({clock, clock, events, settings, console, microphone, inputs, activity,
///                             playback, analysis, band, recorder, files.factory()},
///                            std::make_unique<FeatureSoundClassifier>());
///     detector.start(std::nullopt);
///     clock.advance(std::chrono::minutes(10)); // ten minutes of audio through every detector
///
/// Thread rule: everything on the scheduler's thread.
class FakeCaptureEngine final : public CaptureEngine {
public:
    /// What happens when a file or sample list runs out.
    enum class AtEnd { silence, nothing, loop };

    explicit FakeCaptureEngine(Scheduler& scheduler);
    ~FakeCaptureEngine() override;

    // ---- What the microphone hears (any time; a running capture goes on with it) ----
    /// Channel 0 of the file at the file's rate, one channel.
    void playFile(std::unique_ptr<AudioFileReader> reader, AtEnd atEnd = AtEnd::silence);
    /// The given samples (channel 0) at `sampleRate`, one channel.
    void playSamples(std::vector<float> samples, double sampleRate, AtEnd atEnd = AtEnd::silence);
    void playSilence(CaptureFormat format = {48000, 1});
    /// No input at all: the tap format is unknown, there is no source and start fails.
    void noDevice();
    /// The format the following buffers carry (channel c carries what is played divided by
    /// c + 1); the pace stays that of what is played. A format with rate 0 or no channels is
    /// delivered as such.
    void setFormat(CaptureFormat format);

    // ---- Failures and changes on demand ----
    /// Each entry makes one installTap() (or start()) fail with that reason, in order.
    std::deque<std::string> tapFailures;
    std::deque<std::string> startFailures;
    /// Calls the change callbacks now.
    void announce(CaptureChange change);

    CaptureSource source{"fake.mic", "Fake microphone"};

    // ---- What happened ----
    int starts = 0; // successful starts
    int stops = 0;
    int resets = 0;
    std::int64_t buffersDelivered = 0;
    std::size_t watcherCount() const { return watchers_->size(); }

    // ---- CaptureEngine ----
    CaptureFormat tapFormat() override;
    std::optional<CaptureSource> currentSource() override;
    std::optional<std::string> installTap(Tap tap) override;
    void removeTap() override { tap_ = nullptr; }
    std::optional<std::string> start() override;
    void stop() override;
    void reset() override { ++resets; }
    bool isRunning() const override { return running_; }
    [[nodiscard]] Handle watchChanges(ChangeCallback callback) override;

private:
    // Fills `out` from frame `position` of what is played; returns the frames produced.
    using Producer = std::function<std::size_t(std::int64_t position, std::vector<float>& out)>;
    void play(Producer producer, double naturalRate, AtEnd atEnd);
    void scheduleNext();
    void deliver();

    Scheduler& scheduler_;
    Producer producer_;
    double naturalRate_ = 48000;
    AtEnd atEnd_ = AtEnd::silence;
    bool hasDevice_ = true;
    std::optional<CaptureFormat> format_; // set by setFormat()
    std::int64_t playPosition_ = 0;       // next frame of what is played
    bool exhausted_ = false;              // AtEnd::nothing and the end was reached

    Tap tap_;
    bool running_ = false;
    std::int64_t captured_ = 0; // frames delivered since start
    std::vector<float> channel0_, interleaved_;
    Handle next_;
    std::shared_ptr<std::map<int, ChangeCallback>> watchers_ =
        std::make_shared<std::map<int, ChangeCallback>>();
    int nextWatcher_ = 0;
};

} // namespace mirl
