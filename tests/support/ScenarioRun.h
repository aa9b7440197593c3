#pragma once

#include "app/sim/ScenarioRunner.h"
#include "tests/support/TestPaths.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace mirl::test {

/// One scenario through the simulator's runner, in a private data folder: run it (or part of
/// it), then read the session logs and the state it left.
class ScenarioRun {
public:
    /// The scenario as JSON text; a scenario that does not parse fails the test.
    explicit ScenarioRun(std::string_view scenarioJson);

    sim::ScenarioRunner& runner() { return *runner_; }
    sim::SimWorld& world() { return runner_->world(); }
    /// Runs to the end and reads state.json.
    void finish();

    /// state.json (after finish()).
    const nlohmann::json& state() const { return state_; }
    /// The entries of one records channel (after finish()); empty when nothing was recorded.
    nlohmann::json records(std::string_view channel) const;
    /// The session logs, oldest first, each as its records.
    std::vector<std::vector<nlohmann::json>> logs() const;
    /// The one session log's records (fails the test when there is not exactly one).
    std::vector<nlohmann::json> onlyLog() const;
    const std::filesystem::path& folder() const { return dir_.path(); }

private:
    TempDir dir_;
    std::unique_ptr<sim::ScenarioRunner> runner_;
    nlohmann::json state_;
};

} // namespace mirl::test
