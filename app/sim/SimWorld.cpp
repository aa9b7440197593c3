#include "app/sim/SimWorld.h"

#include "detect/classifier/FeatureSoundClassifier.h"

namespace mirl::sim {

SimWorld::SimWorld(TimePoint startTime, const std::filesystem::path& dataFolder)
    : start(startTime), scheduler(startTime), recorder(scheduler, startTime, dataFolder / ".mirl-sim"),
      logger(scheduler, dataFolder, "mirl-sim") {
    probes.lastInput = startTime;
}

void SimWorld::launch() {
    if (engines_)
        return;
    engines_.emplace(
        SessionEngines::Platform{scheduler,
                                 scheduler,
                                 settings,
                                 logger,
                                 console,
                                 stampedAudio,
                                 probes,
                                 stampedPower,
                                 stampedPlayers,
                                 resources,
                                 stampedPanel,
                                 restoreState,
                                 overlay,
                                 brightness,
                                 nightShift,
                                 gamma,
                                 microphone,
                                 inputs,
                                 playback,
                                 queues,
                                 queues,
                                 queues,
                                 [](const std::filesystem::path& path, int sampleRate, int channels) {
                                     return createAacFile(path, sampleRate, channels);
                                 },
                                 std::make_unique<FeatureSoundClassifier>()});
}

void SimWorld::forgetFakeHistory() {
    backlight.writes.clear();
    ramps.brightnessWrites.clear();
    nightLight.calls.clear();
}

void SimWorld::terminate() {
    overlay.willTerminate();
    brightness.willTerminate();
    nightShift.willTerminate();
    gamma.willTerminate();
}

} // namespace mirl::sim
