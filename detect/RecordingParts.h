#pragma once

#include <filesystem>
#include <mutex>
#include <optional>

namespace mirl {

/// The parts of a session recording. Part 1 is the location given at start; every later part
/// (a pipeline rebuild, or a new capture format within one build) lies beside it with "-part"
/// and its number before the extension: audio-2026-12-05-2253.m4a, then
/// audio-2026-12-05-2253-part2.m4a, audio-2026-12-05-2253-part3.m4a, ...
///
/// Thread rule: any thread; one mutex guards the index.
class RecordingParts {
public:
    /// The location of part `index + 1` of a recording that starts at `first`; nothing without one.
    static std::optional<std::filesystem::path> partPath(const std::optional<std::filesystem::path>& first,
                                                         int index);

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
    mutable std::mutex mutex_;
    std::optional<std::filesystem::path> first_;
    int index_ = 0;
};

} // namespace mirl
