#pragma once

#include <cstdint>
#include <string_view>

namespace mirl {

/// Writes all of text to the file descriptor, retrying short writes and interruptions.
/// False when the descriptor refuses.
bool writeAll(int fd, std::string_view text);

/// The same at `offset` in the file (the descriptor's own position stays where it was).
bool writeAllAt(int fd, std::string_view text, std::int64_t offset);

} // namespace mirl
