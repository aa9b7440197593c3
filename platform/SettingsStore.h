#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace mirl {

/// A stored setting as the store holds it. Stores that keep only text (INI files) hand back
/// strings; Settings converts on read.
using SettingValue = std::variant<bool, long long, std::string>;

/// The persistent key-value store behind Settings.
/// Thread rule: main thread.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    /// The stored value, or nothing when the key was never written. Never creates a key.
    virtual std::optional<SettingValue> read(std::string_view key) const = 0;
    virtual void write(std::string_view key, const SettingValue& value) = 0;
    virtual void remove(std::string_view key) = 0;
};

} // namespace mirl
