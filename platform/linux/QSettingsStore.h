#pragma once

#include "platform/SettingsStore.h"

#include <QSettings>

#include <filesystem>

namespace mirl {

/// Settings in an INI file (by default $XDG_CONFIG_HOME/Mirl/Mirl.conf). Values come back as
/// text; Settings converts them. Every write is synced to disk at once.
class QSettingsStore final : public SettingsStore {
public:
    explicit QSettingsStore(const std::filesystem::path& file);
    /// The default location, or nothing when there is no home directory.
    static std::optional<std::filesystem::path> defaultFile();

    std::optional<SettingValue> read(std::string_view key) const override;
    void write(std::string_view key, const SettingValue& value) override;
    void remove(std::string_view key) override;

private:
    mutable QSettings settings_;
};

} // namespace mirl
