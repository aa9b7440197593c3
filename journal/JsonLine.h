#pragma once

#include "runtime/Duration.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace mirl {

/// The journal's record encoding: compact JSON, object keys in ascending byte order at every
/// depth, "/" written as "\/", other non-ASCII text as raw UTF-8, floating values with the
/// shortest digits that read back as the same double. Returns nothing for a value the format
/// cannot carry: a non-finite number, binary data, or text that is not valid UTF-8.
std::optional<std::string> encodeJsonLine(const nlohmann::json& value);

/// How deep a journal line may nest arrays and objects (the journal's own are a few levels).
inline constexpr int kMaxJsonLineDepth = 256;

/// One line of a journal file as a JSON tree: nothing unless the whole text is one JSON value
/// (a NUL byte included: nlohmann's parser alone would stop there and accept what came before)
/// nested at most kMaxJsonLineDepth deep (a deeper tree would exhaust the stack when copied,
/// compared or written).
std::optional<nlohmann::json> parseJsonLine(std::string_view line);

/// "YYYY-MM-DDTHH:MM:SS.mmmZ" in UTC, the fraction cut (not rounded) to milliseconds.
std::string formatTimestamp(TimePoint t);

/// "YYYY-MM-DDTHH:MM:SSZ" in UTC (the annotations' time of saving).
std::string formatTimestampSeconds(TimePoint t);

/// Parses an ISO 8601 extended date and time with a fraction of a second (any number of
/// digits) and a zone ("Z", "+HH:MM", "-HH:MM", "+HHMM", "-HHMM"): the format above among
/// others. Nothing for any other text, a time without a fraction included, and for a time the
/// clock cannot hold (before 1677 or after 2262).
std::optional<TimePoint> parseTimestamp(std::string_view text);

} // namespace mirl
