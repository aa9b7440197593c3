#include "journal/JsonLine.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>

namespace mirl {

namespace {

bool carriable(const nlohmann::json& value) {
    switch (value.type()) {
    case nlohmann::json::value_t::number_float:
        return std::isfinite(value.get<double>());
    case nlohmann::json::value_t::binary:
    case nlohmann::json::value_t::discarded:
        return false;
    case nlohmann::json::value_t::array:
    case nlohmann::json::value_t::object:
        for (const auto& element : value)
            if (!carriable(element))
                return false;
        return true;
    default:
        return true;
    }
}

/// True when brackets outside strings nest deeper than the limit (a bound for invalid text).
bool nestsDeeperThan(std::string_view line, int limit) {
    int depth = 0;
    bool inString = false, escaped = false;
    for (char c : line) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit)
                return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

} // namespace

std::optional<nlohmann::json> parseJsonLine(std::string_view line) {
    if (line.find('\0') != std::string_view::npos || nestsDeeperThan(line, kMaxJsonLineDepth))
        return std::nullopt;
    auto value = nlohmann::json::parse(line, nullptr, false);
    if (value.is_discarded())
        return std::nullopt;
    return value;
}

std::optional<std::string> encodeJsonLine(const nlohmann::json& value) {
    if (!carriable(value))
        return std::nullopt;
    std::string text;
    try {
        // nlohmann's objects are std::maps, so keys come out sorted by byte order.
        text = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
    } catch (const nlohmann::json::exception&) {
        return std::nullopt; // invalid UTF-8 in a key or a string
    }
    // A solidus can only occur inside strings in compact JSON, so escaping every one is exact.
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '/')
            out += "\\/";
        else
            out += c;
    }
    return out;
}

std::string formatTimestamp(TimePoint t) {
    using namespace std::chrono;
    auto ms = floor<milliseconds>(t.time_since_epoch());
    auto secs = floor<seconds>(ms);
    int millis = static_cast<int>((ms - secs).count());
    std::time_t tt = static_cast<std::time_t>(secs.count());
    std::tm tm{};
    gmtime_r(&tt, &tm);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, millis);
    return buf;
}

std::string formatTimestampSeconds(TimePoint t) {
    std::string text = formatTimestamp(t);
    return text.substr(0, 19) + "Z";
}

std::optional<TimePoint> parseTimestamp(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SS.f+ then Z, +HH:MM, -HH:MM, +HHMM or -HHMM.
    if (text.size() < 22 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != '.')
        return std::nullopt;
    auto digit = [&](std::size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
    auto num = [&](std::size_t pos, std::size_t len, int& out) {
        out = 0;
        for (std::size_t i = pos; i < pos + len; ++i) {
            if (!digit(i))
                return false;
            out = out * 10 + (text[i] - '0');
        }
        return true;
    };
    int y, mo, d, h, mi, s;
    if (!num(0, 4, y) || !num(5, 2, mo) || !num(8, 2, d) || !num(11, 2, h) || !num(14, 2, mi) ||
        !num(17, 2, s))
        return std::nullopt;
    std::size_t i = 20;
    std::int64_t nanos = 0;
    int fractionDigits = 0;
    for (; digit(i); ++i, ++fractionDigits)
        if (fractionDigits < 9)
            nanos = nanos * 10 + (text[i] - '0');
    if (fractionDigits == 0)
        return std::nullopt;
    for (int k = fractionDigits; k < 9; ++k)
        nanos *= 10;
    int offsetMinutes = 0;
    const std::string_view zone = text.substr(i);
    if (zone != "Z") {
        int zh = 0, zm = 0;
        const bool colon = zone.size() == 6 && zone[3] == ':';
        const bool plain = zone.size() == 5;
        if ((zone.empty() || (zone[0] != '+' && zone[0] != '-')) || !(colon || plain) || !num(i + 1, 2, zh) ||
            !num(i + (colon ? 4 : 3), 2, zm) || zh > 23 || zm > 59)
            return std::nullopt;
        offsetMinutes = (zone[0] == '-' ? -1 : 1) * (zh * 60 + zm);
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60)
        return std::nullopt;
    using namespace std::chrono;
    year_month_day ymd{year{y}, month{static_cast<unsigned>(mo)}, day{static_cast<unsigned>(d)}};
    if (!ymd.ok())
        return std::nullopt;
    // In seconds first: a year the clock's 64-bit nanoseconds cannot hold (before 1678, after
    // 2262) is no time of a session, and would wrap round.
    const seconds utc =
        sys_days{ymd}.time_since_epoch() + hours{h} + minutes{mi} + seconds{s} - minutes{offsetMinutes};
    constexpr seconds limit = duration_cast<seconds>(TimePoint::duration::max()) - seconds{1};
    if (utc < -limit || utc > limit)
        return std::nullopt;
    return TimePoint{duration_cast<TimePoint::duration>(utc + nanoseconds{nanos})};
}

} // namespace mirl
