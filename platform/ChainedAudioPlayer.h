#pragma once

#include "platform/AudioPlayer.h"

#include <vector>

namespace mirl {

/// Several files played as one, end to end (a recording split into parts): one player per
/// file, the next one started when the previous one finishes. Times run over the whole chain.
/// Thread rule: main thread, like the players it chains.
class ChainedAudioPlayer final : public AudioPlayer {
public:
    /// Opens every file through `factory`. Fails when the first file does not open; a later
    /// file that does not open is left out. A single file gives its own player.
    static AudioPlayerFactory::Opened open(const std::vector<std::filesystem::path>& files,
                                           AudioPlayerFactory& factory);

    explicit ChainedAudioPlayer(std::vector<std::unique_ptr<AudioPlayer>> parts);

    void play() override;
    void pause() override;
    void stop() override;
    bool isPlaying() const override { return playing_; }
    void setGain(float gain) override;
    float gain() const override { return parts_.front()->gain(); }
    void setLooping(bool looping) override { looping_ = looping; }
    void seek(double seconds) override;
    double currentTime() const override;
    double duration() const override;

private:
    void partFinished(std::size_t index);
    void switchTo(std::size_t index, double seconds);

    std::vector<std::unique_ptr<AudioPlayer>> parts_;
    std::vector<double> starts_; // seconds at which each part begins
    std::size_t current_ = 0;
    bool playing_ = false;
    bool looping_ = false;
};

} // namespace mirl
