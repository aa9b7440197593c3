#include "fade/WakeSoundChoice.h"

namespace mirl {

namespace {

struct Row {
    WakeSoundChoice choice;
    std::string_view raw, resource, display;
};

constexpr Row kRows[] = {
    {WakeSoundChoice::birds, "birds", "Birds", "Birds"},
    {WakeSoundChoice::sea, "sea", "Sea", "Sea"},
    {WakeSoundChoice::river, "river", "River", "River"},
    {WakeSoundChoice::bong, "bong", "Bong", "Zen bong"},
    {WakeSoundChoice::purr, "purr", "Purr", "Purring cat"},
    {WakeSoundChoice::none, "none", "", "No sound"},
};

const Row& row(WakeSoundChoice choice) {
    for (const auto& r : kRows) {
        if (r.choice == choice) {
            return r;
        }
    }
    return kRows[5];
}

} // namespace

std::string_view rawValue(WakeSoundChoice choice) {
    return row(choice).raw;
}
std::string_view resourceName(WakeSoundChoice choice) {
    return row(choice).resource;
}
std::string_view displayName(WakeSoundChoice choice) {
    return row(choice).display;
}

std::optional<WakeSoundChoice> wakeSoundChoiceFromRaw(std::string_view raw) {
    for (const auto& r : kRows) {
        if (r.raw == raw) {
            return r.choice;
        }
    }
    return std::nullopt;
}

} // namespace mirl
