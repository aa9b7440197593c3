#include "ui/control/ControlTexts.h"

#include "core/PlatformWords.h"
#include "detect/PhaseClassifier.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace mirl::controltext {

namespace {

std::string_view trimmed(std::string_view text) {
    auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string formatted(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

} // namespace

std::optional<int> parseCustomMinutes(std::string_view text) {
    constexpr long long kMinMinutes = 1;
    constexpr long long kMaxMinutes = 1440;
    text = trimmed(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        // Past the largest valid value the exact number no longer matters.
        value = std::min(value * 10 + (c - '0'), kMaxMinutes + 1);
    }
    if (negative)
        value = -value;
    if (value < kMinMinutes || value > kMaxMinutes)
        return std::nullopt;
    return static_cast<int>(value);
}

std::string modeCaption(std::string_view storedMode, MirlMode resolvedNow) {
    std::string_view text;
    if (storedMode == "night")
        text = "🌙 Night: the Mac goes to sleep at the end.";
    else if (storedMode == "nap")
        text = "☀️ Nap: gentle wake-up at the end — no system sleep.";
    else if (resolvedNow == MirlMode::nap)
        text = "☀️ Nap (auto, daytime): gentle wake-up, no system sleep.";
    else
        text = "🌙 Night (auto, evening): the Mac goes to sleep at the end.";
    return platformText(text);
}

std::string idleDetectionCaption(bool noMicrophone, bool detectionSwitchOn) {
    if (noMicrophone)
        return "No-microphone mode: audio detection off.";
    if (!detectionSwitchOn)
        return "Disabled.";
    return "Starts with the timer.";
}

std::string phaseBadge(SleepPhase phase) {
    switch (phase) {
    case SleepPhase::awake:
        return "Awake";
    case SleepPhase::calming:
        return "Calming";
    case SleepPhase::asleep:
        return "Asleep";
    case SleepPhase::deepAsleep:
        return "Deep";
    }
    return "Awake";
}

bool isConfidentLabel(double confidence) {
    // The same bar at which the phase logic counts a label.
    return confidence >= PhaseClassifier::countedThreshold;
}

std::string soundLabel(std::string_view label, double confidence) {
    if (!isConfidentLabel(confidence))
        return "listening…";
    return std::string(label);
}

std::string percent(double fraction) {
    return formatted("%.0f%%", fraction * 100.0);
}

std::string breathRate(double rpm) {
    return formatted("%.0f rpm", rpm);
}

std::string breathWord(double rpm) {
    if (rpm < 8)
        return "very slow";
    if (rpm < 12)
        return "deep";
    if (rpm < 16)
        return "calm";
    if (rpm < 22)
        return "normal";
    return "fast";
}

std::string volumeValue(double volume) {
    return formatted("%.0f", volume);
}

std::string trayToolTip(std::optional<std::string> shortRemaining) {
    if (!shortRemaining)
        return "Mirl";
    return "Mirl — " + *shortRemaining + " left";
}

} // namespace mirl::controltext
