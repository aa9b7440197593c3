#pragma once

#include "platform/Resources.h"

#include <vector>

namespace mirl {

/// Finds Mirl's sounds next to the running program ("<bin>/../share/mirl/sounds", which is
/// both the build tree's and an installation's layout), then under the install prefix.
class InstalledResources final : public Resources {
public:
    InstalledResources();
    /// Looks only in these folders (tests).
    explicit InstalledResources(std::vector<std::filesystem::path> soundFolders);

    std::optional<std::filesystem::path> sound(std::string_view name, std::string_view extension) override;
    const std::vector<std::filesystem::path>& soundFolders() const { return folders_; }

private:
    std::vector<std::filesystem::path> folders_;
};

} // namespace mirl
