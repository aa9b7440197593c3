#pragma once

#include "app/sim/SimWorld.h"
#include "tests/support/SessionLogLines.h"
#include "tests/support/TestPaths.h"

#include <nlohmann/json.hpp>

#include <vector>

namespace mirl::test {

/// 2026-12-05 at the given time of day, UTC (the test main's zone).
inline TimePoint dayAt(int hour, int minute, int second = 0) {
    return TimePoint{} + std::chrono::sys_days{std::chrono::year{2026} / 12 / 5}.time_since_epoch() +
           std::chrono::hours(hour) + std::chrono::minutes(minute) + std::chrono::seconds(second);
}

/// The real session engines on fakes and virtual time (the simulator's world, launched), for
/// the views to observe and drive.
struct ControlWorld {
    explicit ControlWorld(TimePoint start = dayAt(22, 0)) : sim(start, dir.path()) {}

    TempDir dir;
    sim::SimWorld sim;
    SessionOrchestrator& session{launched().orchestrator()};
    SessionEngines& engines{sim.engines()};
    SleepTimerModel& timer{engines.timer};
    SleepDetector& detector{engines.detector};
    AutoFader& fader{engines.fader};
    Settings& settings{sim.settings};
    VirtualScheduler& scheduler{sim.scheduler};

    /// Every record of the session logs written so far, oldest log first.
    std::vector<nlohmann::json> records() const {
        std::vector<nlohmann::json> all;
        for (const auto& log : sessionLogs(dir.path())) {
            auto records = readLogRecords(log);
            all.insert(all.end(), records.begin(), records.end());
        }
        return all;
    }
    std::vector<nlohmann::json> recordsNamed(std::string_view event) const {
        std::vector<nlohmann::json> out;
        for (auto& record : records())
            if (record.value("event", "") == event)
                out.push_back(record);
        return out;
    }

private:
    sim::SimWorld& launched() {
        sim.launch();
        return sim;
    }
};

} // namespace mirl::test
