#pragma once

#include "journal/annotations/AnnotationStore.h"
#include "journal/recording/AudioPlayerModel.h"
#include "platform/linux/PulseAudioPlayer.h"
#include "runtime/Clock.h"
#include "runtime/Console.h"
#include "runtime/Scheduler.h"
#include "runtime/SerialQueue.h"
#include "ui/review/ReviewWindow.h"

#include <filesystem>
#include <memory>
#include <optional>

namespace mirl {

/// One open review window with what it owns while it is open: the annotation store over the
/// data folder, the player model with its background queue and the PulseAudio players. The tray
/// application makes one when the user asks for the window and drops it when it closes.
/// Thread rule: main thread, with a QApplication.
class ReviewWindowHost {
public:
    ReviewWindowHost(const Clock& clock, Scheduler& mainThread, Console& console,
                     std::optional<std::filesystem::path> dataFolder);
    ~ReviewWindowHost();

    review::ReviewWindow& window() { return *window_; }

private:
    SerialQueue background_{"Mirl.RecordingPlayer"};
    PulseAudioPlayerFactory players_;
    AnnotationStore store_;
    AudioPlayerModel player_;
    std::unique_ptr<review::ReviewWindow> window_;
};

/// `mirl review`: the running Mirl's review window when one runs, else the window on its own;
/// returns the exit status.
int runReviewCommand(int argc, char** argv);

} // namespace mirl
