#pragma once

#include "platform/SettingsStore.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace mirl::sim {

/// One step of a scenario: at `at` seconds from the start, do `action` with its fields.
struct ScenarioStep {
    std::size_t number = 0; ///< 1-based position in the file, for messages
    double at = 0;
    std::string action;
    nlohmann::json fields = nlohmann::json::object(); ///< the step without "at" and "do"
};

/// A whole simulated night, as docs/simulator.md describes the file.
struct Scenario {
    std::string start = "2026-12-05T22:00:00"; ///< local date-time the clock starts at
    std::string timezone = "UTC";              ///< IANA name
    std::vector<std::pair<std::string, SettingValue>> settings;
    int volume = 50;           ///< percent
    double brightness = 0.8;   ///< 0..1
    std::optional<double> lux; ///< nothing: no light sensor
    bool mediaPlaying = false;
    std::optional<double> idleSeconds = 0.0; ///< nothing: no idle facility answers
    /// An audio file fed to the microphone; nothing: silence; "none": no input device.
    std::optional<std::string> microphone;
    std::vector<ScenarioStep> steps; ///< in time order (equal times in file order)
    double until = 0;
};

/// The latest end a scenario may give (a week).
inline constexpr double kMaxUntilSeconds = 7 * 24 * 3600;

/// The fields of a scenario's "start": a local date-time, or an instant when it ends in "Z" or
/// an offset such as "+01:00" (fractions of a second are read and dropped).
struct ScenarioDateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::optional<int> utcOffsetSeconds;
};
std::optional<ScenarioDateTime> parseScenarioDateTime(const std::string& text);

struct ParsedScenario {
    std::optional<Scenario> scenario;
    std::string error; ///< one line naming the step or key at fault, when scenario is empty
};

/// Parses and checks a scenario. Relative microphone paths are taken from baseFolder.
ParsedScenario parseScenario(std::string_view text, const std::filesystem::path& baseFolder = {});

/// The actions a step may name, in the documented order.
const std::vector<std::string>& scenarioActions();

} // namespace mirl::sim
