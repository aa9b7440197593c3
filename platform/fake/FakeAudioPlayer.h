#pragma once

#include "platform/AudioPlayer.h"
#include "platform/Resources.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace mirl {

/// What a fake player went through; outlives the player so that tests can look afterwards.
struct FakePlayerLog {
    std::filesystem::path file;
    bool playing = false;
    bool looping = false;
    float gain = 1.0f;
    int plays = 0;
    int stops = 0;
    bool destroyed = false;
    std::vector<float> gains; // every gain set, in order
};

class FakeAudioPlayer final : public AudioPlayer {
public:
    explicit FakeAudioPlayer(std::shared_ptr<FakePlayerLog> log) : log_(std::move(log)) {}
    ~FakeAudioPlayer() override { log_->destroyed = true; }

    void play() override {
        log_->playing = true;
        ++log_->plays;
    }
    void pause() override { log_->playing = false; }
    void stop() override {
        log_->playing = false;
        ++log_->stops;
    }
    bool isPlaying() const override { return log_->playing; }
    void setGain(float gain) override {
        log_->gain = gain;
        log_->gains.push_back(gain);
    }
    float gain() const override { return log_->gain; }
    void setLooping(bool looping) override { log_->looping = looping; }
    void seek(double) override {}
    double currentTime() const override { return 0; }
    double duration() const override { return 10; }

    /// The end of the file, as a real player reports it.
    void finish() {
        log_->playing = false;
        if (auto notify = onFinished) {
            notify();
        }
    }

private:
    std::shared_ptr<FakePlayerLog> log_;
};

class FakeAudioPlayerFactory final : public AudioPlayerFactory {
public:
    Opened open(const std::filesystem::path& file) override {
        if (!failWith.empty()) {
            return {nullptr, failWith};
        }
        auto log = std::make_shared<FakePlayerLog>();
        log->file = file;
        logs.push_back(log);
        auto player = std::make_unique<FakeAudioPlayer>(log);
        last = player.get();
        return {std::move(player), {}};
    }

    std::string failWith; // non-empty: open fails with this description
    std::vector<std::shared_ptr<FakePlayerLog>> logs;
    FakeAudioPlayer* last = nullptr; // valid while logs.back() is not destroyed
};

/// Sounds "installed" under a made-up folder.
class FakeResources final : public Resources {
public:
    std::optional<std::filesystem::path> sound(std::string_view name, std::string_view extension) override {
        const std::string file = std::string(name) + "." + std::string(extension);
        if (installed.count(file) == 0) {
            return std::nullopt;
        }
        return std::filesystem::path("/sounds") / file;
    }
    std::set<std::string> installed{"Birds.m4a", "Sea.m4a", "River.m4a", "Bong.m4a", "Purr.m4a"};
};

} // namespace mirl
