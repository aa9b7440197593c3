#pragma once

#include <string>

namespace mirl::ffmpeg {

/// FFmpeg's text for an error code.
std::string errorText(int code);

/// Keeps FFmpeg's own console chatter (encoder statistics, probing notes) to errors. Called
/// before Mirl's first use of FFmpeg; idempotent.
void quietLogs();

} // namespace mirl::ffmpeg
