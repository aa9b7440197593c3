#pragma once

#include <filesystem>
#include <mutex>
#include <optional>

namespace mirl {

/// Which part of the session recording is being written. Part 1 is the location given at start;
/// every pipeline rebuild, and every new capture format within one build, moves on to the next
/// part, named by the recording's part rule (journal/recording/RecordingParts.h): "-part2",
/// "-part3", ... before the extension.
///
/// Thread rule: any thread; one mutex guards the index.
class RecordingParts {
public:
    /// A session starts: part 1 at `first` (nothing: no recording).
    void begin(std::optional<std::filesystem::path> first);
    /// Moves on to the next part and returns its location (nothing without a recording).
    std::optional<std::filesystem::path> advance();
    /// The session ends.
    void clear() { begin(std::nullopt); }

    /// Parts begun since the first (the part number minus one).
    int index() const;
    std::optional<std::filesystem::path> current() const;

private:
    std::optional<std::filesystem::path> currentLocked() const;

    mutable std::mutex mutex_;
    std::optional<std::filesystem::path> first_;
    int index_ = 0;
};

} // namespace mirl
