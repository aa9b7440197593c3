#include "detect/classifier/SoundLabels.h"

#include <array>

namespace mirl::classifier {

namespace {
struct Entry {
    std::string_view label;
    SoundGroup group;
};
// Labels the decision emits come first; the rest are names that a richer model behind the
// same interface may use and that the phase logic already understands. Animals have labels
// of their own outside the sleep sounds (a barking dog is no sleeper), and "other" (a beep, an
// engine, a bang) counts in no set at all.
constexpr std::array<Entry, 29> kEntries{{
    {"silence", SoundGroup::silence},
    {"breathing", SoundGroup::breathing},
    {"snoring", SoundGroup::snoring},
    {"speech", SoundGroup::speech},
    {"whispering", SoundGroup::speech},
    {"chatter", SoundGroup::activity},
    {"laughter", SoundGroup::activity},
    {"typing", SoundGroup::activity},
    {"footsteps", SoundGroup::activity},
    {"music", SoundGroup::music},
    {"white_noise", SoundGroup::ambientNoise},
    {"pink_noise", SoundGroup::ambientNoise},
    {"rain", SoundGroup::ambientNoise},
    {"wind", SoundGroup::ambientNoise},
    {"ocean", SoundGroup::ambientNoise},
    {"bird", SoundGroup::animal},
    {"animal", SoundGroup::animal},
    {"other", SoundGroup::other},
    {"typing_computer_keyboard", SoundGroup::activity},
    {"babble", SoundGroup::activity},
    {"finger_snapping", SoundGroup::activity},
    {"gasp", SoundGroup::breathing},
    {"sigh", SoundGroup::breathing},
    {"fowl", SoundGroup::animal},
    {"goose_honk", SoundGroup::animal},
    {"dog_growl", SoundGroup::animal},
    {"snake_hiss", SoundGroup::animal},
    {"skiing", SoundGroup::other},
    {"whoosh_swoosh_swish", SoundGroup::other},
}};

constexpr std::array<std::string_view, kEntries.size()> makeNames() {
    std::array<std::string_view, kEntries.size()> names{};
    for (std::size_t i = 0; i < kEntries.size(); ++i)
        names[i] = kEntries[i].label;
    return names;
}
constexpr auto kNames = makeNames();
} // namespace

std::span<const std::string_view> soundVocabulary() {
    return kNames;
}

SoundGroup soundGroupOf(std::string_view label) {
    for (const auto& e : kEntries) {
        if (e.label == label)
            return e.group;
    }
    return SoundGroup::other;
}

std::string_view soundGroupName(SoundGroup group) {
    switch (group) {
    case SoundGroup::silence:
        return "silence";
    case SoundGroup::breathing:
        return "breathing";
    case SoundGroup::snoring:
        return "snoring";
    case SoundGroup::speech:
        return "speech";
    case SoundGroup::activity:
        return "activity";
    case SoundGroup::music:
        return "music";
    case SoundGroup::ambientNoise:
        return "ambient";
    case SoundGroup::animal:
        return "animal";
    case SoundGroup::other:
        return "other";
    }
    return "other";
}

} // namespace mirl::classifier
