#include "journal/recording/AudioPlayerModel.h"

#include "journal/recording/RecordingParts.h"
#include "platform/ChainedAudioPlayer.h"
#include "platform/ConcatenatedAudioFileReader.h"

#include <algorithm>
#include <cmath>

namespace mirl {

namespace fs = std::filesystem;

namespace {

/// "file://" and the path with every byte but letters, digits, "-._~" and "/" percent-encoded.
std::string fileUrl(const fs::path& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (const unsigned char c : path.string()) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
    return url;
}

} // namespace

AudioPlayerModel::AudioPlayerModel(Deps deps) : deps_(std::move(deps)) {}

AudioPlayerModel::~AudioPlayerModel() {
    if (cancelAnalysis_)
        *cancelAnalysis_ = true;
}

void AudioPlayerModel::load(const fs::path& recording) {
    if (url.get() == recording)
        return;
    unload();
    url.set(recording);
    problem.set({});
    isLoading.set(true);

    const std::vector<fs::path> files = recordingParts(recording);
    const std::uint64_t generation = ++generation_;
    cancelAnalysis_ = std::make_shared<std::atomic<bool>>(false);
    Scheduler& mainThread = deps_.mainThread;

    // The player opens in the background too: the sound server's answers, and a night recorded
    // without a seek index is read through before it can play. Queued first, it is ready long
    // before the pictures.
    auto playerOpened =
        lifetime_.guard([this, generation](const std::shared_ptr<AudioPlayerFactory::Opened>& opened) {
            this->playerOpened(generation, std::move(*opened));
        });
    deps_.background.submit([files, &players = deps_.players, &mainThread, playerOpened] {
        auto opened = std::make_shared<AudioPlayerFactory::Opened>(
            files.empty() ? AudioPlayerFactory::Opened{nullptr, "no such file"}
                          : ChainedAudioPlayer::open(files, players));
        mainThread.post([playerOpened, opened]() mutable { playerOpened(opened); });
    });

    auto deliver = lifetime_.guard([this, generation](RecordingPictures pictures, std::string error) {
        this->deliver(generation, std::move(pictures), std::move(error));
    });
    deps_.background.submit([files, recording, open = deps_.openReader, cancel = cancelAnalysis_, &mainThread,
                             deliver]() mutable {
        RecordingPictures pictures;
        std::string error;
        auto opened = files.empty()
                          ? OpenedAudioFile{nullptr, "cannot open " + recording.string() + ": not found"}
                          : ConcatenatedAudioFileReader::open(files, open);
        if (opened.reader)
            pictures = analyzeRecording(*opened.reader, cancel.get());
        else
            error = opened.error;
        mainThread.post([deliver, pictures = std::move(pictures), error = std::move(error)]() mutable {
            deliver(std::move(pictures), std::move(error));
        });
    });
}

std::string AudioPlayerModel::withoutFolder(std::string error) const {
    // The window names the file; the folder is long and the same for every part.
    const std::string folder = url.get() ? url.get()->parent_path().string() + "/" : std::string();
    if (folder.size() > 1)
        for (auto at = error.find(folder); at != std::string::npos; at = error.find(folder, at))
            error.erase(at, folder.size());
    return error;
}

void AudioPlayerModel::playerOpened(std::uint64_t generation, AudioPlayerFactory::Opened opened) {
    if (generation != generation_)
        return; // another file was loaded meanwhile; this player goes unused
    if (!opened.player) {
        deps_.console.line("Mirl: AudioPlayer failed to load " + fileUrl(*url.get()) + ": " + opened.error);
        problem.set("This recording cannot be played (" + withoutFolder(opened.error) + ").");
        return;
    }
    player_ = std::move(opened.player);
    player_->onFinished = lifetime_.guard([this] { playerFinished(); });
    duration.set(std::max(duration.get(), player_->duration()));
    canPlay.set(true);
}

void AudioPlayerModel::unload() {
    ticker_.cancel();
    if (player_) {
        player_->onFinished = nullptr;
        player_->stop();
        player_.reset();
    }
    canPlay.set(false);
    if (cancelAnalysis_)
        *cancelAnalysis_ = true;
    cancelAnalysis_.reset();
    ++generation_; // a result still on its way belongs to nothing now
    url.set(std::nullopt);
    duration.set(0);
    currentTime.set(0);
    isPlaying.set(false);
    peaks.set({});
    spectrogram.set(nullptr);
    problem.set({});
    isLoading.set(false); // the analysis on its way will be dropped, so nothing else would clear it
}

void AudioPlayerModel::deliver(std::uint64_t generation, RecordingPictures pictures, std::string error) {
    if (generation != generation_)
        return;
    cancelAnalysis_.reset();
    peaks.set(std::move(pictures.peaks));
    spectrogram.set(std::move(pictures.spectrogram));
    if (pictures.durationSeconds > 0) // a file the reader cannot measure keeps the player's duration
        duration.set(pictures.durationSeconds);
    if (!error.empty() && problem.get().empty())
        problem.set("This recording cannot be read (" + withoutFolder(error) + ").");
    isLoading.set(false);
}

void AudioPlayerModel::togglePlay() {
    if (!player_)
        return;
    if (player_->isPlaying()) {
        player_->pause();
        isPlaying.set(false);
        ticker_.cancel();
    } else {
        player_->play();
        isPlaying.set(true);
        startTicker();
    }
}

void AudioPlayerModel::startTicker() {
    ticker_ = deps_.mainThread.every(std::chrono::milliseconds(100), [this] {
        if (player_)
            currentTime.set(player_->currentTime());
    });
}

void AudioPlayerModel::skip(double seconds) {
    seek(currentTime.get() + seconds);
}

void AudioPlayerModel::seek(double seconds) {
    if (!player_ || std::isnan(seconds))
        return;
    player_->seek(std::clamp(seconds, 0.0, std::max(0.0, duration.get())));
    currentTime.set(player_->currentTime());
}

void AudioPlayerModel::playerFinished() {
    isPlaying.set(false);
    ticker_.cancel();
}

} // namespace mirl
