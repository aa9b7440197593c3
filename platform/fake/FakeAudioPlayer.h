#pragma once

#include "platform/AudioPlayer.h"
#include "platform/Resources.h"

#include <algorithm>
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
    double position = 0;      // seconds, moved by seek() (a fake does not advance by itself)
    double duration = 10;
    std::vector<double> seeks; // every seek, in order
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
    void seek(double seconds) override {
        log_->position = std::clamp(seconds, 0.0, log_->duration);
        log_->seeks.push_back(seconds);
    }
    double currentTime() const override { return log_->position; }
    double duration() const override { return log_->duration; }

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
        if (failing.count(file) != 0) {
            return {nullptr, "cannot open " + file.string()};
        }
        auto log = std::make_shared<FakePlayerLog>();
        log->file = file;
        if (auto it = durations.find(file); it != durations.end()) {
            log->duration = it->second;
        }
        logs.push_back(log);
        auto player = std::make_unique<FakeAudioPlayer>(log);
        last = player.get();
        opened.push_back(player.get());
        return {std::move(player), {}};
    }

    std::string failWith;                              // non-empty: open fails with this description
    std::set<std::filesystem::path> failing;           // these files fail to open
    std::map<std::filesystem::path, double> durations; // other than 10 s
    std::vector<std::shared_ptr<FakePlayerLog>> logs;
    FakeAudioPlayer* last = nullptr;      // valid while logs.back() is not destroyed
    std::vector<FakeAudioPlayer*> opened; // each valid while its log is not destroyed
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
