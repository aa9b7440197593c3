#pragma once

#include "app/sim/Scenario.h"
#include "app/sim/SimWorld.h"

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace mirl::sim {

/// Runs a scenario through a SimWorld on virtual time: the settings and the fakes' initial
/// state go in before the launch, each step runs at its second (after every timer due by then),
/// and the run ends at "until" or at a "quit" step. While the simulated computer sleeps (a
/// suspend request or a "system_sleep" step) nothing runs until "system_wake": timers then fall
/// due as late as the sleep lasted, as monotonic timers do. The process's TZ is the scenario's
/// zone while the runner lives.
/// Thread rule: one thread.
class ScenarioRunner {
public:
    ScenarioRunner(Scenario scenario, std::filesystem::path dataFolder);
    ~ScenarioRunner();
    ScenarioRunner(const ScenarioRunner&) = delete;
    ScenarioRunner& operator=(const ScenarioRunner&) = delete;

    /// Runs to the end; then writes dataFolder/state.json.
    void run();
    /// Runs the steps up to `seconds` and advances the clock there (tests look in between).
    void runUntil(double seconds);
    /// Notes for the user (steps that could not apply), one line each.
    const std::vector<std::string>& warnings() const { return warnings_; }

    SimWorld& world() { return *world_; }
    bool asleep() const { return asleep_; }
    /// How the run ended: "until" or "quit" (empty while running).
    const std::string& endedBy() const { return endedBy_; }
    std::filesystem::path statePath() const { return dataFolder_ / "state.json"; }

private:
    void prepare();
    void restoreZone();
    void advanceTo(double seconds);
    void apply(const ScenarioStep& step);
    void fallAsleep();
    void warn(const ScenarioStep& step, const std::string& text);
    void writeState();

    Scenario scenario_;
    std::size_t nextStep_ = 0;
    std::filesystem::path dataFolder_;
    std::string previousTz_;
    bool hadTz_ = false;
    std::unique_ptr<SimWorld> world_;
    bool asleep_ = false;
    std::string endedBy_;
    std::vector<std::string> warnings_;
};

/// A scenario that cannot run as written (its microphone file cannot be read).
struct ScenarioError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// The start of a scenario as a time point: a local date-time is read in the process's current
/// zone (TZ), one with "Z" or an offset as that instant.
TimePoint scenarioStartTime(const std::string& dateTime);

} // namespace mirl::sim
