// mirl-sound-synth: renders Mirl's wake sounds as seamless loops and encodes them to .m4a.
//   mirl-sound-synth <output folder> [name...]   (all five when no names are given)

#include "Voices.h"
#include "platform/AudioFileWriter.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: mirl-sound-synth <output folder> [name...]\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::set<std::string> wanted(argv + 2, argv + argc);
    unsigned seed = 1;
    int made = 0;
    for (const auto& voice : mirl::synth::wakeVoices()) {
        ++seed;
        if (!wanted.empty() && wanted.count(voice.name) == 0) {
            continue;
        }
        const auto loop = mirl::synth::renderLoop(voice, seed);
        const auto path = folder / (voice.name + ".m4a");
        // The encoder hears the loop's end before its start and its start after its end, as a
        // player looping it does, so that the codec leaves no noise at the seam; half a second
        // before, because the encoder takes a dozen blocks to settle.
        const std::size_t context = std::min<std::size_t>(mirl::synth::kRate / 2, loop.size());
        std::vector<float> heard(loop.end() - static_cast<std::ptrdiff_t>(context), loop.end());
        heard.insert(heard.end(), loop.begin(), loop.end());
        heard.insert(heard.end(), loop.begin(), loop.begin() + static_cast<std::ptrdiff_t>(context));
        auto created =
            mirl::createAacFile(path, mirl::synth::kRate, 1, 128000,
                                {static_cast<std::int64_t>(context), static_cast<std::int64_t>(loop.size())});
        if (!created.writer || !created.writer->write(heard.data(), heard.size()) ||
            !created.writer->close()) {
            std::fprintf(stderr, "mirl-sound-synth: %s: %s\n", path.c_str(),
                         created.writer ? created.writer->error().c_str() : created.error.c_str());
            return 1;
        }
        ++made;
    }
    if (made == 0 || (!wanted.empty() && made != static_cast<int>(wanted.size()))) {
        std::fprintf(stderr, "mirl-sound-synth: unknown sound name\n");
        return 2;
    }
    return 0;
}
