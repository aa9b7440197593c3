#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace mirl {

/// Plays one audio file (its first channel) on the default output.
/// Thread rule: main thread; onFinished runs on the main thread.
class AudioPlayer {
public:
    virtual ~AudioPlayer() = default;

    virtual void play() = 0;
    virtual void pause() = 0;
    /// Stops and goes back to the start.
    virtual void stop() = 0;
    virtual bool isPlaying() const = 0;

    /// Linear gain, 0 = silent, 1 = as recorded.
    virtual void setGain(float gain) = 0;
    virtual float gain() const = 0;
    /// Starts again at the end instead of finishing.
    virtual void setLooping(bool looping) = 0;

    virtual void seek(double seconds) = 0;
    /// Where playback is in the file, in seconds.
    virtual double currentTime() const = 0;
    virtual double duration() const = 0;

    /// Called when playback reaches the end of the file without looping.
    std::function<void()> onFinished;
};

/// Opens players. open() may run on a worker thread (it waits for the file and the sound
/// server); the player it returns is used on the main thread from then on.
class AudioPlayerFactory {
public:
    struct Opened {
        std::unique_ptr<AudioPlayer> player; // null on failure
        std::string error;                   // the failure's description
    };
    virtual ~AudioPlayerFactory() = default;
    virtual Opened open(const std::filesystem::path& file) = 0;
};

} // namespace mirl
