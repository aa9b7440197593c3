#include "journal/recording/RecordingParts.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <utility>

namespace mirl {

namespace fs = std::filesystem;

std::vector<fs::path> recordingParts(const fs::path& recording) {
    std::vector<fs::path> files;
    std::error_code ec;
    if (fs::is_regular_file(recording, ec))
        files.push_back(recording);
    const std::string prefix = recording.stem().string() + "-part";
    const std::string extension = recording.extension().string();
    std::vector<std::pair<unsigned long long, fs::path>> parts;
    for (fs::directory_iterator it(recording.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= prefix.size() + extension.size() || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
            continue;
        const char* first = name.data() + prefix.size();
        const char* last = name.data() + name.size() - extension.size();
        unsigned long long number = 0;
        const auto [stop, err] = std::from_chars(first, last, number);
        std::error_code kind;
        if (err != std::errc() || stop != last || !it->is_regular_file(kind))
            continue;
        parts.emplace_back(number, it->path());
    }
    std::sort(parts.begin(), parts.end());
    for (auto& [number, path] : parts)
        files.push_back(std::move(path));
    return files;
}

} // namespace mirl
