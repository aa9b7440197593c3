#include "platform/linux/DdcBacklight.h"

#include <ddcutil_c_api.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace mirl {

namespace {
constexpr DDCA_Vcp_Feature_Code kBrightness = 0x10;
} // namespace

struct DdcBacklight::Entry {
    DDCA_Display_Ref ref = nullptr;
};

DdcBacklight::DdcBacklight() {
    queue_.submit([this] { detect(); });
}

DdcBacklight::~DdcBacklight() {
    queue_.waitIdle();
}

void DdcBacklight::detect() {
    DDCA_Display_Info_List* list = nullptr;
    if (ddca_get_display_info_list2(false, &list) != 0 || !list)
        return;
    std::vector<Monitor> found;
    for (int i = 0; i < list->ct; ++i) {
        const DDCA_Display_Info& info = list->info[i];
        DDCA_Display_Handle handle = nullptr;
        if (ddca_open_display2(info.dref, true, &handle) != 0)
            continue;
        DDCA_Non_Table_Vcp_Value value{};
        const bool ok = ddca_get_non_table_vcp_value(handle, kBrightness, &value) == 0;
        ddca_close_display(handle);
        const int maxRaw = value.mh << 8 | value.ml;
        if (!ok || maxRaw <= 0)
            continue;
        auto entry = std::make_shared<Entry>();
        entry->ref = info.dref;
        entries_.push_back(entry);
        found.push_back({info.model_name, maxRaw, value.sh << 8 | value.sl});
    }
    // The list is kept: the display references in it stay valid for the process's life.
    std::lock_guard lock(mutex_);
    monitors_ = std::move(found);
}

std::optional<float> DdcBacklight::readLevel() {
    std::optional<float> level;
    {
        std::lock_guard lock(mutex_);
        if (monitors_.empty())
            return std::nullopt;
        level =
            static_cast<float>(static_cast<double>(monitors_.front().currentRaw) / monitors_.front().maxRaw);
        if (refreshQueued_)
            return level;
        refreshQueued_ = true;
    }
    queue_.submit([this] { refresh(); });
    return level;
}

void DdcBacklight::refresh() {
    {
        std::lock_guard lock(mutex_);
        refreshQueued_ = false;
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        DDCA_Display_Handle handle = nullptr;
        if (ddca_open_display2(entries_[i]->ref, true, &handle) != 0)
            continue;
        DDCA_Non_Table_Vcp_Value value{};
        const bool ok = ddca_get_non_table_vcp_value(handle, kBrightness, &value) == 0;
        ddca_close_display(handle);
        std::lock_guard lock(mutex_);
        if (ok && i < monitors_.size())
            monitors_[i].currentRaw = value.sh << 8 | value.sl;
    }
}

bool DdcBacklight::writeLevel(float level) {
    {
        std::lock_guard lock(mutex_);
        if (monitors_.empty())
            return false;
        pendingLevel_ = level;
        if (writeQueued_)
            return true; // the queued write will take the newest level
        writeQueued_ = true;
    }
    queue_.submit([this] { writePending(); });
    return true;
}

void DdcBacklight::writePending() {
    std::optional<float> level;
    std::vector<int> maxima;
    {
        std::lock_guard lock(mutex_);
        level = std::exchange(pendingLevel_, std::nullopt);
        writeQueued_ = false;
        for (const Monitor& m : monitors_)
            maxima.push_back(m.maxRaw);
    }
    if (!level)
        return;
    for (std::size_t i = 0; i < entries_.size() && i < maxima.size(); ++i) {
        const auto raw = static_cast<int>(backlightRawValue(*level, maxima[i]));
        DDCA_Display_Handle handle = nullptr;
        if (ddca_open_display2(entries_[i]->ref, true, &handle) != 0)
            continue;
        const bool ok = ddca_set_non_table_vcp_value(handle, kBrightness, static_cast<uint8_t>(raw >> 8),
                                                     static_cast<uint8_t>(raw & 0xff)) == 0;
        ddca_close_display(handle);
        std::lock_guard lock(mutex_);
        if (ok)
            monitors_[i].currentRaw = raw;
    }
}

std::vector<DdcBacklight::Monitor> DdcBacklight::monitors() const {
    std::lock_guard lock(mutex_);
    return monitors_;
}

} // namespace mirl
