#include "platform/ChainedAudioPlayer.h"

#include <algorithm>

namespace mirl {

AudioPlayerFactory::Opened ChainedAudioPlayer::open(const std::vector<std::filesystem::path>& files,
                                                    AudioPlayerFactory& factory) {
    if (files.empty())
        return {nullptr, "no file to play"};
    std::vector<std::unique_ptr<AudioPlayer>> players;
    for (const auto& file : files) {
        auto opened = factory.open(file);
        if (!opened.player) {
            if (players.empty())
                return opened;
            continue;
        }
        players.push_back(std::move(opened.player));
    }
    if (players.size() == 1)
        return {std::move(players.front()), {}};
    return {std::make_unique<ChainedAudioPlayer>(std::move(players)), {}};
}

ChainedAudioPlayer::ChainedAudioPlayer(std::vector<std::unique_ptr<AudioPlayer>> parts)
    : parts_(std::move(parts)) {
    double start = 0;
    for (std::size_t i = 0; i < parts_.size(); ++i) {
        starts_.push_back(start);
        start += std::max(0.0, parts_[i]->duration());
        parts_[i]->onFinished = [this, i] { partFinished(i); };
    }
}

void ChainedAudioPlayer::play() {
    playing_ = true;
    parts_[current_]->play();
}

void ChainedAudioPlayer::pause() {
    playing_ = false;
    parts_[current_]->pause();
}

void ChainedAudioPlayer::stop() {
    playing_ = false;
    parts_[current_]->stop();
    current_ = 0;
    parts_[0]->seek(0);
}

void ChainedAudioPlayer::setGain(float gain) {
    for (auto& part : parts_)
        part->setGain(gain);
}

double ChainedAudioPlayer::duration() const {
    return starts_.back() + std::max(0.0, parts_.back()->duration());
}

double ChainedAudioPlayer::currentTime() const {
    return starts_[current_] + parts_[current_]->currentTime();
}

void ChainedAudioPlayer::seek(double seconds) {
    // The part that holds the time; past the end, the end of the last part.
    std::size_t index = 0;
    while (index + 1 < parts_.size() && seconds >= starts_[index + 1])
        ++index;
    switchTo(index, std::max(0.0, seconds - starts_[index]));
}

void ChainedAudioPlayer::switchTo(std::size_t index, double seconds) {
    if (index != current_) {
        parts_[current_]->pause();
        current_ = index;
    }
    parts_[current_]->seek(seconds);
    if (playing_)
        parts_[current_]->play();
}

void ChainedAudioPlayer::partFinished(std::size_t index) {
    if (index != current_ || !playing_)
        return;
    if (index + 1 < parts_.size()) {
        switchTo(index + 1, 0);
        return;
    }
    if (looping_) {
        switchTo(0, 0);
        return;
    }
    playing_ = false;
    if (auto notify = onFinished)
        notify();
}

} // namespace mirl
