// mirl-replay: runs a recorded night through the sleep detectors at full speed.

#include "app/replay/ReplayCommands.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

using namespace mirl;

namespace {

void usage(std::FILE* to) {
    std::fprintf(to, "Usage: mirl-replay FILE --out DIR\n"
                     "       mirl-replay --classify FILE\n"
                     "Replays an audio file through the sleep detectors and writes a session log under DIR\n"
                     "(DIR/sessions/), or prints the sound classifier's top three labels per window.\n");
}

} // namespace

int main(int argc, char** argv) {
    std::optional<std::string> file, out;
    bool classify = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            usage(stdout);
            return replay::exitOk;
        }
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc && !out) {
            out = argv[++i];
        } else if (std::strcmp(argv[i], "--classify") == 0 && !classify) {
            classify = true;
        } else if (argv[i][0] != '-' && !file) {
            file = argv[i];
        } else {
            std::fprintf(stderr, "mirl-replay: unexpected argument %s\n", argv[i]);
            usage(stderr);
            return replay::exitUsage;
        }
    }
    if (!file || classify == out.has_value()) {
        usage(stderr);
        return replay::exitUsage;
    }
    if (classify)
        return replay::classifyToText(*file, stdout, stderr);
    return replay::replayToLog(*file, *out, stdout, stderr);
}
