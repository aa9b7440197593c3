#pragma once

#include <algorithm>
#include <array>
#include <string_view>

namespace mirl::labels {

// The classifier labels the phase classification counts. Membership is exact text equality.
// "wind" is both a sleep sound (it may stand in for speech during playback) and an ambient sound
// (it never enters the window).
inline constexpr std::array<std::string_view, 12> sleepLabels = {
    "breathing",  "snoring",   "silence",    "gasp",   "sigh", "fowl",
    "goose_honk", "dog_growl", "snake_hiss", "skiing", "wind", "whoosh_swoosh_swish"};
inline constexpr std::array<std::string_view, 7> activityLabels = {
    "chatter", "babble", "laughter", "footsteps", "typing", "typing_computer_keyboard", "finger_snapping"};
inline constexpr std::array<std::string_view, 2> speechLabels = {"speech", "whispering"};
inline constexpr std::array<std::string_view, 6> ambientLabels = {"music",       "rain",       "wind",
                                                                  "white_noise", "pink_noise", "ocean"};

template <std::size_t N> bool contains(const std::array<std::string_view, N>& set, std::string_view label) {
    return std::find(set.begin(), set.end(), label) != set.end();
}

inline bool isSleep(std::string_view label) {
    return contains(sleepLabels, label);
}
inline bool isActivity(std::string_view label) {
    return contains(activityLabels, label);
}
inline bool isSpeech(std::string_view label) {
    return contains(speechLabels, label);
}
inline bool isAmbient(std::string_view label) {
    return contains(ambientLabels, label);
}

} // namespace mirl::labels
