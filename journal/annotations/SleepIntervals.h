#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mirl {

/// "mm:ss" of a time in seconds, rounded to whole seconds; minutes go past 59 (an hour and a
/// half is "90:00"). A negative time gets a leading "-"; a time that is not a number "--:--".
std::string timeText(double seconds);

/// The sleep periods field of an annotation, edited by the marking buttons as text: an onset
/// opens "mm:ss-", a wake-up closes it. The user may edit the text in between; the marks then
/// append instead of replacing.
struct SleepIntervalsText {
    std::string intervals;
    /// The onset marked last and not closed by a wake-up yet.
    std::optional<double> pendingMarkStart;

    void markSleep(double seconds);
    void markWake(double seconds);
    /// Adds a piece: as the whole text when empty, directly after ", " or "-", else after ", ".
    void append(std::string_view piece);
};

} // namespace mirl
