#include "platform/linux/CrashRecovery.h"

#include "platform/linux/GnomeNightLight.h"
#include "platform/linux/RestoreStateFile.h"
#include "platform/linux/X11GammaRamps.h"

namespace mirl {

std::vector<std::string> recoverAfterCrash(const std::filesystem::path& file, CrashRecoveryOutputs outputs,
                                           Console& console) {
    std::map<std::string, PartRestorer, std::less<>> restorers;
    restorers.emplace(restore_parts::gamma,
                      [](const nlohmann::json& part) { return X11GammaRamps::restoreSnapshot(part); });
    restorers.emplace(restore_parts::nightLight, [](const nlohmann::json& part) {
        return part.value("backend", std::string()) == "gnome" && GnomeNightLight::restoreSnapshot(part);
    });
    if (outputs.backlight) {
        restorers.emplace(restore_parts::backlight, [&](const nlohmann::json& part) {
            return outputs.backlight->writeLevel(part.at("level").get<float>());
        });
    }
    if (outputs.volume) {
        restorers.emplace(restore_parts::volume, [&](const nlohmann::json& part) {
            outputs.volume->setVolume(part.at("percent").get<int>(), "baseline_restore");
            return true;
        });
    }
    return recoverLeftovers(file, restorers, console);
}

} // namespace mirl
