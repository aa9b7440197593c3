#include "platform/linux/NightLightBackends.h"

#include "platform/RampNightLight.h"
#include "platform/linux/GnomeNightLight.h"
#include "platform/linux/KWinNightLight.h"

namespace mirl {

std::unique_ptr<NightLight> chooseNightLight(GammaRamps* ramps, Scheduler& scheduler,
                                             RestoreState& restoreState, Console& console) {
    if (GnomeNightLight::desktopAnswers())
        if (auto gnome = GnomeNightLight::open(restoreState, console))
            return gnome;
    if (auto kwin = KWinNightLight::open(scheduler))
        return kwin;
    if (ramps)
        return std::make_unique<RampNightLight>(*ramps);
    return nullptr;
}

} // namespace mirl
