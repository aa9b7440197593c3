#pragma once

// The simulator's view of its fakes: each decorator forwards to a fake and records what Mirl
// asked of it, with the virtual time, in the recorder's channel named below.

#include "app/sim/SimRecorder.h"
#include "core/session/AlertPanel.h"
#include "platform/ActivityProbes.h"
#include "platform/AudioControl.h"
#include "platform/AudioPlayer.h"
#include "platform/Backlight.h"
#include "platform/GammaRamps.h"
#include "platform/NightLight.h"
#include "platform/OverlaySurfaces.h"
#include "platform/Power.h"

#include <functional>
#include <optional>

namespace mirl::sim {

/// "volume_writes": {"percent"} for every volume Mirl sets on the default output.
class StampedAudioControl final : public AudioControl {
public:
    StampedAudioControl(AudioControl& inner, SimRecorder& recorder) : inner_(inner), recorder_(recorder) {}

    std::optional<SoundServerInfo> serverInfo() override { return inner_.serverInfo(); }
    std::uint32_t defaultOutputDevice() override { return inner_.defaultOutputDevice(); }
    bool deviceHasVolume(std::uint32_t device) override { return inner_.deviceHasVolume(device); }
    std::optional<int> deviceVolume(std::uint32_t device) override { return inner_.deviceVolume(device); }
    bool setOutputVolume(int percent) override;
    Listening listenToVolume(std::uint32_t device, Listener listener) override {
        return inner_.listenToVolume(device, std::move(listener));
    }
    Handle listenToDefaultOutput(Listener listener) override {
        return inner_.listenToDefaultOutput(std::move(listener));
    }
    Handle listenToInputs(Listener listener) override { return inner_.listenToInputs(std::move(listener)); }
    std::vector<SoundDevice> inputDevices() override { return inner_.inputDevices(); }
    std::uint32_t defaultInputDevice() override { return inner_.defaultInputDevice(); }
    bool setDefaultInputDevice(std::uint32_t device) override { return inner_.setDefaultInputDevice(device); }
    bool isOutputPlaying() override { return inner_.isOutputPlaying(); }

private:
    AudioControl& inner_;
    SimRecorder& recorder_;
};

/// "backlight": {"level"} for every level written, with the "display" when one display is
/// written its own level.
class StampedBacklight final : public Backlight {
public:
    StampedBacklight(Backlight& inner, SimRecorder& recorder) : inner_(inner), recorder_(recorder) {}
    std::optional<float> readLevel() override { return inner_.readLevel(); }
    bool writeLevel(float level) override;
    std::vector<DisplayLevel> readLevels() override { return inner_.readLevels(); }
    std::vector<std::string> writeLevels(const std::vector<DisplayLevel>& levels) override;
    double levelStep() override { return inner_.levelStep(); }

private:
    Backlight& inner_;
    SimRecorder& recorder_;
};

/// "gamma": {"brightness"}, {"white_point": [r, g, b]} or {"restore": true} per call.
class StampedGammaRamps final : public GammaRamps {
public:
    StampedGammaRamps(GammaRamps& inner, SimRecorder& recorder) : inner_(inner), recorder_(recorder) {}
    std::string name() const override { return inner_.name(); }
    void setBrightness(double factor) override;
    void setWhitePoint(WhitePoint whitePoint) override;
    void restoreAll() override;

private:
    GammaRamps& inner_;
    SimRecorder& recorder_;
};

/// "night_light": {"call": "strength", "strength", "commit"}, {"call": "enable"|"disable"|
/// "commit"|"restore"} per call.
class StampedNightLight final : public NightLight {
public:
    StampedNightLight(NightLight& inner, SimRecorder& recorder) : inner_(inner), recorder_(recorder) {}
    std::string name() const override { return inner_.name(); }
    NightLightCapabilities capabilities() const override { return inner_.capabilities(); }
    void setStrength(float strength, bool commit) override;
    void setEnabled(bool enabled) override;
    void commitChanges() override;
    void restore() override;

private:
    NightLight& inner_;
    SimRecorder& recorder_;
};

/// "overlay": {"screen", "call": "create"|"hide"} and {"screen", "orange", "dark"} per call.
class StampedOverlaySurfaces final : public OverlaySurfaces {
public:
    StampedOverlaySurfaces(OverlaySurfaces& inner, SimRecorder& recorder)
        : inner_(inner), recorder_(recorder) {}
    std::vector<Frame> screens() override { return inner_.screens(); }
    bool translucencyAvailable() override { return inner_.translucencyAvailable(); }
    std::unique_ptr<OverlaySurface> create(std::size_t screenIndex, const Frame& frame) override;
    int windowLevel() const override { return inner_.windowLevel(); }
    Handle onScreensChanged(std::function<void()> changed) override {
        return inner_.onScreensChanged(std::move(changed));
    }

private:
    OverlaySurfaces& inner_;
    SimRecorder& recorder_;
};

/// "suspend": {} per request; then onSuspend runs (the simulated logind puts the machine to
/// sleep).
class StampedPower final : public Power {
public:
    StampedPower(Power& inner, SimRecorder& recorder) : inner_(inner), recorder_(recorder) {}
    std::optional<std::string> suspend() override;
    std::function<void()> onSuspend;

private:
    Power& inner_;
    SimRecorder& recorder_;
};

/// "wake_sound": {"call": "open", "file"}, {"call": "play"|"stop"|"pause"}, {"call": "gain",
/// "gain"}, {"call": "looping", "looping"} per player call.
class StampedPlayers final : public AudioPlayerFactory {
public:
    StampedPlayers(AudioPlayerFactory& inner, SimRecorder& recorder) : inner_(inner), recorder_(recorder) {}
    Opened open(const std::filesystem::path& file) override;

private:
    AudioPlayerFactory& inner_;
    SimRecorder& recorder_;
};

/// "alert": {"call": "open"|"close"} per call and {"call": "text", "text"} per change of text.
class StampedAlertPanel final : public AlertPanel {
public:
    StampedAlertPanel(AlertPanel& inner, SimRecorder& recorder) : inner_(inner), recorder_(recorder) {}
    void open() override;
    void setCountdownText(const std::string& text) override;
    void close() override;

private:
    AlertPanel& inner_;
    SimRecorder& recorder_;
    std::string lastText_;
};

/// Keyboard and mouse idleness on virtual time: the seconds since the last input, or unknown
/// (no idle facility); media playback and ambient light as the scenario sets them.
class SimProbes final : public ActivityProbes {
public:
    explicit SimProbes(const Clock& clock) : clock_(clock) {}
    std::optional<double> idleSeconds() override;
    bool isMediaPlaybackActive() override { return mediaPlaying; }
    std::optional<double> readAmbientLux() override { return lux; }

    /// The last keyboard or mouse input.
    TimePoint lastInput;
    /// False: no idle facility answers (the idle time is unknown).
    bool idleKnown = true;
    bool mediaPlaying = false;
    std::optional<double> lux;

private:
    const Clock& clock_;
};

} // namespace mirl::sim
