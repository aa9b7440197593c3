#pragma once

#include "platform/SettingsStore.h"

#include <map>

namespace mirl {

/// Settings kept in memory; for tests and the simulator.
class MemorySettingsStore final : public SettingsStore {
public:
    std::optional<SettingValue> read(std::string_view key) const override {
        auto it = values_.find(std::string(key));
        if (it == values_.end())
            return std::nullopt;
        return it->second;
    }
    void write(std::string_view key, const SettingValue& value) override {
        values_[std::string(key)] = value;
    }
    void remove(std::string_view key) override { values_.erase(std::string(key)); }
    std::size_t size() const { return values_.size(); }

private:
    std::map<std::string, SettingValue> values_;
};

} // namespace mirl
