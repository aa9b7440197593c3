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

/// "YYYY-MM-DDTHH:MM:SS.mmmZ" in UTC, the fraction cut (not rounded) to milliseconds.
std::string formatTimestamp(TimePoint t);

/// "YYYY-MM-DDTHH:MM:SSZ" in UTC (the annotations' time of saving).
std::string formatTimestampSeconds(TimePoint t);

/// Parses an ISO 8601 extended date and time with a fraction of a second (any number of
/// digits) and a zone ("Z", "+HH:MM", "-HH:MM", "+HHMM", "-HHMM"): the format above among
/// others. Nothing for any other text, a time without a fraction included.
std::optional<TimePoint> parseTimestamp(std::string_view text);

} // namespace mirl
