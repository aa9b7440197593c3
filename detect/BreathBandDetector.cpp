#include "detect/BreathBandDetector.h"

#include "detect/RunAndWait.h"
#include "detect/SignalLevel.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace mirl {

struct BreathBandDetector::Signal {
    Signal(const Clock& c, Scheduler& m) : clock(c), mainThread(m) {}

    void reset(double rate);
    void processBuffer(std::span<float> x);
    void blockStep(double level);

    const Clock& clock;
    Scheduler& mainThread;

    // Queue-confined.
    bool enabled = false;
    double sampleRate = 0;
    std::optional<TimePoint> startDate;
    BiquadState lpState, hpState;
    BiquadCoeffs lpCoeffs, hpCoeffs;
    float preEmphLast = 0;
    std::vector<float> blockBuffer;
    std::size_t blockCapacity = 0;
    BreathBandRule rule;

    // Copies of the published values, stored by the main thread after it publishes them.
    std::atomic<bool> hasBaseline{false};
    std::atomic<double> baseline{0.0};
    std::atomic<bool> asleep{false};

    // Main-thread hand-overs, guarded by the detector's lifetime.
    std::function<void(MainUpdate)> update;
    std::function<void(EventPayload)> logAsleep;
};

void BreathBandDetector::Signal::reset(double rate) {
    sampleRate = rate;
    startDate = clock.now();
    rule.reset();
    preEmphLast = 0;
    lpState = {};
    hpState = {};
    // The block being filled is kept: after a rebuild its samples open the first block of the
    // new format (which then closes at the first sample that reaches the new capacity).
    const double capacity = rate * 0.5;
    if (!std::isfinite(capacity) || capacity < 1.0) {
        enabled = false;
        blockCapacity = 0;
        return;
    }
    const auto fs = static_cast<float>(rate);
    lpCoeffs = lowPass800(fs);
    hpCoeffs = highPass50(fs);
    blockCapacity = static_cast<std::size_t>(capacity);
    blockBuffer.reserve(blockCapacity);
    enabled = true;
}

void BreathBandDetector::Signal::processBuffer(std::span<float> x) {
    if (!enabled)
        return;
    runBandFilter(x, hpCoeffs, hpState, lpCoeffs, lpState, preEmphLast);
    std::size_t i = 0;
    while (i < x.size()) {
        // A block left over from a format with longer blocks closes at the next sample.
        const std::size_t room = blockBuffer.size() < blockCapacity ? blockCapacity - blockBuffer.size() : 1;
        const std::size_t take = std::min(room, x.size() - i);
        blockBuffer.insert(blockBuffer.end(), x.begin() + static_cast<std::ptrdiff_t>(i),
                           x.begin() + static_cast<std::ptrdiff_t>(i + take));
        i += take;
        if (blockBuffer.size() >= blockCapacity) {
            const float level = rootMeanSquare(blockBuffer);
            blockBuffer.clear();
            blockStep(level);
        }
    }
}

void BreathBandDetector::Signal::blockStep(double level) {
    if (!startDate)
        return;
    const double t = secondsBetween(*startDate, clock.now());
    std::optional<double> published;
    if (hasBaseline.load())
        published = baseline.load();
    const auto out = rule.step(t, level, published, asleep.load());
    if (out.fired) {
        const auto& f = *out.fired;
        mainThread.post([log = logAsleep, payload = EventPayload{{"t_from_start", f.t},
                                                                 {"rms_smoothed", f.smoothed},
                                                                 {"baseline", f.baseline},
                                                                 {"target", f.target}}] { log(payload); });
    }
    mainThread.post(
        [u = update, m = MainUpdate{level, out.newBaseline, static_cast<long long>(out.blocksSeen),
                                    out.fired.has_value()}] { u(m); });
}

BreathBandDetector::BreathBandDetector(const Clock& clock, Scheduler& mainThread, Executor& queue,
                                       EventSink& events)
    : queue_(queue), events_(events), mainThread_(mainThread),
      signal_(std::make_shared<Signal>(clock, mainThread)) {
    signal_->update = lifetime_.guard([this](MainUpdate u) { applyUpdate(u); });
    signal_->logAsleep = lifetime_.guard([this](EventPayload p) { events_.log("breathband_asleep", p); });
}

BreathBandDetector::~BreathBandDetector() = default;

void BreathBandDetector::configure(double sampleRate) {
    bool started = false;
    runAndWait(queue_, [&] {
        signal_->reset(sampleRate);
        started = signal_->enabled;
    });
    mainThread_.post(lifetime_.guard([this, sampleRate, started] {
        asleepAt.set(std::nullopt);
        baseline.set(0.0);
        hasBaseline.set(false);
        signal_->asleep = false;
        signal_->baseline = 0.0;
        signal_->hasBaseline = false;
        if (!started)
            return;
        events_.log("breathband_started", {{"sr", sampleRate},
                                           {"band_low", bandLowHz},
                                           {"band_high", bandHighHz},
                                           {"pre_emph", static_cast<double>(preEmphasisCoeff)},
                                           {"baseline_sec", BreathBandRule::baselineSeconds},
                                           {"drop_ratio", BreathBandRule::dropRatio},
                                           {"min_duration_sec", BreathBandRule::minStreakSeconds}});
    }));
}

void BreathBandDetector::process(const CapturedBuffer& buffer) {
    if (!buffer.hasFloatData() || buffer.frames == 0)
        return;
    auto samples = buffer.samples();
    queue_.submit([weak = std::weak_ptr<Signal>(signal_),
                   copy = std::vector<float>(samples.begin(), samples.end())]() mutable {
        if (auto signal = weak.lock())
            signal->processBuffer(copy);
    });
}

void BreathBandDetector::stop() {
    runAndWait(queue_, [signal = signal_] {
        signal->enabled = false;
        signal->startDate.reset();
        signal->rule.clearBlocks();
        signal->blockBuffer.clear();
    });
}

void BreathBandDetector::applyUpdate(const MainUpdate& u) {
    currentRMS.set(u.level);
    if (u.newBaseline) {
        baseline.set(*u.newBaseline);
        hasBaseline.set(true);
        signal_->baseline = *u.newBaseline;
        signal_->hasBaseline = true;
        events_.log("breathband_baseline", {{"baseline", *u.newBaseline}, {"samples_used", u.samplesUsed}});
    }
    if (u.fired) {
        asleepAt.set(signal_->clock.now());
        signal_->asleep = true;
    }
}

BreathBandDetector::Snapshot BreathBandDetector::snapshot() const {
    Snapshot s{};
    runAndWait(queue_, [&] {
        const Signal& g = *signal_;
        s = Snapshot{g.enabled,         g.blockCapacity,      g.blockBuffer.size(), g.rule.blocks(),
                     g.rule.smoothed(), g.rule.streakStart(), g.lpCoeffs,           g.hpCoeffs};
    });
    return s;
}

} // namespace mirl
