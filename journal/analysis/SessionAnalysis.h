#pragma once

#include "journal/analysis/RecordFields.h"
#include "runtime/Duration.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirl {

/// One parsed line of a session log.
struct SessionEvent {
    TimePoint timestamp;
    std::string type;
    /// Seconds from the file's first event; negative for a line stamped earlier than that.
    double tFromStart = 0;
    /// The line's top-level members, "ts" and "event" included, as the heuristics read them.
    RecordFields fields;
    /// The line as it stands in the file.
    std::string line;

    /// The whole object of the line as a JSON tree (built on each call).
    nlohmann::json payload() const;
};

struct HeuristicVerdict {
    enum class Kind { asleep, awake, calming };

    /// Tells the verdicts of one analysis apart (numbered in emission order).
    std::uint64_t id = 0;
    double timeFromStart = 0;
    Kind kind = Kind::awake;
    /// 0..1, except for the composite, whose score is its vote.
    double score = 0;
    std::string detail;
};

/// "asleep", "awake" or "calming".
std::string_view kindName(HeuristicVerdict::Kind kind);

struct SeriesPoint {
    double t = 0;
    double value = 0;
    std::optional<std::string> label;
};

/// How one heuristic judged the night.
struct HeuristicResult {
    std::string id;
    std::string displayName;
    std::vector<HeuristicVerdict> verdicts;
    std::vector<SeriesPoint> rawSeries;
    std::string rawSeriesLabel;
    double yMin = 0;
    double yMax = 1;

    /// The first asleep verdict in list order, if any.
    const HeuristicVerdict* firstAsleep() const;
};

/// Offline judgement of one session log: nine heuristics in a fixed order ("phase",
/// "snoring_streak", "rpm_drop", "rms_drop", "user_idle", "breathband_tuned", "composite",
/// "volume_applied", "brightness_applied").
struct SessionAnalysis {
    double durationSeconds = 0;
    TimePoint startDate;
    std::vector<HeuristicResult> results;
    std::vector<SessionEvent> events;
};

/// The largest session log read (a night writes some 20 MB): its events take a few times its
/// size in memory.
inline constexpr std::size_t kMaxSessionLogBytes = 256 * 1024 * 1024;

/// Reads a session log and analyses it. durationSeconds replaces the duration taken from the
/// log's last event (the recording's length, when there is one). Nothing when the file is not a
/// regular file of at most kMaxSessionLogBytes (a link in its place is not followed, a FIFO is
/// not waited on), is not UTF-8, or holds no valid event; `problem`, when given, then says why
/// in a few words. Pure: nothing is cached or written.
std::optional<SessionAnalysis> analyzeSession(const std::filesystem::path& log,
                                              std::optional<double> durationSeconds = std::nullopt,
                                              std::string* problem = nullptr);

/// The same over a log's text.
std::optional<SessionAnalysis> analyzeSessionText(std::string_view text,
                                                  std::optional<double> durationSeconds = std::nullopt);

} // namespace mirl
