#include "journal/recording/RecordingParts.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <utility>

namespace mirl {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPartMark = "-part";

} // namespace

fs::path recordingPartPath(const fs::path& recording, int part) {
    if (part <= 1)
        return recording;
    fs::path path = recording;
    path.replace_filename(recording.stem().string() + std::string(kPartMark) + std::to_string(part) +
                          recording.extension().string());
    return path;
}

std::optional<int> recordingPartNumber(const fs::path& recording, const fs::path& file) {
    if (file.parent_path() != recording.parent_path())
        return std::nullopt;
    if (file.filename() == recording.filename())
        return 1;
    const std::string prefix = recording.stem().string() + std::string(kPartMark);
    const std::string extension = recording.extension().string();
    const std::string name = file.filename().string();
    if (name.size() <= prefix.size() + extension.size() || !name.starts_with(prefix) ||
        !name.ends_with(extension))
        return std::nullopt;
    const std::string_view digits(name.data() + prefix.size(),
                                  name.size() - prefix.size() - extension.size());
    if (digits.front() == '0') // written without leading zeros
        return std::nullopt;
    int number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size() || number < 2)
        return std::nullopt;
    return number;
}

std::vector<fs::path> recordingParts(const fs::path& recording) {
    std::vector<fs::path> files;
    std::error_code ec;
    if (fs::is_regular_file(recording, ec))
        files.push_back(recording);
    std::vector<std::pair<int, fs::path>> parts;
    for (fs::directory_iterator it(recording.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
        const auto number = recordingPartNumber(recording, it->path());
        std::error_code kind;
        if (!number || *number < 2 || !it->is_regular_file(kind))
            continue;
        parts.emplace_back(*number, it->path());
    }
    std::sort(parts.begin(), parts.end());
    for (auto& [number, path] : parts)
        files.push_back(std::move(path));
    return files;
}

} // namespace mirl
