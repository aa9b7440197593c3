#pragma once

#include "platform/Backlight.h"
#include "platform/SystemVolume.h"
#include "platform/linux/RestoreStateFile.h"
#include "runtime/Console.h"
#include "runtime/Handle.h"

#include <string>
#include <vector>

namespace mirl {

/// Puts back what a previous process left changed when it died mid-fade (original gamma ramps
/// on the same display, the backlight levels, the user's night-light values, the baseline
/// volume), as recorded in the restore state file.
///
/// A part is put back, or dropped when it no longer applies or holds values Mirl would never
/// have recorded (a volume outside 0..100, a ramp that is not a ramp); a part whose facility is
/// not there (no sound server, no display, a backlight that refuses) stays in the file, and the
/// volume is put back as soon as the sound server returns. Every outcome has a console line.
/// Thread rule: main thread.
class CrashRecovery {
public:
    /// The outputs a recovery may write through; a missing one keeps its part for later.
    struct Outputs {
        Backlight* backlight = nullptr;
        SystemVolume* volume = nullptr;
    };

    CrashRecovery(RestoreStateFile& state, Outputs outputs, Console& console);
    CrashRecovery(const CrashRecovery&) = delete;
    CrashRecovery& operator=(const CrashRecovery&) = delete;

    /// Run at launch, before anything changes. Returns the parts put back.
    std::vector<std::string> recover();
    /// True while a part is kept for later.
    bool pending(std::string_view part) const { return pending_.contains(std::string(part)); }

private:
    Recovery tryPart(const std::string& name, nlohmann::json& part);
    /// Tries a kept part again and settles it when it is put back (or no longer applies).
    Recovery retry(const std::string& name);

    RestoreStateFile& state_;
    Outputs outputs_;
    Console& console_;
    nlohmann::json pending_ = nlohmann::json::object();
    Handle soundServerWatch_;
};

/// The volume of a volume part: an integer percent 0..100, else nothing.
std::optional<int> recordedVolume(const nlohmann::json& part);
/// The levels of a backlight part, each display under its own identifier (a part written before
/// displays were told apart holds one level for all: its identifier is empty). Nothing when a
/// value is not a level 0..1.
std::optional<std::vector<DisplayLevel>> recordedBacklight(const nlohmann::json& part);

} // namespace mirl
