#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace mirl::doctor {

/// One section of mirl-doctor's report: human-readable lines and the same facts as JSON.
struct Section {
    std::string title;
    std::vector<std::string> lines;
    nlohmann::json data = nlohmann::json::object();
};

// Each section lives in its own file beside this one and must never crash or hang: a missing
// facility is reported as such.
Section probesSection();
/// Sound server, default output and its volume, inputs, whether something plays.
Section audioSection();
Section screenSection();

} // namespace mirl::doctor
