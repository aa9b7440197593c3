#pragma once

#include "journal/JsonLine.h"
#include "journal/analysis/SessionAnalysis.h"

#include <nlohmann/json.hpp>

#include <string>

namespace mirl::test {

/// Writes session-log text by hand: each line stamped a number of seconds after 22:00 UTC.
class LogText {
public:
    static TimePoint start() {
        using namespace std::chrono;
        return sys_days{year{2026} / 12 / 5} + hours{22};
    }

    LogText& at(double seconds, const std::string& event, nlohmann::json payload = nlohmann::json::object()) {
        payload["event"] = event;
        payload["ts"] = formatTimestamp(addSeconds(start(), seconds));
        text_ += *encodeJsonLine(payload) + "\n";
        return *this;
    }
    LogText& raw(const std::string& line) {
        text_ += line;
        return *this;
    }
    const std::string& text() const { return text_; }

    std::optional<SessionAnalysis> analyze(std::optional<double> duration = std::nullopt) const {
        return analyzeSessionText(text_, duration);
    }

private:
    std::string text_;
};

inline const HeuristicResult& resultOf(const SessionAnalysis& analysis, const std::string& id) {
    for (const auto& result : analysis.results)
        if (result.id == id)
            return result;
    throw std::out_of_range(id);
}

} // namespace mirl::test
