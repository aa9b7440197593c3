#pragma once

#include <nlohmann/json.hpp>

#include <cmath>
#include <optional>
#include <string>
#include <string_view>

namespace mirl::payload {

// Reading a log record's values: a value of the wrong kind counts as absent.

/// Any JSON number, as a double.
inline std::optional<double> number(const nlohmann::json& object, std::string_view key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_number())
        return std::nullopt;
    return it->get<double>();
}

/// A JSON number without a fractional part (5 and 5.0 alike), as a double.
inline std::optional<double> integer(const nlohmann::json& object, std::string_view key) {
    const auto value = number(object, key);
    if (!value || std::floor(*value) != *value)
        return std::nullopt;
    return value;
}

/// A JSON string.
inline const std::string* text(const nlohmann::json& object, std::string_view key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_string())
        return nullptr;
    return it->get_ptr<const std::string*>();
}

/// A JSON boolean.
inline std::optional<bool> boolean(const nlohmann::json& object, std::string_view key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_boolean())
        return std::nullopt;
    return it->get<bool>();
}

} // namespace mirl::payload
