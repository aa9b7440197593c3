#pragma once

#include <string>

namespace mirl::ffmpeg {

/// FFmpeg's text for an error code.
std::string errorText(int code);

/// Silences FFmpeg's own console lines (encoder statistics, probing notes and its error lines):
/// every failure reaches the user once, in Mirl's words with `errorText`. Called before Mirl's
/// first use of FFmpeg; idempotent.
void quietLogs();

} // namespace mirl::ffmpeg
