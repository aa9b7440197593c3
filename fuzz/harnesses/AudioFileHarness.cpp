#include "fuzz/harnesses/Harnesses.h"
#include "journal/recording/RecordingAnalysis.h"
#include "platform/AudioFileReader.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace mirl::fuzz {

namespace {

namespace fs = std::filesystem;

struct Folder {
    Folder() {
        char pattern[] = "/tmp/mirl-fuzz-XXXXXX";
        path = ::mkdtemp(pattern);
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
};

} // namespace

/// The input is one byte naming the file's extension, a few bytes of read positions, then the
/// file itself.
void audioFile(Input input) {
    static Folder folder;
    static constexpr const char* kNames[] = {"a.wav", "a.flac", "a.m4a",  "a.ogg",
                                             "a.mp3", "a.caf",  "a.aiff", "a"};
    Bytes bytes(input);
    const fs::path file = folder.path / kNames[bytes.byte() % std::size(kNames)];
    const std::uint32_t jump = bytes.u32();
    const std::uint16_t count = bytes.u16();
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        const Input content = bytes.rest();
        out.write(reinterpret_cast<const char*>(content.data()),
                  static_cast<std::streamsize>(content.size()));
    }
    auto opened = openAudioFile(file);
    if (!opened.reader) {
        // A refusal is one line that says why.
        FUZZ_CHECK(!opened.error.empty() && opened.error.find('\n') == std::string::npos);
        return;
    }
    AudioFileReader& reader = *opened.reader;
    FUZZ_CHECK(reader.sampleRate() > 0 && std::isfinite(reader.sampleRate()));
    FUZZ_CHECK(reader.channels() > 0);
    FUZZ_CHECK(reader.lengthFrames() >= 0);
    // Reads in order, a jump, and one back at the start: never more than asked for.
    std::int64_t position = 0;
    for (int i = 0; i < 4; ++i) {
        const auto got = reader.read(position, 8192);
        FUZZ_CHECK(got.size() <= 8192);
        position += static_cast<std::int64_t>(got.size());
    }
    FUZZ_CHECK(reader.read(jump, count).size() <= count);
    FUZZ_CHECK(reader.read(0, 4096).size() <= 4096);
    const RecordingPictures pictures = analyzeRecording(reader);
    FUZZ_CHECK(pictures.peaks.size() <= static_cast<std::size_t>(recording::kMaxFrames) + 1);
    FUZZ_CHECK(std::isfinite(pictures.durationSeconds) && pictures.durationSeconds >= 0);
    for (float peak : pictures.peaks)
        FUZZ_CHECK(std::isfinite(peak));
    if (pictures.spectrogram)
        FUZZ_CHECK(pictures.spectrogram->pixels.size() ==
                   static_cast<std::size_t>(pictures.spectrogram->width) * recording::kSpectrumBins * 4);
}

} // namespace mirl::fuzz
