#pragma once

#include "platform/AudioFileReader.h"
#include "platform/AudioPlayer.h"
#include "runtime/Scheduler.h"

#include <atomic>
#include <memory>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

namespace mirl {

/// AudioPlayer over libpulse: FFmpeg decodes (channel 0, the file's own rate) in the stream's
/// write callback on the main loop thread; gain is applied to the samples as they are written.
/// Each player has its own connection, so that a player never waits for another.
class PulseAudioPlayer final : public AudioPlayer {
public:
    /// Connects and opens a corked stream; error set and null on failure.
    static AudioPlayerFactory::Opened open(const std::filesystem::path& file, Scheduler& mainThread);
    ~PulseAudioPlayer() override;

    void play() override;
    void pause() override;
    void stop() override;
    bool isPlaying() const override { return playing_; }
    void setGain(float gain) override { gain_ = gain; }
    float gain() const override { return gain_; }
    void setLooping(bool looping) override { looping_ = looping; }
    void seek(double seconds) override;
    double currentTime() const override;
    double duration() const override { return duration_; }

    // The main loop's side; public only for the C callbacks.
    void onWritable(std::size_t bytes);
    void onDrained();

private:
    PulseAudioPlayer(Scheduler& mainThread, std::unique_ptr<AudioFileReader> reader);
    bool connect(std::string& error);
    double bufferedSeconds() const; // written but not yet heard, under the loop lock
    void restartFrom(std::int64_t frame);

    Scheduler& mainThread_;
    std::unique_ptr<AudioFileReader> reader_;
    double rate_ = 0;
    double duration_ = 0;
    std::int64_t endFrame_ = 0; // the container's length; 0 when unknown (read to the end)
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;

    std::atomic<float> gain_{1.0f};
    std::atomic<bool> looping_{false};
    std::atomic<bool> playing_{false};
    // Under the loop lock:
    std::int64_t readPosition_ = 0; // next frame to decode
    bool draining_ = false;
    bool primed_ = false;  // play() has been called once
    bool wrapped_ = false; // the loop has started again since the last seek
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

/// Opens PulseAudioPlayers.
class PulseAudioPlayerFactory final : public AudioPlayerFactory {
public:
    explicit PulseAudioPlayerFactory(Scheduler& mainThread) : mainThread_(mainThread) {}
    Opened open(const std::filesystem::path& file) override {
        return PulseAudioPlayer::open(file, mainThread_);
    }

private:
    Scheduler& mainThread_;
};

} // namespace mirl
