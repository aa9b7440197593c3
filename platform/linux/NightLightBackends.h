#pragma once

#include "platform/GammaRamps.h"
#include "platform/NightLight.h"
#include "platform/RestoreState.h"
#include "runtime/Console.h"
#include "runtime/Scheduler.h"

#include <memory>

namespace mirl {

/// The night-light backend for this desktop, tried in order: GNOME's own night light (when its
/// colour plugin answers), KWin's preview, then the warmth half of the gamma ramps. Nothing
/// when none applies.
std::unique_ptr<NightLight> chooseNightLight(GammaRamps* ramps, Scheduler& scheduler,
                                             RestoreState& restoreState, Console& console);

} // namespace mirl
