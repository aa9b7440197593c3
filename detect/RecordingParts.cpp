#include "detect/RecordingParts.h"

#include <string>

namespace mirl {

std::optional<std::filesystem::path>
RecordingParts::partPath(const std::optional<std::filesystem::path>& first, int index) {
    if (!first) {
        return std::nullopt;
    }
    if (index <= 0) {
        return first;
    }
    std::filesystem::path part = *first;
    part.replace_filename(first->stem().string() + "-part" + std::to_string(index + 1) +
                          first->extension().string());
    return part;
}

void RecordingParts::begin(std::optional<std::filesystem::path> first) {
    std::lock_guard lock(mutex_);
    first_ = std::move(first);
    index_ = 0;
}

std::optional<std::filesystem::path> RecordingParts::advance() {
    std::lock_guard lock(mutex_);
    ++index_;
    return partPath(first_, index_);
}

int RecordingParts::index() const {
    std::lock_guard lock(mutex_);
    return index_;
}

std::optional<std::filesystem::path> RecordingParts::current() const {
    std::lock_guard lock(mutex_);
    return partPath(first_, index_);
}

} // namespace mirl
