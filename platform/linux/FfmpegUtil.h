#pragma once

#include <string>

namespace mirl::ffmpeg {

/// FFmpeg's text for an error code.
std::string errorText(int code);

/// Silences FFmpeg's own console lines (encoder statistics, probing notes, and its error lines
/// too: every failure reaches Mirl as an error code, which Mirl reports in its own one line).
/// Called before Mirl's first use of FFmpeg; idempotent.
void quietLogs();

} // namespace mirl::ffmpeg
