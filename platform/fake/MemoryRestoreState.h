#pragma once

#include "platform/RestoreState.h"

#include <map>
#include <string>

namespace mirl {

/// The restore state in memory; parts readable by tests. With `failing`, nothing can be
/// recorded (a full disk).
class MemoryRestoreState final : public RestoreState {
public:
    bool remember(std::string_view part, const nlohmann::json& value) override {
        if (failing)
            return false;
        parts[std::string(part)] = value;
        return true;
    }
    void forget(std::string_view part) override { parts.erase(std::string(part)); }
    bool holds(std::string_view part) const { return parts.count(std::string(part)) > 0; }

    std::map<std::string, nlohmann::json> parts;
    bool failing = false;
};

} // namespace mirl
