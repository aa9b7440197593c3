#pragma once

#include <optional>
#include <string>

namespace mirl {

class Clock;
class SessionOrchestrator;
class Settings;

/// What `mirl status` reports: the timer and, while the detectors run, the sleep phase and the
/// breathing rate.
struct RemoteStatus {
    bool running = false;
    long long remainingSeconds = 0;
    std::string remainingText; // "29:59" while running
    std::string mode;          // "night" or "nap": the running timer's, else what a start now gives
    std::optional<std::string> phase;
    std::optional<double> breathRpm;
};

/// What `mirl status` says about `session` now; the mode of a timer not yet started is what a
/// start now would give.
RemoteStatus sessionStatus(SessionOrchestrator& session, const Settings& settings, const Clock& clock);

/// One JSON object on one line, with "running", "remaining_sec", "remaining_text", "mode",
/// "phase" and "breath_rpm" (null when unknown).
std::string statusJson(const RemoteStatus& status);

/// A few lines for people.
std::string statusText(const RemoteStatus& status);

} // namespace mirl
