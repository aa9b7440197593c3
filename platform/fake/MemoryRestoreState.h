#pragma once

#include "platform/RestoreState.h"

#include <map>
#include <string>

namespace mirl {

/// The restore state in memory; parts readable by tests.
class MemoryRestoreState final : public RestoreState {
public:
    void remember(std::string_view part, const nlohmann::json& value) override {
        parts[std::string(part)] = value;
    }
    void forget(std::string_view part) override { parts.erase(std::string(part)); }
    bool holds(std::string_view part) const { return parts.count(std::string(part)) > 0; }

    std::map<std::string, nlohmann::json> parts;
};

} // namespace mirl
