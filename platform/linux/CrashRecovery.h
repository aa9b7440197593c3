#pragma once

#include "platform/Backlight.h"
#include "platform/SystemVolume.h"
#include "runtime/Console.h"

#include <filesystem>
#include <string>
#include <vector>

namespace mirl {

/// The outputs a recovery may write through; a missing one skips its part.
struct CrashRecoveryOutputs {
    Backlight* backlight = nullptr;
    SystemVolume* volume = nullptr;
};

/// Called by the application's start-up before any output changes: when a previous process
/// died while the screen or the volume were changed, puts back what still applies (original
/// gamma ramps on the same display, the backlight level, the user's night-light values, the
/// baseline volume) and deletes the restore state file. Returns the parts put back.
std::vector<std::string> recoverAfterCrash(const std::filesystem::path& file, CrashRecoveryOutputs outputs,
                                           Console& console);

} // namespace mirl
