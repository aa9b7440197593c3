#include "app/shell/MirlServices.h"

#include "core/settings/SettingsKeys.h"
#include "detect/classifier/FeatureSoundClassifier.h"
#include "fade/SystemAudio.h"
#include "fade/SystemVolumeMonitor.h"
#include "platform/linux/CrashRecovery.h"
#include "platform/linux/RestoreStateFile.h"
#include "platform/linux/SysfsBacklight.h"
#include "platform/linux/XdgPaths.h"

#include <map>

namespace mirl {

namespace {

std::optional<std::filesystem::path> dataFolder() {
    auto home = xdg::dataHome();
    return home ? std::optional(*home / "Mirl") : std::nullopt;
}

/// The restore state in memory, when there is no home to keep a file in.
class HeldRestoreState final : public RestoreState {
public:
    void remember(std::string_view part, const nlohmann::json& value) override {
        parts_[std::string(part)] = value;
    }
    void forget(std::string_view part) override { parts_.erase(std::string(part)); }

private:
    std::map<std::string, nlohmann::json> parts_;
};

/// The launch's housekeeping, before any output changes: old sessions pruned, and what a
/// process that died mid-fade left changed put back. Returns the restore state to keep.
std::unique_ptr<RestoreState> launch(const Settings& settings, SessionLogger& logger, AudioControl& audio,
                                     Scheduler& scheduler, Console& console) {
    const int rotationDays = settings.readInt(keys::detectorRotationDays, 60);
    if (rotationDays >= 1)
        logger.pruneOldFiles(rotationDays);
    const auto stateFile = RestoreStateFile::defaultFile();
    if (!stateFile)
        return std::make_unique<HeldRestoreState>();
    SystemVolumeMonitor monitor(audio, logger);
    SystemAudio volume(audio, monitor, scheduler, logger);
    SysfsBacklight panel;
    recoverAfterCrash(*stateFile, {&panel, &volume}, console);
    return std::make_unique<RestoreStateFile>(*stateFile, console);
}

} // namespace

MirlServices::MirlServices(AlertPanel& alertPanel)
    : store(QSettingsStore::defaultFile().value_or("Mirl.conf")),
      logger(clock, dataFolder(), xdg::osPrettyName()), audio(scheduler),
      restoreState(launch(settings, logger, audio, scheduler, console)),
      screen(settings, logger, console, scheduler, *restoreState),
      engines({clock,
               scheduler,
               settings,
               logger,
               console,
               audio,
               probes,
               power,
               players,
               resources,
               alertPanel,
               *restoreState,
               screen.overlay,
               screen.brightness,
               screen.nightShift,
               screen.gamma,
               microphone,
               inputs,
               audio,
               analysisQueue,
               bandQueue,
               recorderQueue,
               aacFileFactory(CaptureRecorder::bitRate, AacCoder::fast),
               std::make_unique<FeatureSoundClassifier>()}),
      sleepWatch([this] { engines.orchestrator.systemWillSleep(); },
                 [this] { engines.orchestrator.systemDidWake(); }, console) {}

MirlServices::~MirlServices() = default;

} // namespace mirl
