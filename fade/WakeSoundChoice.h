#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace mirl {

/// The selectable wake sounds, in the order the preferences list them.
enum class WakeSoundChoice { birds, sea, river, bong, purr, none };

inline constexpr std::array<WakeSoundChoice, 6> allWakeSoundChoices{
    WakeSoundChoice::birds, WakeSoundChoice::sea,  WakeSoundChoice::river,
    WakeSoundChoice::bong,  WakeSoundChoice::purr, WakeSoundChoice::none};

/// The stored text ("birds", ..., "none").
std::string_view rawValue(WakeSoundChoice choice);
/// The choice stored as `raw`, nothing for an unknown text.
std::optional<WakeSoundChoice> wakeSoundChoiceFromRaw(std::string_view raw);
/// The sound file's name without extension ("Birds"); empty for none.
std::string_view resourceName(WakeSoundChoice choice);
/// The name shown to the user ("Zen bong").
std::string_view displayName(WakeSoundChoice choice);

} // namespace mirl
