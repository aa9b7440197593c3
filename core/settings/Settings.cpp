#include "core/settings/Settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace mirl {

namespace {

std::string trimmedLower(std::string_view text) {
    auto begin = text.find_first_not_of(" \t\r\n");
    auto end = text.find_last_not_of(" \t\r\n");
    std::string out =
        begin == std::string_view::npos ? std::string() : std::string(text.substr(begin, end - begin + 1));
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

int saturate(long long v) {
    return static_cast<int>(
        std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

std::optional<int> intFromText(std::string_view raw) {
    std::string text = trimmedLower(raw);
    if (text == "true" || text == "yes")
        return 1;
    if (text == "false" || text == "no")
        return 0;
    double d = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
    if (ec != std::errc() || ptr != text.data() + text.size() || !std::isfinite(d))
        return std::nullopt;
    // Whole part, as a typed integer read of "3.7" gives 3.
    return saturate(static_cast<long long>(std::clamp(std::trunc(d), -9.0e18, 9.0e18)));
}

std::optional<bool> boolFromText(std::string_view raw) {
    std::string text = trimmedLower(raw);
    if (text == "true" || text == "yes")
        return true;
    if (text == "false" || text == "no")
        return false;
    if (auto n = intFromText(text))
        return *n != 0;
    return std::nullopt;
}

} // namespace

bool Settings::contains(std::string_view key) const {
    return store_.read(key).has_value();
}

int Settings::readInt(std::string_view key, int fallback) const {
    auto stored = store_.read(key);
    if (!stored)
        return fallback;
    if (auto* b = std::get_if<bool>(&*stored))
        return *b ? 1 : 0;
    if (auto* n = std::get_if<long long>(&*stored))
        return saturate(*n);
    return intFromText(std::get<std::string>(*stored)).value_or(fallback);
}

bool Settings::readBool(std::string_view key, bool fallback) const {
    auto stored = store_.read(key);
    if (!stored)
        return fallback;
    if (auto* b = std::get_if<bool>(&*stored))
        return *b;
    if (auto* n = std::get_if<long long>(&*stored))
        return *n != 0;
    return boolFromText(std::get<std::string>(*stored)).value_or(fallback);
}

std::string Settings::readString(std::string_view key, std::string_view fallback) const {
    auto stored = store_.read(key);
    if (!stored)
        return std::string(fallback);
    if (auto* b = std::get_if<bool>(&*stored))
        return *b ? "1" : "0";
    if (auto* n = std::get_if<long long>(&*stored))
        return std::to_string(*n);
    return std::get<std::string>(*stored);
}

void Settings::writeInt(std::string_view key, int value) {
    store_.write(key, static_cast<long long>(value));
}

void Settings::writeBool(std::string_view key, bool value) {
    store_.write(key, value);
}

void Settings::writeString(std::string_view key, std::string_view value) {
    store_.write(key, std::string(value));
}

void Settings::remove(std::string_view key) {
    store_.remove(key);
}

} // namespace mirl
