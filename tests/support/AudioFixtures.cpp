#include "tests/support/AudioFixtures.h"

#include "platform/AudioFileReader.h"
#include "tests/support/TestPaths.h"

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace mirl::test {

int shell(const std::string& command) {
    const int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

std::vector<float> decodeChannel0WithCli(const std::filesystem::path& path) {
    TempDir dir;
    const auto raw = dir.path() / "channel0.f32";
    const std::string command = "ffmpeg -nostdin -loglevel error -y -i '" + path.string() +
                                "' -af 'pan=mono|c0=c0' -f f32le -c:a pcm_f32le '" + raw.string() + "'";
    if (shell(command) != 0) {
        return {};
    }
    const std::string bytes = readFile(raw);
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    return samples;
}

std::vector<float> readAllSequentially(const std::filesystem::path& path) {
    auto opened = openAudioFile(path);
    std::vector<float> all;
    if (!opened.reader) {
        return all;
    }
    for (;;) {
        auto block = opened.reader->read(static_cast<std::int64_t>(all.size()), 2048);
        if (block.empty()) {
            return all;
        }
        all.insert(all.end(), block.begin(), block.end());
    }
}

double rms(const std::vector<float>& samples, std::size_t from, std::size_t to) {
    to = std::min(to, samples.size());
    if (from >= to) {
        return 0.0;
    }
    double sum = 0.0;
    for (std::size_t i = from; i < to; ++i) {
        sum += static_cast<double>(samples[i]) * samples[i];
    }
    return std::sqrt(sum / static_cast<double>(to - from));
}

} // namespace mirl::test
