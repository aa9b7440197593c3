#include "journal/annotations/SleepIntervals.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace mirl {

std::string timeText(double seconds) {
    if (!std::isfinite(seconds))
        return "--:--";
    const double rounded = std::round(seconds) + 0.0; // -0 (from -0.4) is 0
    if (rounded < 0)
        return "-" + timeText(-rounded);
    // In doubles: a duration from a file may be far beyond any integer type.
    const double minutes = std::floor(rounded / 60);
    const double rest = std::clamp(rounded - minutes * 60, 0.0, 59.0);
    char text[400]; // the largest double has 309 digits
    std::snprintf(text, sizeof text, "%02.0f:%02.0f", minutes, rest);
    return text;
}

namespace {

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

} // namespace

void SleepIntervalsText::append(std::string_view piece) {
    if (intervals.empty())
        intervals = piece;
    else if (endsWith(intervals, ", ") || endsWith(intervals, "-"))
        intervals += piece;
    else
        intervals += ", " + std::string(piece);
}

void SleepIntervalsText::markSleep(double seconds) {
    pendingMarkStart = seconds;
    append(timeText(seconds) + "-");
}

void SleepIntervalsText::markWake(double seconds) {
    const std::string wake = timeText(seconds);
    if (!pendingMarkStart) {
        append(wake);
        return;
    }
    const std::string interval = timeText(*pendingMarkStart) + "-" + wake;
    pendingMarkStart.reset();
    if (!endsWith(intervals, "-")) {
        append(wake); // edited since the onset: leave the user's text alone
        return;
    }
    // Replace the open interval, which is the last piece after ", " (or else after a blank).
    std::string text = intervals.substr(0, intervals.size() - 1);
    if (const auto comma = text.rfind(','); comma != std::string::npos) {
        intervals = text.substr(0, comma) + ", " + interval;
    } else if (const auto blank = text.rfind(' '); blank != std::string::npos && blank > 0) {
        intervals = text.substr(0, blank) + " " + interval;
    } else {
        intervals = interval;
    }
}

} // namespace mirl
