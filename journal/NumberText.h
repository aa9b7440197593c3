#pragma once

#include <charconv>
#include <string>

namespace mirl {

/// printf's "%.<precision>f" in the C locale, whatever the process's locale says (a Qt
/// application sets LC_NUMERIC from the user's locale, which would turn the point into a comma).
inline std::string fixedText(double value, int precision) {
    char buffer[400]; // the largest double has 309 integer digits
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
    if (ec != std::errc())
        return "nan";
    return std::string(buffer, end);
}

/// The shortest text that reads back as the same double ("0.25", "1e-07"), in any locale.
inline std::string shortestText(double value) {
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc())
        return "nan";
    return std::string(buffer, end);
}

} // namespace mirl
