#pragma once

#include <string_view>

namespace mirl {

/// Writes all of text to the file descriptor, retrying short writes and interruptions.
/// False when the descriptor refuses.
bool writeAll(int fd, std::string_view text);

} // namespace mirl
