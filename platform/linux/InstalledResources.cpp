#include "platform/linux/InstalledResources.h"

#include <system_error>

#ifndef MIRL_INSTALL_DATADIR
#define MIRL_INSTALL_DATADIR "/usr/local/share/mirl"
#endif

namespace mirl {

InstalledResources::InstalledResources() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        folders_.push_back(exe.parent_path().parent_path() / "share" / "mirl" / "sounds");
    }
    folders_.push_back(std::filesystem::path(MIRL_INSTALL_DATADIR) / "sounds");
}

InstalledResources::InstalledResources(std::vector<std::filesystem::path> soundFolders)
    : folders_(std::move(soundFolders)) {}

std::optional<std::filesystem::path> InstalledResources::sound(std::string_view name,
                                                               std::string_view extension) {
    const std::string file = std::string(name) + "." + std::string(extension);
    for (const auto& folder : folders_) {
        std::error_code ec;
        const auto path = folder / file;
        if (std::filesystem::is_regular_file(path, ec)) {
            return path;
        }
    }
    return std::nullopt;
}

} // namespace mirl
