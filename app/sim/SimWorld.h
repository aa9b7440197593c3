#pragma once

#include "app/sim/SimRecorder.h"
#include "app/sim/StampedFakes.h"
#include "core/session/FakeAlertPanel.h"
#include "core/session/SessionEngines.h"
#include "platform/fake/FakeAudioControl.h"
#include "platform/fake/FakeAudioPlayer.h"
#include "platform/fake/FakeBacklight.h"
#include "platform/fake/FakeCaptureEngine.h"
#include "platform/fake/FakeGammaRamps.h"
#include "platform/fake/FakeInputDevices.h"
#include "platform/fake/FakeNightLight.h"
#include "platform/fake/FakeOutputPlaybackProbe.h"
#include "platform/fake/FakeOverlaySurfaces.h"
#include "platform/fake/FakePower.h"
#include "platform/fake/MemoryRestoreState.h"
#include "platform/fake/MemorySettingsStore.h"
#include "runtime/VirtualScheduler.h"

#include <filesystem>
#include <optional>

namespace mirl::sim {

/// Records console lines in the "console" channel and keeps them.
class SimConsole final : public Console {
public:
    explicit SimConsole(SimRecorder& recorder) : recorder_(recorder) {}
    void line(std::string_view text) override {
        lines.emplace_back(text);
        recorder_.add("console", {{"line", std::string(text)}});
    }
    std::vector<std::string> lines;

private:
    SimRecorder& recorder_;
};

/// The real session engines on virtual time over fake platform pieces: volume, backlight,
/// gamma, night light, overlay, idle seconds, media, light sensor, suspend, wake-sound player,
/// alert panel and microphone (silence unless told otherwise; recordings are real files). Session logs go to
/// dataFolder/sessions. What Mirl does to the fakes is recorded with virtual times (see StampedFakes.h).
/// mirl-sim and the scenario tests drive it: set the settings and the fakes, launch(), then advance the
/// scheduler. Thread rule: the thread that advances the scheduler.
class SimWorld {
public:
    SimWorld(TimePoint start, const std::filesystem::path& dataFolder);
    SimWorld(const SimWorld&) = delete;
    SimWorld& operator=(const SimWorld&) = delete;

    const TimePoint start;
    VirtualScheduler scheduler;
    SimRecorder recorder;
    SimConsole console{recorder};
    MemorySettingsStore store;
    Settings settings{store};
    SessionLogger logger;
    MemoryRestoreState restoreState;

    // The fakes, whose state tests and the scenario steps change and read.
    FakeAudioControl audio;
    SimProbes probes{scheduler};
    FakeBacklight backlight;
    FakeGammaRamps ramps;
    FakeNightLight nightLight;
    FakeOverlaySurfaces surfaces;
    FakePower power;
    FakeAudioPlayerFactory players;
    FakeResources resources;
    FakeAlertPanel panel;
    FakeCaptureEngine microphone{scheduler};
    FakeInputDevices inputs;
    FakeOutputPlaybackProbe playback;
    InlineExecutor queues; // the detector's three serial queues, run inline: deterministic

    // What Mirl sees of them.
    StampedAudioControl stampedAudio{audio, recorder};
    StampedBacklight stampedBacklight{backlight, recorder};
    StampedGammaRamps stampedRamps{ramps, recorder};
    StampedNightLight stampedNightLight{nightLight, recorder};
    StampedOverlaySurfaces stampedSurfaces{surfaces, recorder};
    StampedPower stampedPower{power, recorder};
    StampedPlayers stampedPlayers{players, recorder};
    StampedAlertPanel stampedPanel{panel, recorder};

    // The screen outputs and the session engines.
    BrightnessController brightness{stampedBacklight, settings, logger, restoreState};
    GammaController gamma{&stampedRamps};
    NightShiftController nightShift{&stampedNightLight, console};
    ScreenOverlayController overlay{stampedSurfaces, settings, console, nightShift, brightness, gamma};

    /// Builds the session engines, as the application does at launch: settings and the fakes'
    /// initial state must be in place before.
    void launch();
    bool launched() const { return engines_.has_value(); }
    SessionEngines& engines() { return *engines_; }
    SessionOrchestrator& orchestrator() { return engines_->orchestrator; }

    /// The application's termination hooks: windows hidden, backlight, night light and gamma
    /// put back.
    void terminate();
    /// Drops the call lists the fakes keep in memory (the recorder has them on disk), so that
    /// a long night does not pile them up.
    void forgetFakeHistory();
    /// Virtual seconds since the start.
    double elapsed() const { return recorder.elapsed(); }

private:
    std::optional<SessionEngines> engines_;
};

} // namespace mirl::sim
