#pragma once

#include "platform/SettingsStore.h"
#include "runtime/Console.h"

#include <QSettings>

#include <filesystem>
#include <map>
#include <memory>

namespace mirl {

/// Settings in an INI file (by default $XDG_CONFIG_HOME/Mirl/Mirl.conf). Values come back as
/// text; Settings converts them. Every write is synced to disk at once, in a 0700 folder.
///
/// Something in the file's place that is not a regular file of at most maxFileBytes (a FIFO, a
/// link, a device, a huge file) is not opened: that is said on the console, and the settings
/// live in memory for this run, the defaults until something is written.
class QSettingsStore final : public SettingsStore {
public:
    static constexpr std::size_t maxFileBytes = 1024 * 1024;

    explicit QSettingsStore(const std::filesystem::path& file, Console* console = nullptr);
    /// The default location, or nothing when there is no home directory.
    static std::optional<std::filesystem::path> defaultFile();

    std::optional<SettingValue> read(std::string_view key) const override;
    void write(std::string_view key, const SettingValue& value) override;
    void remove(std::string_view key) override;

    /// False when the file was refused and the settings live in memory.
    bool persistent() const { return settings_ != nullptr; }

private:
    std::unique_ptr<QSettings> settings_;
    std::map<std::string, SettingValue, std::less<>> memory_; // when the file was refused
};

} // namespace mirl
