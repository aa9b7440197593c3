#include "app/shell/MirlServices.h"

#include "core/settings/SettingsKeys.h"
#include "detect/classifier/FeatureSoundClassifier.h"
#include "platform/linux/RestoreStateFile.h"
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
    bool remember(std::string_view part, const nlohmann::json& value) override {
        parts_[std::string(part)] = value;
        return true;
    }
    void forget(std::string_view part) override { parts_.erase(std::string(part)); }

private:
    std::map<std::string, nlohmann::json> parts_;
};

/// The launch's housekeeping, before any output exists: old sessions pruned, and the restore
/// state opened (what it holds from a process that died mid-fade is put back once the outputs
/// exist, before any of them changes). A part that cannot be recorded is said in the session log.
std::unique_ptr<RestoreState> launch(const Settings& settings, SessionLogger& logger, Console& console) {
    const int rotationDays = settings.readInt(keys::detectorRotationDays, 60);
    if (rotationDays >= 1)
        logger.pruneOldFiles(rotationDays);
    const auto stateFile = RestoreStateFile::defaultFile();
    if (!stateFile)
        return std::make_unique<HeldRestoreState>();
    auto file = std::make_unique<RestoreStateFile>(*stateFile, console);
    file->onFailure = [&logger](std::string_view part, const std::string& why) {
        logger.log("restore_state_unwritable", {{"part", std::string(part)}, {"error", why}});
    };
    return file;
}

} // namespace

MirlServices::MirlServices(AlertPanel& alertPanel)
    : store(QSettingsStore::defaultFile().value_or("Mirl.conf"), &console),
      logger(clock, dataFolder(), xdg::osPrettyName()), audio(scheduler),
      restoreState(launch(settings, logger, console)),
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
                 [this] { engines.orchestrator.systemDidWake(); }, console) {
    // Nothing has changed yet: what a process that died mid-fade left changed goes back first
    // (the volume as soon as the sound server is there).
    if (auto* file = dynamic_cast<RestoreStateFile*>(restoreState.get())) {
        recovery = std::make_unique<CrashRecovery>(
            *file, CrashRecovery::Outputs{&screen.backlight, &engines.systemAudio}, console);
        recovery->recover();
    }
}

MirlServices::~MirlServices() = default;

} // namespace mirl
