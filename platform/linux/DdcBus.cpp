#include "platform/linux/DdcBus.h"

#include <ddcutil_c_api.h>

#include <cstdio>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace mirl {

namespace {

constexpr DDCA_Vcp_Feature_Code kBrightness = 0x10;

/// libddcutil, loaded at run time: a machine without it simply has no DDC monitors, and the
/// notes its initialisation prints on standard output (missing drm folders in containers) are
/// kept out of Mirl's output.
struct LibddcutilApi {
    void* library = nullptr;
    decltype(&ddca_get_display_info_list2) listDisplays = nullptr;
    decltype(&ddca_open_display2) open = nullptr;
    decltype(&ddca_close_display) close = nullptr;
    decltype(&ddca_get_non_table_vcp_value) get = nullptr;
    decltype(&ddca_set_non_table_vcp_value) set = nullptr;
    decltype(&ddca_set_fout) setFout = nullptr;
    decltype(&ddca_set_ferr) setFerr = nullptr;

    LibddcutilApi() {
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

class LibddcutilBus final : public DdcBus {
public:
    bool available() const override { return api_.usable(); }

    std::vector<Found> detect() override {
        std::vector<Found> found;
        if (!api_.usable())
            return found;
        // Its own notes go nowhere on this (the worker's) thread.
        if (api_.setFout && api_.setFerr) {
            api_.setFout(nullptr);
            api_.setFerr(nullptr);
        }
        DDCA_Display_Info_List* list = nullptr;
        if (api_.listDisplays(false, &list) != 0 || !list)
            return found;
        // The list is kept: the display references in it stay valid for the process's life.
        for (int i = 0; i < list->ct; ++i) {
            const DDCA_Display_Info& info = list->info[i];
            DDCA_Non_Table_Vcp_Value value{};
            if (!get(info.dref, value))
                continue;
            const int maxRaw = value.mh << 8 | value.ml;
            if (maxRaw <= 0)
                continue;
            refs_.push_back(info.dref);
            const std::string serial = info.sn;
            const std::string id = serial.empty()
                                       ? "i2c-" + std::to_string(info.path.path.i2c_busno)
                                       : std::string(info.mfg_id) + "-" + info.model_name + "-" + serial;
            found.push_back({info.model_name, maxRaw, value.sh << 8 | value.sl, id});
        }
        return found;
    }

    std::optional<int> read(std::size_t monitor) override {
        DDCA_Non_Table_Vcp_Value value{};
        if (monitor >= refs_.size() || !get(refs_[monitor], value))
            return std::nullopt;
        return value.sh << 8 | value.sl;
    }

    bool write(std::size_t monitor, int raw) override {
        if (monitor >= refs_.size())
            return false;
        DDCA_Display_Handle handle = nullptr;
        if (api_.open(refs_[monitor], true, &handle) != 0)
            return false;
        const bool ok = api_.set(handle, kBrightness, static_cast<uint8_t>(raw >> 8),
                                 static_cast<uint8_t>(raw & 0xff)) == 0;
        api_.close(handle);
        return ok;
    }

private:
    bool get(DDCA_Display_Ref ref, DDCA_Non_Table_Vcp_Value& value) {
        DDCA_Display_Handle handle = nullptr;
        if (api_.open(ref, true, &handle) != 0)
            return false;
        const bool ok = api_.get(handle, kBrightness, &value) == 0;
        api_.close(handle);
        return ok;
    }

    LibddcutilApi api_;
    std::vector<DDCA_Display_Ref> refs_;
};

} // namespace

std::unique_ptr<DdcBus> openLibddcutilBus() {
    return std::make_unique<LibddcutilBus>();
}

} // namespace mirl
