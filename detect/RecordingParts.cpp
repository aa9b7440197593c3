#include "detect/RecordingParts.h"

#include "journal/recording/RecordingParts.h"

namespace mirl {

std::optional<std::filesystem::path> RecordingParts::currentLocked() const {
    if (!first_) {
        return std::nullopt;
    }
    return recordingPartPath(*first_, index_ + 1);
}

void RecordingParts::begin(std::optional<std::filesystem::path> first) {
    std::lock_guard lock(mutex_);
    first_ = std::move(first);
    index_ = 0;
}

std::optional<std::filesystem::path> RecordingParts::advance() {
    std::lock_guard lock(mutex_);
    ++index_;
    return currentLocked();
}

int RecordingParts::index() const {
    std::lock_guard lock(mutex_);
    return index_;
}

std::optional<std::filesystem::path> RecordingParts::current() const {
    std::lock_guard lock(mutex_);
    return currentLocked();
}

} // namespace mirl
