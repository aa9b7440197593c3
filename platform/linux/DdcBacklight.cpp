#include "platform/linux/DdcBacklight.h"

#include <ddcutil_c_api.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace mirl {

namespace {
constexpr DDCA_Vcp_Feature_Code kBrightness = 0x10;
} // namespace

/// libddcutil, loaded at run time: a machine without it simply has no DDC monitors, and the
/// notes its initialisation prints on standard output (missing drm folders in containers) are
/// kept out of Mirl's output.
struct DdcBacklight::Api {
    void* library = nullptr;
    decltype(&ddca_get_display_info_list2) listDisplays = nullptr;
    decltype(&ddca_open_display2) open = nullptr;
    decltype(&ddca_close_display) close = nullptr;
    decltype(&ddca_get_non_table_vcp_value) get = nullptr;
    decltype(&ddca_set_non_table_vcp_value) set = nullptr;
    decltype(&ddca_set_fout) setFout = nullptr;
    decltype(&ddca_set_ferr) setFerr = nullptr;

    Api() {
        std::fflush(stdout);
        const int saved = ::dup(STDOUT_FILENO);
        if (const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC); devNull >= 0) {
            ::dup2(devNull, STDOUT_FILENO);
            ::close(devNull);
        }
        for (const char* name : {"libddcutil.so.4", "libddcutil.so.5", "libddcutil.so"}) {
            library = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
            if (library)
                break;
        }
        std::fflush(stdout);
        if (saved >= 0) {
            ::dup2(saved, STDOUT_FILENO);
            ::close(saved);
        }
        if (!library)
            return;
        listDisplays =
            reinterpret_cast<decltype(listDisplays)>(::dlsym(library, "ddca_get_display_info_list2"));
        open = reinterpret_cast<decltype(open)>(::dlsym(library, "ddca_open_display2"));
        close = reinterpret_cast<decltype(close)>(::dlsym(library, "ddca_close_display"));
        get = reinterpret_cast<decltype(get)>(::dlsym(library, "ddca_get_non_table_vcp_value"));
        set = reinterpret_cast<decltype(set)>(::dlsym(library, "ddca_set_non_table_vcp_value"));
        setFout = reinterpret_cast<decltype(setFout)>(::dlsym(library, "ddca_set_fout"));
        setFerr = reinterpret_cast<decltype(setFerr)>(::dlsym(library, "ddca_set_ferr"));
    }
    // The library stays loaded: display references it handed out live inside it.
    bool usable() const { return listDisplays && open && close && get && set; }
};

struct DdcBacklight::Entry {
    DDCA_Display_Ref ref = nullptr;
};

DdcBacklight::DdcBacklight() : api_(std::make_unique<Api>()) {
    if (api_->usable())
        queue_.submit([this] { detect(); });
    else
        detected_ = true;
}

DdcBacklight::~DdcBacklight() {
    queue_.waitIdle();
}

void DdcBacklight::detect() {
    // libddcutil chats on stdout and stderr (missing drm folders, hotplug notes); its
    // per-thread output goes nowhere on this worker.
    if (api_->setFout && api_->setFerr) {
        api_->setFout(nullptr);
        api_->setFerr(nullptr);
    }
    DDCA_Display_Info_List* list = nullptr;
    if (api_->listDisplays(false, &list) != 0 || !list) {
        std::lock_guard lock(mutex_);
        detected_ = true;
        return;
    }
    std::vector<Monitor> found;
    for (int i = 0; i < list->ct; ++i) {
        const DDCA_Display_Info& info = list->info[i];
        DDCA_Display_Handle handle = nullptr;
        if (api_->open(info.dref, true, &handle) != 0)
            continue;
        DDCA_Non_Table_Vcp_Value value{};
        const bool ok = api_->get(handle, kBrightness, &value) == 0;
        api_->close(handle);
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
    detected_ = true;
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
        if (api_->open(entries_[i]->ref, true, &handle) != 0)
            continue;
        DDCA_Non_Table_Vcp_Value value{};
        const bool ok = api_->get(handle, kBrightness, &value) == 0;
        api_->close(handle);
        std::lock_guard lock(mutex_);
        if (ok && i < monitors_.size())
            monitors_[i].currentRaw = value.sh << 8 | value.sl;
    }
}

bool DdcBacklight::writeLevel(float level) {
    {
        std::lock_guard lock(mutex_);
        if (detected_ && monitors_.empty())
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
        if (api_->open(entries_[i]->ref, true, &handle) != 0)
            continue;
        const bool ok = api_->set(handle, kBrightness, static_cast<uint8_t>(raw >> 8),
                                  static_cast<uint8_t>(raw & 0xff)) == 0;
        api_->close(handle);
        std::lock_guard lock(mutex_);
        if (ok)
            monitors_[i].currentRaw = raw;
    }
}

bool DdcBacklight::libraryLoaded() const {
    return api_->usable();
}

std::vector<DdcBacklight::Monitor> DdcBacklight::monitors() const {
    std::lock_guard lock(mutex_);
    return monitors_;
}

} // namespace mirl
