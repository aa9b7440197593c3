#include "journal/analysis/SessionAnalysis.h"

#include "journal/JsonLine.h"
#include "journal/analysis/Heuristics.h"
#include "runtime/PrivateFiles.h"

#include <cerrno>
#include <cstring>

namespace mirl {

std::string_view kindName(HeuristicVerdict::Kind kind) {
    switch (kind) {
    case HeuristicVerdict::Kind::asleep:
        return "asleep";
    case HeuristicVerdict::Kind::calming:
        return "calming";
    case HeuristicVerdict::Kind::awake:
        break;
    }
    return "awake";
}

nlohmann::json SessionEvent::payload() const {
    return parseJsonLine(line).value_or(nlohmann::json());
}

const HeuristicVerdict* HeuristicResult::firstAsleep() const {
    for (const auto& verdict : verdicts)
        if (verdict.kind == HeuristicVerdict::Kind::asleep)
            return &verdict;
    return nullptr;
}

namespace {

/// The records of a log in file order. A line that is not a JSON object (a torn last line,
/// bytes that are not UTF-8, anything foreign), lacks a text "ts" or "event", or has a time
/// that does not parse is skipped.
std::vector<SessionEvent> parseEvents(std::string_view text) {
    std::vector<SessionEvent> events;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(begin, end - begin);
        begin = end + 1;
        if (line.empty())
            continue;
        auto fields = RecordFields::parse(line);
        if (!fields)
            continue;
        const std::string* ts = fields->text("ts");
        const std::string* type = fields->text("event");
        if (ts == nullptr || type == nullptr)
            continue;
        const auto timestamp = parseTimestamp(*ts);
        if (!timestamp)
            continue;
        SessionEvent event;
        event.timestamp = *timestamp;
        event.type = *type;
        event.fields = std::move(*fields);
        event.line = line;
        events.push_back(std::move(event));
    }
    return events;
}

} // namespace

std::optional<SessionAnalysis> analyzeSessionText(std::string_view text,
                                                  std::optional<double> durationSeconds) {
    SessionAnalysis analysis;
    analysis.events = parseEvents(text);
    if (analysis.events.empty())
        return std::nullopt;
    analysis.startDate = analysis.events.front().timestamp;
    for (auto& event : analysis.events)
        event.tFromStart = secondsBetween(analysis.startDate, event.timestamp);
    analysis.durationSeconds = durationSeconds.value_or(analysis.events.back().tFromStart);

    const std::span<const SessionEvent> events = analysis.events;
    const double duration = analysis.durationSeconds;
    heuristics::VerdictIds ids;
    auto& results = analysis.results;
    results.reserve(9);
    results.push_back(heuristics::phase(events, ids));
    results.push_back(heuristics::snoringStreak(events, duration, ids));
    results.push_back(heuristics::rpmDrop(events, ids));
    results.push_back(heuristics::rmsDrop(events, ids));
    results.push_back(heuristics::userIdle(events, ids));
    results.push_back(heuristics::breathBand(events, ids));
    results.push_back(heuristics::composite(std::span(results).first(6), duration, ids));
    results.push_back(heuristics::volumeApplied(events));
    results.push_back(heuristics::brightnessApplied(events));
    return analysis;
}

std::optional<SessionAnalysis> analyzeSession(const std::filesystem::path& log,
                                              std::optional<double> durationSeconds, std::string* problem) {
    auto fail = [problem](std::string why) -> std::optional<SessionAnalysis> {
        if (problem)
            *problem = std::move(why);
        return std::nullopt;
    };
    FileRead read = readRegularFile(log, kMaxSessionLogBytes);
    if (read.outcome == FileRead::Outcome::missing)
        return fail(std::strerror(ENOENT));
    if (read.outcome == FileRead::Outcome::refused)
        return fail(std::move(read.why));
    auto analysis = analyzeSessionText(read.text, durationSeconds);
    if (!analysis)
        return fail("no session event to analyse");
    return analysis;
}

} // namespace mirl
