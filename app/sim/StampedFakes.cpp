#include "app/sim/StampedFakes.h"

#include <algorithm>

namespace mirl::sim {

bool StampedAudioControl::setOutputVolume(int percent) {
    recorder_.add("volume_writes", {{"percent", percent}});
    return inner_.setOutputVolume(percent);
}

bool StampedBacklight::writeLevel(float level) {
    recorder_.add("backlight", {{"level", level}});
    return inner_.writeLevel(level);
}

std::vector<std::string> StampedBacklight::writeLevels(const std::vector<DisplayLevel>& levels) {
    for (const DisplayLevel& display : levels)
        recorder_.add("backlight", {{"level", display.level}, {"display", display.id}});
    return inner_.writeLevels(levels);
}

void StampedGammaRamps::setBrightness(double factor) {
    recorder_.add("gamma", {{"brightness", factor}});
    inner_.setBrightness(factor);
}

void StampedGammaRamps::setWhitePoint(WhitePoint wp) {
    recorder_.add("gamma", {{"white_point", {wp.red, wp.green, wp.blue}}});
    inner_.setWhitePoint(wp);
}

void StampedGammaRamps::restoreAll() {
    recorder_.add("gamma", {{"restore", true}});
    inner_.restoreAll();
}

void StampedNightLight::setStrength(float strength, bool commit) {
    recorder_.add("night_light", {{"call", "strength"}, {"strength", strength}, {"commit", commit}});
    inner_.setStrength(strength, commit);
}

void StampedNightLight::setEnabled(bool enabled) {
    recorder_.add("night_light", {{"call", enabled ? "enable" : "disable"}});
    inner_.setEnabled(enabled);
}

void StampedNightLight::commitChanges() {
    recorder_.add("night_light", {{"call", "commit"}});
    inner_.commitChanges();
}

void StampedNightLight::restore() {
    recorder_.add("night_light", {{"call", "restore"}});
    inner_.restore();
}

namespace {

class StampedSurface final : public OverlaySurface {
public:
    StampedSurface(std::unique_ptr<OverlaySurface> inner, std::size_t screen, SimRecorder& recorder)
        : inner_(std::move(inner)), screen_(screen), recorder_(recorder) {}
    Frame frame() const override { return inner_->frame(); }
    void setOpacities(float orange, float dark) override {
        recorder_.add("overlay", {{"screen", screen_}, {"orange", orange}, {"dark", dark}});
        inner_->setOpacities(orange, dark);
    }
    void hide() override {
        recorder_.add("overlay", {{"screen", screen_}, {"call", "hide"}});
        inner_->hide();
    }

private:
    std::unique_ptr<OverlaySurface> inner_;
    std::size_t screen_;
    SimRecorder& recorder_;
};

class StampedPlayer final : public AudioPlayer {
public:
    StampedPlayer(std::unique_ptr<AudioPlayer> inner, SimRecorder& recorder)
        : inner_(std::move(inner)), recorder_(recorder) {
        inner_->onFinished = [this] {
            recorder_.add("wake_sound", {{"call", "finished"}});
            if (auto notify = onFinished)
                notify();
        };
    }
    void play() override {
        record("play");
        inner_->play();
    }
    void pause() override {
        record("pause");
        inner_->pause();
    }
    void stop() override {
        record("stop");
        inner_->stop();
    }
    bool isPlaying() const override { return inner_->isPlaying(); }
    void setGain(float gain) override {
        recorder_.add("wake_sound", {{"call", "gain"}, {"gain", gain}});
        inner_->setGain(gain);
    }
    float gain() const override { return inner_->gain(); }
    void setLooping(bool looping) override {
        recorder_.add("wake_sound", {{"call", "looping"}, {"looping", looping}});
        inner_->setLooping(looping);
    }
    void seek(double seconds) override { inner_->seek(seconds); }
    double currentTime() const override { return inner_->currentTime(); }
    double duration() const override { return inner_->duration(); }

private:
    void record(const char* call) { recorder_.add("wake_sound", {{"call", call}}); }

    std::unique_ptr<AudioPlayer> inner_;
    SimRecorder& recorder_;
};

} // namespace

std::unique_ptr<OverlaySurface> StampedOverlaySurfaces::create(std::size_t screenIndex, const Frame& frame) {
    recorder_.add("overlay", {{"screen", screenIndex}, {"call", "create"}});
    return std::make_unique<StampedSurface>(inner_.create(screenIndex, frame), screenIndex, recorder_);
}

std::optional<std::string> StampedPower::suspend() {
    recorder_.add("suspend", nlohmann::json::object());
    auto failure = inner_.suspend();
    if (!failure && onSuspend)
        onSuspend();
    return failure;
}

AudioPlayerFactory::Opened StampedPlayers::open(const std::filesystem::path& file) {
    auto opened = inner_.open(file);
    recorder_.add("wake_sound",
                  {{"call", "open"}, {"file", file.filename().string()}, {"ok", opened.player != nullptr}});
    if (opened.player)
        opened.player = std::make_unique<StampedPlayer>(std::move(opened.player), recorder_);
    return opened;
}

void StampedAlertPanel::open() {
    lastText_.clear();
    recorder_.add("alert", {{"call", "open"}});
    inner_.open();
}

void StampedAlertPanel::setCountdownText(const std::string& text) {
    if (text != lastText_) // the label is refreshed twice a second; a change is what shows
        recorder_.add("alert", {{"call", "text"}, {"text", text}});
    lastText_ = text;
    inner_.setCountdownText(text);
}

void StampedAlertPanel::close() {
    recorder_.add("alert", {{"call", "close"}});
    inner_.close();
}

std::optional<double> SimProbes::idleSeconds() {
    if (!idleKnown)
        return std::nullopt;
    return std::max(0.0, secondsBetween(lastInput, clock_.now()));
}

} // namespace mirl::sim
