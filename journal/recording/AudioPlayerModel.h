#pragma once

#include "journal/recording/RecordingAnalysis.h"
#include "platform/AudioFileReader.h"
#include "platform/AudioPlayer.h"
#include "runtime/Console.h"
#include "runtime/Executor.h"
#include "runtime/Lifetime.h"
#include "runtime/Published.h"
#include "runtime/Scheduler.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mirl {

/// The review window's recording: plays one recording at a time (all of its "-part" files as
/// one night), publishes the playhead ten times a second while playing, and computes its
/// waveform peaks and spectrogram in the background.
///
/// Thread rule: every member belongs to the main thread. Opening the player and the analysis
/// (with its own reader) run on the background executor and touch nothing of the model; their
/// results come back through the scheduler and are dropped when another file was loaded
/// meanwhile (or the model is gone). Until the player is back, `canPlay` is false.
class AudioPlayerModel {
public:
    struct Deps {
        Scheduler& mainThread;
        /// Where players open and the analysis runs, in submission order (a SerialQueue). Its
        /// owner lets it finish its tasks before `players` goes.
        Executor& background;
        /// Opens players on the background executor.
        AudioPlayerFactory& players;
        /// Opens a reader for the analysis; called on the analysis executor.
        std::function<OpenedAudioFile(const std::filesystem::path&)> openReader;
        Console& console;
    };

    explicit AudioPlayerModel(Deps deps);
    ~AudioPlayerModel();

    Published<std::optional<std::filesystem::path>> url;
    /// Seconds; 0 when nothing is loaded.
    Published<double> duration{0};
    Published<double> currentTime{0};
    Published<bool> isPlaying{false};
    Published<std::vector<float>> peaks;
    Published<std::shared_ptr<const RgbaImage>> spectrogram;
    /// True while the analysis runs.
    Published<bool> isLoading{false};
    /// True once the player is open (it opens in the background); play, skip and seek need it.
    Published<bool> canPlay{false};
    /// Why the recording cannot be played or pictured, for the window to say (files named
    /// without their folder); empty when fine.
    Published<std::string> problem;

    /// Loads a recording (with its later parts) and starts its analysis; nothing when that
    /// location is loaded already.
    void load(const std::filesystem::path& recording);
    /// Stops everything and clears the model.
    void unload();
    void togglePlay();
    void skip(double seconds);
    void seek(double seconds);

private:
    void startTicker();
    void playerOpened(std::uint64_t generation, AudioPlayerFactory::Opened opened);
    void deliver(std::uint64_t generation, RecordingPictures pictures, std::string error);
    void playerFinished();
    std::string withoutFolder(std::string error) const;

    Deps deps_;
    std::unique_ptr<AudioPlayer> player_;
    Handle ticker_;
    std::uint64_t generation_ = 0;
    std::shared_ptr<std::atomic<bool>> cancelAnalysis_;
    Lifetime lifetime_;
};

} // namespace mirl
