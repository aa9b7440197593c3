#pragma once

#include "detect/DetectionChain.h"
#include "detect/SoundClassifier.h"
#include "journal/EventSink.h"
#include "platform/AudioFileReader.h"
#include "runtime/VirtualScheduler.h"

#include <memory>

namespace mirl {

/// Plays decoded audio through the detection chain as a live capture would, at full speed:
/// 8192-frame buffers of channel 0, each handed over at the moment its last frame would have
/// been captured (the virtual clock follows the audio), the two work queues run inline, and the
/// main thread catches up after every buffer. The minute telemetry fires on audio time.
///
/// Nothing is known of the computer's loudspeakers or of keyboard and mouse use during a
/// recording: the playback probe answers no, and the idle time is the audio time since the
/// start (as if nobody touched the machine).
///
/// Thread rule: one thread (the caller's) drives everything.
class OfflineReplay {
public:
    static constexpr std::size_t framesPerBuffer = 8192;

    OfflineReplay(VirtualScheduler& scheduler, EventSink& events,
                  std::unique_ptr<SoundClassifier> classifier);
    ~OfflineReplay();

    struct Summary {
        double audioSeconds = 0;
        std::size_t buffers = 0;
    };
    /// Starts the chain, feeds the reader's audio from frame 0 to its end, runs what is due and
    /// stops the chain. `first`, when given, is the audio already read from frame 0 (so a
    /// caller can check that a file decodes before opening a log).
    Summary run(AudioFileReader& reader, std::vector<float> first = {});

    DetectionChain& chain() { return *chain_; }

private:
    class Probes;
    VirtualScheduler& scheduler_;
    std::unique_ptr<Probes> probes_;
    InlineExecutor analysisQueue_;
    InlineExecutor bandQueue_;
    std::unique_ptr<DetectionChain> chain_;
};

} // namespace mirl
