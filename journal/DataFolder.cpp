#include "journal/DataFolder.h"

#include "runtime/PrivateFiles.h"

namespace mirl {

void prepareDataFolder(const std::filesystem::path& root) {
    for (const auto& folder : {root, root / "sessions", root / "recordings"})
        makePrivateFolder(folder); // a failure shows when a file cannot be created
}

} // namespace mirl
