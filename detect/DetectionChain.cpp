#include "detect/DetectionChain.h"

#include <algorithm>
#include <cmath>

namespace mirl {

DetectionChain::DetectionChain(Deps deps, std::unique_ptr<SoundClassifier> classifier)
    : deps_(deps), phase_(deps.clock, deps.events, deps.playback),
      classification_(deps.mainThread, deps.analysisQueue, std::move(classifier), phase_),
      breath_(deps.clock, deps.mainThread, deps.events),
      band_(deps.clock, deps.mainThread, deps.bandQueue, deps.events), level_(deps.mainThread) {}

DetectionChain::~DetectionChain() = default;

void DetectionChain::start() {
    start(Detectors{});
}

void DetectionChain::start(Detectors detectors) {
    breathRateOn_ = detectors.breathRate;
    breathBandOn_ = detectors.breathBand;
    started_ = true;
    breath_.setEnabled(detectors.breathRate);
    // A band detector switched off must not show an earlier session's asleep time: a rate of 0
    // leaves it stopped with its published values cleared, and writes nothing.
    if (!detectors.breathBand)
        band_.configure(0);
    breath_.setSessionStartedAt(deps_.clock.now());
    telemetryTimer_ =
        deps_.mainThread.every(toDuration(telemetryPeriodSeconds), [this] { reportTelemetry(); });
}

void DetectionChain::stop() {
    started_ = false;
    resetFormat();
    phase_.reset();
    breath_.setEnabled(false);
    breath_.reset();
    band_.stop();
    telemetryTimer_.cancel();
    level_.reset();
}

void DetectionChain::resetFormat() {
    std::lock_guard lock(formatMutex_);
    analysisFormat_.reset();
    classification_.clear();
}

CapturedBuffer DetectionChain::cleaned(const CapturedBuffer& buffer) {
    const auto samples = buffer.samples();
    const auto wild = [](float x) { return !(std::abs(x) <= sampleLimit); }; // NaN included
    if (std::none_of(samples.begin(), samples.end(), wild))
        return buffer;
    clean_.assign(samples.begin(), samples.end());
    for (float& x : clean_)
        x = std::isfinite(x) ? std::clamp(x, -sampleLimit, sampleLimit) : 0.0f;
    CapturedBuffer copy = buffer;
    copy.channel0 = clean_.data();
    return copy;
}

void DetectionChain::handleBuffer(const CapturedBuffer& captured) {
    // A buffer at an absurd rate would set the detectors up with absurd block sizes.
    if (!started_ || !captured.hasAnalysableRate())
        return;
    // A NaN or an absurd value from a broken driver or file would poison every level and
    // filter downstream, and a non-finite level cannot be written to the journal at all.
    const CapturedBuffer buffer = cleaned(captured);
    ensureSetUp(buffer);
    classification_.process(buffer);
    if (breathRateOn_)
        breath_.process(buffer);
    if (breathBandOn_)
        band_.process(buffer);
    level_.process(buffer);
}

void DetectionChain::ensureSetUp(const CapturedBuffer& buffer) {
    std::lock_guard lock(formatMutex_);
    if (analysisFormat_ && analysisFormat_->sampleRate == buffer.sampleRate &&
        analysisFormat_->channels == buffer.channels)
        return;
    if (buffer.channels == 0)
        return;
    classification_.restart();
    if (breathBandOn_)
        band_.configure(buffer.sampleRate);
    analysisFormat_ = Format{buffer.sampleRate, buffer.channels};
    deps_.mainThread.post(lifetime_.guard([this, rate = buffer.sampleRate, channels = buffer.channels] {
        deps_.events.log("audio_analysis_ready",
                         {{"real_sample_rate", rate}, {"real_channels", static_cast<long long>(channels)}});
    }));
}

void DetectionChain::reportTelemetry() {
    const LevelMeter::Report report = level_.takeReport();
    // An unknown idle time is written as null: 0 would read as somebody at the keyboard.
    const std::optional<double> idle = deps_.activity.idleSeconds();
    deps_.events.log("telemetry", {{"avg_rms", report.avgRms},
                                   {"rms_samples", report.buffers},
                                   {"user_idle_seconds", idle ? EventPayload(*idle) : EventPayload()},
                                   {"phase", rawValue(phase_.phase.get())}});
}

} // namespace mirl
