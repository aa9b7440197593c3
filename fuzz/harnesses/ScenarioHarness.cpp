#include "app/sim/Scenario.h"
#include "fuzz/harnesses/Harnesses.h"

#include <algorithm>
#include <cmath>

namespace mirl::fuzz {

void scenario(Input input) {
    const auto parsed = sim::parseScenario(text(input), "/nonexistent");
    if (!parsed.scenario) {
        // mirl-sim prints the error after the file name: one line that says what is wrong.
        FUZZ_CHECK(!parsed.error.empty());
        FUZZ_CHECK(parsed.error.find('\n') == std::string::npos &&
                   parsed.error.find('\r') == std::string::npos);
        return;
    }
    const sim::Scenario& s = *parsed.scenario;
    FUZZ_CHECK(std::isfinite(s.until) && s.until > 0 && s.until <= sim::kMaxUntilSeconds);
    FUZZ_CHECK(s.volume >= 0 && s.volume <= 100 && s.brightness >= 0 && s.brightness <= 1);
    FUZZ_CHECK(s.start.size() >= 16 && s.start.compare(0, 2, "19") >= 0 &&
               s.start.compare(0, 4, "2200") <= 0);
    const auto& actions = sim::scenarioActions();
    double last = 0;
    for (const auto& step : s.steps) {
        FUZZ_CHECK(std::find(actions.begin(), actions.end(), step.action) != actions.end());
        FUZZ_CHECK(step.at >= last && step.at <= s.until); // in time order, within the run
        last = step.at;
        FUZZ_CHECK(step.fields.is_object() && !step.fields.contains("at") && !step.fields.contains("do"));
    }
}

} // namespace mirl::fuzz
