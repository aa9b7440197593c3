#include "detect/SleepPhase.h"

namespace mirl {

std::string_view rawValue(SleepPhase phase) {
    switch (phase) {
    case SleepPhase::awake:
        return "awake";
    case SleepPhase::calming:
        return "calming";
    case SleepPhase::asleep:
        return "asleep";
    case SleepPhase::deepAsleep:
        return "deep_asleep";
    }
    return "awake";
}

std::optional<SleepPhase> sleepPhaseFromRaw(std::string_view raw) {
    for (auto p : {SleepPhase::awake, SleepPhase::calming, SleepPhase::asleep, SleepPhase::deepAsleep})
        if (rawValue(p) == raw)
            return p;
    return std::nullopt;
}

} // namespace mirl
