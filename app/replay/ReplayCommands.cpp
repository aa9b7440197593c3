#include "app/replay/ReplayCommands.h"

#include "detect/OfflineReplay.h"
#include "detect/classifier/FeatureSoundClassifier.h"
#include "journal/SessionLogger.h"
#include "platform/AudioFileReader.h"
#include "platform/linux/XdgPaths.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace mirl::replay {

namespace {

struct Opened {
    std::unique_ptr<AudioFileReader> reader;
    std::vector<float> first;
};

/// The reader with its first buffer, or nothing after writing the one-line error.
std::optional<Opened> openDecodable(const std::filesystem::path& file, std::FILE* err) {
    auto opened = openAudioFile(file);
    std::string why = opened.error;
    if (opened.reader && !(opened.reader->sampleRate() > 0))
        why = "no usable sample rate";
    if (opened.reader && why.empty()) {
        auto first = opened.reader->read(0, OfflineReplay::framesPerBuffer);
        if (!first.empty())
            return Opened{std::move(opened.reader), std::move(first)};
        why = "no audio could be decoded";
    }
    if (why.empty())
        why = "unknown error";
    std::fprintf(err, "mirl-replay: cannot decode %s: %s\n", file.c_str(), why.c_str());
    return std::nullopt;
}

} // namespace

int replayToLog(const std::filesystem::path& file, const std::filesystem::path& dataFolder, std::FILE* out,
                std::FILE* err) {
    auto opened = openDecodable(file, err);
    if (!opened)
        return exitUndecodable;

    // Virtual time starts at the moment of the replay, so the log gets a current stamp.
    VirtualScheduler scheduler(std::chrono::time_point_cast<std::chrono::seconds>(SystemClock().now()));
    SessionLogger logger(scheduler, dataFolder, xdg::osPrettyName());
    const auto files = logger.startSession();
    if (!logger.isOpen()) {
        std::fprintf(err, "mirl-replay: cannot write a session log under %s\n", dataFolder.c_str());
        return exitCannotWrite;
    }
    OfflineReplay replay(scheduler, logger, std::make_unique<FeatureSoundClassifier>());
    const auto summary = replay.run(*opened->reader, std::move(opened->first));
    logger.endSession("replay_end");
    if (const auto why = logger.writeError()) {
        std::fprintf(err, "mirl-replay: the session log %s is incomplete: %s\n", files.log.c_str(),
                     why->c_str());
        return exitCannotWrite;
    }
    std::fprintf(out, "%s\t%.1f s of audio, %zu buffers\n", files.log.c_str(), summary.audioSeconds,
                 summary.buffers);
    return exitOk;
}

int classifyToText(const std::filesystem::path& file, std::FILE* out, std::FILE* err) {
    auto opened = openDecodable(file, err);
    if (!opened)
        return exitUndecodable;
    FeatureSoundClassifier classifier;
    const double rate = opened->reader->sampleRate();
    auto print = [out](const ClassificationResult& result) {
        char start[32];
        std::snprintf(start, sizeof start, "%.2f", result.startSeconds);
        std::string line = start;
        for (std::size_t i = 0; i < result.labels.size() && i < 3; ++i) {
            char pair[160];
            std::snprintf(pair, sizeof pair, "\t%s:%.3f", result.labels[i].label.c_str(),
                          result.labels[i].confidence);
            line += pair;
        }
        std::fprintf(out, "%s\n", line.c_str());
    };
    std::int64_t position = 0;
    std::vector<float> samples = std::move(opened->first);
    while (!samples.empty()) {
        position += static_cast<std::int64_t>(samples.size());
        classifier.process(samples, rate, print);
        samples = opened->reader->read(position, OfflineReplay::framesPerBuffer);
    }
    if (std::fflush(out) != 0 || std::ferror(out)) {
        std::fprintf(err, "mirl-replay: cannot write the classifier's lines: %s\n", std::strerror(errno));
        return exitCannotWrite;
    }
    return exitOk;
}

} // namespace mirl::replay
