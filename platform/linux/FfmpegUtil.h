#pragma once

#include <string>

namespace mirl::ffmpeg {

/// FFmpeg's text for an error code.
std::string errorText(int code);

} // namespace mirl::ffmpeg
