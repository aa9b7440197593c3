#pragma once

#include "platform/SettingsStore.h"

#include <string>
#include <string_view>

namespace mirl {

/// Typed, presence-tested reads of the settings store. Every read takes the reading site's
/// default, which is returned when the key was never written (or holds text that cannot be
/// read as the wanted type). Reads never create keys. Keys come from SettingsKeys.h.
///
/// Thread rule: main thread, like the store.
class Settings {
public:
    explicit Settings(SettingsStore& store) : store_(store) {}

    bool contains(std::string_view key) const;
    int readInt(std::string_view key, int fallback) const;
    bool readBool(std::string_view key, bool fallback) const;
    std::string readString(std::string_view key, std::string_view fallback) const;

    void writeInt(std::string_view key, int value);
    void writeBool(std::string_view key, bool value);
    void writeString(std::string_view key, std::string_view value);
    void remove(std::string_view key);

private:
    SettingsStore& store_;
};

} // namespace mirl
