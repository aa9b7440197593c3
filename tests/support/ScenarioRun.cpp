#include "tests/support/ScenarioRun.h"

#include "tests/support/SessionLogLines.h"

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>

namespace mirl::test {

ScenarioRun::ScenarioRun(std::string_view scenarioJson) {
    auto parsed = sim::parseScenario(scenarioJson);
    if (!parsed.scenario)
        throw std::invalid_argument("scenario does not parse: " + parsed.error);
    runner_ = std::make_unique<sim::ScenarioRunner>(std::move(*parsed.scenario), dir_.path());
}

void ScenarioRun::finish() {
    runner_->run();
    std::ifstream in(runner_->statePath());
    state_ = nlohmann::json::parse(in, nullptr, false);
    EXPECT_FALSE(state_.is_discarded()) << "state.json is not JSON";
}

nlohmann::json ScenarioRun::records(std::string_view channel) const {
    const auto& records = state_.at("records");
    const std::string key(channel);
    return records.contains(key) ? records.at(key) : nlohmann::json::array();
}

std::vector<std::vector<nlohmann::json>> ScenarioRun::logs() const {
    std::vector<std::vector<nlohmann::json>> out;
    for (const auto& file : sessionLogs(dir_.path()))
        out.push_back(readLogRecords(file));
    return out;
}

std::vector<nlohmann::json> ScenarioRun::onlyLog() const {
    auto all = logs();
    EXPECT_EQ(all.size(), 1u) << "session logs";
    return all.empty() ? std::vector<nlohmann::json>{} : all.front();
}

} // namespace mirl::test
