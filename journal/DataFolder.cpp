#include "journal/DataFolder.h"

#include <sys/stat.h>

namespace mirl {

namespace fs = std::filesystem;

namespace {

void makeFolder(const fs::path& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec))
        return;
    if (path.has_parent_path() && path.parent_path() != path)
        makeFolder(path.parent_path());
    ::mkdir(path.c_str(), 0700);
}

} // namespace

void prepareDataFolder(const fs::path& root) {
    makeFolder(root);
    makeFolder(root / "sessions");
    makeFolder(root / "recordings");
}

} // namespace mirl
