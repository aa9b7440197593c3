#include "ui/shell/RemoteStatus.h"

#include "core/session/SessionOrchestrator.h"
#include "core/settings/SettingsKeys.h"
#include "ui/control/ControlTexts.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

namespace mirl {

RemoteStatus sessionStatus(SessionOrchestrator& session, const Settings& settings, const Clock& clock) {
    const SleepTimerModel& timer = session.timer();
    RemoteStatus status;
    status.running = timer.isRunning();
    if (status.running) {
        status.remainingSeconds = static_cast<long long>(std::ceil(timer.remaining()));
        status.remainingText = timer.shortRemainingText();
        status.mode = std::string(rawValue(timer.mode()));
    } else {
        const MirlMode choice = parseMirlMode(settings.readString(keys::modeTimerMode, "auto"));
        status.mode = std::string(rawValue(timer.resolveMode(clock.now(), choice)));
    }
    if (session.detectorRunning.get()) {
        const SleepDetector& detector = session.detector();
        status.phase = std::string(rawValue(detector.phase.get()));
        if (detector.breathHasReading.get())
            status.breathRpm = detector.breathRpm.get();
    }
    return status;
}

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
