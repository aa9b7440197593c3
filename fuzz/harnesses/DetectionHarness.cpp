#include "detect/DetectionChain.h"
#include "detect/classifier/FeatureSoundClassifier.h"
#include "fuzz/harnesses/Harnesses.h"
#include "journal/JsonLine.h"
#include "platform/fake/FakeActivityProbes.h"
#include "platform/fake/FakeOutputPlaybackProbe.h"
#include "runtime/VirtualScheduler.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace mirl::fuzz {

namespace {

/// Every record the detectors write must reach the journal whole: finite numbers only.
class CheckingSink final : public EventSink {
public:
    void log(std::string_view event, const EventPayload& payload) override {
        FUZZ_CHECK(payload.is_object());
        if (!encodeJsonLine(payload)) {
            std::fprintf(stderr, "unwritable %.*s record: %s\n", static_cast<int>(event.size()), event.data(),
                         payload.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
            FUZZ_FAIL("a record the journal cannot carry");
        }
    }
};

double rateFor(Bytes& bytes) {
    static constexpr double kRates[] = {8000,  16000, 44100,  48000,  1, 2,      7,   11025,
                                        22050, 96000, 192000, 384000, 0, -48000, NAN, INFINITY};
    const std::uint8_t pick = bytes.byte();
    if (pick < 0xF0)
        return kRates[pick % std::size(kRates)];
    return static_cast<double>(bytes.u32()); // any whole rate
}

} // namespace

/// The input is a list of buffers, each: a rate (one byte, or 0xF0+ then four bytes), a channel
/// count, a frame count (two bytes), how its samples are made, then its samples' bytes.
void detection(Input input) {
    Bytes bytes(input);
    VirtualScheduler scheduler;
    CheckingSink sink;
    FakeActivityProbes activity;
    FakeOutputPlaybackProbe playback;
    InlineExecutor analysis, band;
    DetectionChain chain({scheduler, scheduler, sink, activity, playback, analysis, band},
                         std::make_unique<FeatureSoundClassifier>());
    chain.start();
    std::vector<float> samples;
    std::int64_t sampleTime = 0;
    for (int buffer = 0; buffer < 64 && !bytes.empty(); ++buffer) {
        const double rate = rateFor(bytes);
        const int channels = static_cast<int>(bytes.byte() % 10); // 0 is a broken format
        const std::size_t frames = bytes.u16() % 20000;
        const std::uint8_t make = bytes.byte();
        samples.assign(frames, 0.0f);
        const Input raw = bytes.take(frames * sizeof(float));
        switch (make % 4) {
        case 0: // the bytes as floats: NaN, inf, denormals and all
            std::memcpy(samples.data(), raw.data(), raw.size() - raw.size() % sizeof(float));
            break;
        case 1: // a constant (DC, full scale, zero) from the first byte
            std::fill(samples.begin(), samples.end(),
                      raw.empty() ? 1.0f : (static_cast<float>(raw[0]) - 128) / 128);
            break;
        case 2: // clipped square wave
            for (std::size_t i = 0; i < frames; ++i)
                samples[i] = (i / (1 + make / 4)) % 2 ? 1.0f : -1.0f;
            break;
        default: // one byte per sample
            for (std::size_t i = 0; i < frames && i < raw.size(); ++i)
                samples[i] = (static_cast<float>(raw[i]) - 128) / 128;
        }
        const bool noFloatData = make == 0xFF;
        chain.handleBuffer(
            CapturedBuffer{noFloatData ? nullptr : samples.data(), frames, rate, channels, sampleTime});
        sampleTime += static_cast<std::int64_t>(frames);
        // The clock follows the audio (at most an hour per buffer, so a 1 Hz stream stays quick).
        const double seconds = rate > 0 && std::isfinite(rate) ? static_cast<double>(frames) / rate : 0.2;
        scheduler.advance(toDuration(std::min(seconds, 3600.0)));
        scheduler.runDue();
        if (bytes.byte() == 0x5A) // now and then a pipeline rebuild
            chain.resetFormat();
        // What the views show stays a number.
        FUZZ_CHECK(std::isfinite(chain.breath().rpm.get()));
        FUZZ_CHECK(std::isfinite(chain.band().baseline.get()) &&
                   std::isfinite(chain.band().currentRMS.get()));
        FUZZ_CHECK(std::isfinite(chain.phase().phaseConfidence.get()) &&
                   std::isfinite(chain.phase().topConfidence.get()));
    }
    chain.reportTelemetry();
    chain.stop();
    scheduler.runDue();
}

} // namespace mirl::fuzz
