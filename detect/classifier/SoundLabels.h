#pragma once

#include <span>
#include <string>
#include <string_view>

namespace mirl::classifier {

/// Every label the classifier can name. It includes the labels the sleep phase logic counts
/// ("breathing", "snoring", "silence", "typing", "speech", "music", "rain" ...), spelled as
/// that logic spells them.
std::span<const std::string_view> soundVocabulary();

/// Coarse groups used to judge the classifier (a window labelled "rain" when it was white
/// noise is still right about the room being ambient noise).
enum class SoundGroup { silence, breathing, snoring, speech, activity, music, ambientNoise, animal, other };
inline constexpr int kSoundGroupCount = 9;

SoundGroup soundGroupOf(std::string_view label);
std::string_view soundGroupName(SoundGroup group);

} // namespace mirl::classifier
