#include "platform/linux/FfmpegUtil.h"

extern "C" {
#include <libavutil/error.h>
}

namespace mirl::ffmpeg {

std::string errorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

} // namespace mirl::ffmpeg
