#pragma once

#include "core/timer/MirlMode.h"
#include "detect/SleepPhase.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

// The control view's texts, kept apart from the widgets so that they can be checked directly.
// All of them are final user-visible texts (platform words already applied).
namespace mirl::controltext {

/// The preset durations offered by the popover and the tray menu, in minutes.
inline constexpr std::array kPresetMinutes{15, 30, 45, 60, 90};

/// The custom duration typed by the user: white space trimmed at both ends, then an optional
/// "+" or "-" and decimal digits only, from 1 to 1440. Anything else gives nothing.
std::optional<int> parseCustomMinutes(std::string_view text);

/// One line about what the end of the timer will do. `storedMode` is the raw setting
/// "mode.timer_mode"; `resolvedNow` is the mode automatic resolves to at this moment.
std::string modeCaption(std::string_view storedMode, MirlMode resolvedNow);

/// The caption shown while the detectors do not run.
std::string idleDetectionCaption(bool noMicrophone, bool detectionSwitchOn);

/// "Awake", "Calming", "Asleep" or "Deep".
std::string phaseBadge(SleepPhase phase);

/// The top sound label when the classifier is confident enough (0.6), else "listening…".
std::string soundLabel(std::string_view label, double confidence);
bool isConfidentLabel(double confidence);

/// "%.0f%%" of a fraction 0..1 (confidence, ambiance).
std::string percent(double fraction);
/// "%.0f rpm".
std::string breathRate(double rpm);
/// "very slow", "deep", "calm", "normal" or "fast".
std::string breathWord(double rpm);
/// "%.0f" of a volume in percent.
std::string volumeValue(double volume);

/// The tray item's tooltip: "Mirl" while idle, else with the remaining time.
std::string trayToolTip(std::optional<std::string> shortRemaining);

} // namespace mirl::controltext
