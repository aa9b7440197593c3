#include "detect/OfflineReplay.h"

#include "platform/ActivityProbes.h"
#include "platform/OutputPlaybackProbe.h"

namespace mirl {

class OfflineReplay::Probes final : public ActivityProbes, public OutputPlaybackProbe {
public:
    explicit Probes(const Clock& clock) : clock_(clock), start_(clock.now()) {}
    std::optional<double> idleSeconds() override { return secondsBetween(start_, clock_.now()); }
    bool isMediaPlaybackActive() override { return false; }
    std::optional<double> readAmbientLux() override { return std::nullopt; }
    bool isOutputAudioPlaying() override { return false; }

private:
    const Clock& clock_;
    TimePoint start_;
};

OfflineReplay::OfflineReplay(VirtualScheduler& scheduler, EventSink& events,
                             std::unique_ptr<SoundClassifier> classifier)
    : scheduler_(scheduler), probes_(std::make_unique<Probes>(scheduler)) {
    chain_ = std::make_unique<DetectionChain>(
        DetectionChain::Deps{scheduler, scheduler, events, *probes_, *probes_, analysisQueue_, bandQueue_},
        std::move(classifier));
}

OfflineReplay::~OfflineReplay() = default;

OfflineReplay::Summary OfflineReplay::run(AudioFileReader& reader, std::vector<float> first) {
    const double rate = reader.sampleRate();
    const int channels = reader.channels();
    const TimePoint start = scheduler_.now();
    chain_->start();
    Summary summary;
    std::int64_t position = 0;
    std::vector<float> samples = std::move(first);
    if (samples.size() > framesPerBuffer)
        samples.resize(framesPerBuffer);
    if (samples.empty())
        samples = reader.read(0, framesPerBuffer);
    while (!samples.empty() && rate > 0) {
        const std::int64_t sampleTime = position;
        position += static_cast<std::int64_t>(samples.size());
        scheduler_.advanceTo(start + toDuration(static_cast<double>(position) / rate));
        chain_->handleBuffer(CapturedBuffer{samples.data(), samples.size(), rate, channels, sampleTime});
        scheduler_.runDue();
        ++summary.buffers;
        samples = reader.read(position, framesPerBuffer);
    }
    chain_->stop();
    scheduler_.runDue();
    summary.audioSeconds = rate > 0 ? static_cast<double>(position) / rate : 0;
    return summary;
}

} // namespace mirl
