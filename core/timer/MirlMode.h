#pragma once

#include <string_view>

namespace mirl {

enum class MirlMode { automatic, night, nap };

constexpr std::string_view rawValue(MirlMode mode) {
    switch (mode) {
    case MirlMode::night:
        return "night";
    case MirlMode::nap:
        return "nap";
    case MirlMode::automatic:
        break;
    }
    return "auto";
}

/// Exact match of the raw values; anything else is automatic.
constexpr MirlMode parseMirlMode(std::string_view raw) {
    if (raw == "night")
        return MirlMode::night;
    if (raw == "nap")
        return MirlMode::nap;
    return MirlMode::automatic;
}

} // namespace mirl
