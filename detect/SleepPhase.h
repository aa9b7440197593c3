#pragma once

#include <optional>
#include <string_view>

namespace mirl {

/// How deep the user sleeps, in order of depth (level 0 to 3).
enum class SleepPhase { awake, calming, asleep, deepAsleep };

/// "awake", "calming", "asleep", "deep_asleep": the texts of the log and the telemetry.
std::string_view rawValue(SleepPhase phase);
/// The phase of a raw value; nothing for any other text.
std::optional<SleepPhase> sleepPhaseFromRaw(std::string_view raw);
inline int level(SleepPhase phase) {
    return static_cast<int>(phase);
}

} // namespace mirl
