#include "ui/shell/RemoteStatus.h"

#include "ui/control/ControlTexts.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

namespace mirl {

std::string statusJson(const RemoteStatus& status) {
    nlohmann::ordered_json json;
    json["running"] = status.running;
    json["remaining_sec"] = status.remainingSeconds;
    json["remaining_text"] = status.remainingText;
    json["mode"] = status.mode;
    json["phase"] = status.phase ? nlohmann::ordered_json(*status.phase) : nlohmann::ordered_json();
    json["breath_rpm"] = status.breathRpm ? nlohmann::ordered_json(std::round(*status.breathRpm * 10) / 10)
                                          : nlohmann::ordered_json();
    return json.dump();
}

std::string statusText(const RemoteStatus& status) {
    const std::string mode = status.mode == "nap" ? "Nap" : "Night";
    if (!status.running)
        return "No timer is running (a timer started now would be a " + mode + ").\n";
    std::string text = status.remainingText + " left (" + mode + ")\n";
    if (status.phase) {
        std::string phase = *status.phase;
        std::replace(phase.begin(), phase.end(), '_', ' ');
        text += "Sleep phase: " + phase + "\n";
    }
    if (status.breathRpm)
        text += "Breathing: " + controltext::breathRate(*status.breathRpm) + " (" +
                controltext::breathWord(*status.breathRpm) + ")\n";
    return text;
}

} // namespace mirl
