#include "detect/BreathBandDetector.h"
#include "detect/Biquad.h"
#include "runtime/SerialQueue.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/RecordingEventSink.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

class BandTest : public ::testing::Test {
protected:
    /// Feeds a 300 Hz tone (inside the band) in quarter-second buffers up to `until` seconds after
    /// configuration, with amplitude amp(t) for a buffer ending at t. The clock moves with the
    /// audio; the main thread catches up after every buffer.
    template <typename F> void tone(double rate, double until, F amp) {
        const auto frames = static_cast<std::size_t>(rate / 4);
        std::vector<float> buffer(frames);
        while (quarter < std::lround(until * 4)) {
            ++quarter;
            const double a = amp(quarter / 4.0);
            for (std::size_t i = 0; i < frames; ++i) {
                const double n = static_cast<double>(phaseSamples++);
                buffer[i] = static_cast<float>(a * std::sin(2 * std::numbers::pi * 300.0 * n / rate));
            }
            scheduler.advanceTo(start + quarter * 250ms);
            band.process(CapturedBuffer{buffer.data(), frames, rate, 1, 0});
            scheduler.runDue();
        }
    }
    void configure(double rate) {
        band.configure(rate);
        start = scheduler.now();
        quarter = 0;
        scheduler.runDue();
    }

    VirtualScheduler scheduler;
    TimePoint start = scheduler.now();
    long quarter = 0;
    long long phaseSamples = 0;
    test::RecordingEventSink events;
    InlineExecutor queue;
    BreathBandDetector band{scheduler, scheduler, queue, events};
};

} // namespace

TEST(BiquadTest, CoefficientsAt48kHzMatchAnIndependentDesign) {
    // Reference values computed in double precision (Python's math module) from the cookbook
    // formulas with the detector's constants, fs = 48000:
    //   low-pass:  w = 5026.548/48000 = 0.10471975, sin w = 0.1045284582, cos w = 0.9945218959,
    //              alpha = sin w/1.414 = 0.07392394496, a0 = 1 + alpha = 1.073923945;
    //              b0 = b2 = (1-cos w)/2/a0, b1 = (1-cos w)/a0, a1 = -2 cos w/a0, a2 = (1-alpha)/a0
    //   high-pass: w = 314.15924/48000 = 0.006544984167, sin w = 0.006544937439,
    //              cos w = 0.9999785817, alpha = 0.004628668627, a0 = 1.004628669;
    //              b0 = b2 = (1+cos w)/2/a0, b1 = -(1+cos w)/a0, a1 = -2 cos w/a0, a2 = (1-alpha)/a0
    // The detector designs in single precision; 1 - cos w of the low-pass loses about five
    // digits there, hence the tighter absolute bound on its small b coefficients.
    const BiquadCoeffs lp = lowPass800(48000.0f);
    EXPECT_NEAR(lp.b0, 2.550508405e-03, 1e-7);
    EXPECT_NEAR(lp.b1, 5.101016811e-03, 2e-7);
    EXPECT_NEAR(lp.b2, 2.550508405e-03, 1e-7);
    EXPECT_NEAR(lp.a1, -1.852127240e+00, 2e-6);
    EXPECT_NEAR(lp.a2, 8.623292733e-01, 2e-6);
    const BiquadCoeffs hp = highPass50(48000.0f);
    EXPECT_NEAR(hp.b0, 9.953819974e-01, 2e-6);
    EXPECT_NEAR(hp.b1, -1.990763995e+00, 2e-6);
    EXPECT_NEAR(hp.b2, 9.953819974e-01, 2e-6);
    EXPECT_NEAR(hp.a1, -1.990742675e+00, 2e-6);
    EXPECT_NEAR(hp.a2, 9.907853145e-01, 2e-6);
    EXPECT_EQ(lp.b0, lp.b2);
    EXPECT_EQ(hp.b0, hp.b2);
}

TEST(BiquadTest, TheTwoSectionsPassTheBreathingBandOnly) {
    struct Row {
        const char* name;
        double hz;
        double minGain, maxGain;
    };
    const float fs = 48000.0f;
    for (auto row : {Row{"10 Hz is cut", 10, 0.0, 0.06}, Row{"300 Hz passes", 300, 0.9, 1.05},
                     Row{"5 kHz is cut", 5000, 0.0, 0.03}}) {
        BiquadState hpState, lpState;
        std::vector<float> x(48000 * 2);
        for (std::size_t i = 0; i < x.size(); ++i)
            x[i] = static_cast<float>(std::sin(2 * std::numbers::pi * row.hz * static_cast<double>(i) / fs));
        runBiquad(x, highPass50(fs), hpState);
        runBiquad(x, lowPass800(fs), lpState);
        double peak = 0; // over the second half, after the filters have settled
        for (std::size_t i = x.size() / 2; i < x.size(); ++i)
            peak = std::max(peak, static_cast<double>(std::fabs(x[i])));
        EXPECT_GE(peak, row.minGain) << row.name;
        EXPECT_LE(peak, row.maxGain) << row.name;
    }
}

TEST(BiquadTest, TheOnePassFilterGivesExactlyTheSeparatePassesAcrossBuffers) {
    const float fs = 44100.0f;
    std::vector<float> x(9000);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(std::sin(0.01 * static_cast<double>(i)) +
                                  0.3 * std::sin(0.7 * static_cast<double>(i)));
    std::vector<float> separate = x, fused = x;
    BiquadState hp1, lp1, hp2, lp2;
    float last1 = 0, last2 = 0;
    for (std::size_t at : {std::size_t{0}, std::size_t{1}, std::size_t{4096}}) { // buffers of 1, 4095, 4904
        const std::size_t end = at == 0 ? 1 : at == 1 ? 4096 : x.size();
        std::span<float> a(separate.data() + at, end - at), b(fused.data() + at, end - at);
        runBiquad(a, highPass50(fs), hp1);
        runBiquad(a, lowPass800(fs), lp1);
        preEmphasis(a, last1);
        runBandFilter(b, highPass50(fs), hp2, lowPass800(fs), lp2, last2);
    }
    EXPECT_EQ(separate, fused);
    EXPECT_EQ(last1, last2);
}

TEST(BiquadTest, PreEmphasisCarriesTheLastInputSampleAcrossBuffers) {
    std::vector<float> a = {1.0f, 2.0f}, b = {4.0f};
    float last = 0;
    preEmphasis(a, last);
    EXPECT_FLOAT_EQ(a[0], 1.0f);
    EXPECT_FLOAT_EQ(a[1], 2.0f - 0.95f * 1.0f);
    EXPECT_FLOAT_EQ(last, 2.0f);
    preEmphasis(b, last);
    EXPECT_FLOAT_EQ(b[0], 4.0f - 0.95f * 2.0f);
}

TEST_F(BandTest, ConfigureWritesTheStartEventWithItsConstants) {
    configure(48000);
    auto started = events.named("breathband_started");
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0], (EventPayload{{"sr", 48000.0},
                                        {"band_low", 50.0},
                                        {"band_high", 800.0},
                                        {"pre_emph", 0.949999988079071},
                                        {"baseline_sec", 120.0},
                                        {"drop_ratio", 0.15},
                                        {"min_duration_sec", 60.0}}));
    EXPECT_TRUE(started[0]["sr"].is_number_float());
    auto snap = band.snapshot();
    EXPECT_TRUE(snap.enabled);
    EXPECT_EQ(snap.blockCapacity, 24000u);
    EXPECT_EQ(snap.lp.b0, lowPass800(48000.0f).b0);
    EXPECT_EQ(snap.hp.a2, highPass50(48000.0f).a2);
}

TEST_F(BandTest, BlocksSpanBuffersAt48kHz) {
    configure(48000);
    std::vector<float> buffer(8192, 0.1f);
    const std::vector<std::size_t> pending = {8192, 16384, 576, 8768, 16960, 1152};
    for (std::size_t i = 0; i < pending.size(); ++i) {
        band.process(CapturedBuffer{buffer.data(), buffer.size(), 48000, 2, 0});
        auto snap = band.snapshot();
        EXPECT_EQ(snap.pendingSamples, pending[i]) << "after buffer " << i + 1;
        EXPECT_EQ(snap.blocks.size(), i < 2 ? 0u : i < 5 ? 1u : 2u) << "after buffer " << i + 1;
    }
    // Buffers without data or frames are ignored.
    band.process(CapturedBuffer{nullptr, 8192, 48000, 2, 0});
    band.process(CapturedBuffer{buffer.data(), 0, 48000, 2, 0});
    EXPECT_EQ(band.snapshot().pendingSamples, 1152u);
}

TEST_F(BandTest, TheBlockBeingFilledCarriesOverANewFormat) {
    configure(48000);
    std::vector<float> buffer(8192, 0.1f);
    band.process(CapturedBuffer{buffer.data(), buffer.size(), 48000, 2, 0});
    ASSERT_EQ(band.snapshot().pendingSamples, 8192u);

    // Same rate after a rebuild: the kept samples open the first block of the new configuration.
    configure(48000);
    EXPECT_EQ(band.snapshot().pendingSamples, 8192u);
    band.process(CapturedBuffer{buffer.data(), buffer.size(), 48000, 2, 0});
    band.process(CapturedBuffer{buffer.data(), buffer.size(), 48000, 2, 0});
    auto snap = band.snapshot();
    EXPECT_EQ(snap.blocks.size(), 1u);
    EXPECT_EQ(snap.pendingSamples, 576u); // 3 * 8192 - 24000

    // A lower rate: 576 kept samples are below the new 2000-sample block and simply fill on.
    configure(4000);
    std::vector<float> small(1924, 0.1f);
    band.process(CapturedBuffer{small.data(), small.size(), 4000, 1, 0});
    snap = band.snapshot();
    EXPECT_EQ(snap.blocks.size(), 1u);
    EXPECT_EQ(snap.pendingSamples, 500u);
    configure(48000);
    std::vector<float> fill(2000, 0.1f);
    band.process(CapturedBuffer{fill.data(), fill.size(), 48000, 1, 0});
    ASSERT_EQ(band.snapshot().pendingSamples, 2500u);
    // 2500 kept samples exceed the 2000-sample block: the first new sample closes a block of
    // 2501, then blocks of 2000 follow.
    configure(4000);
    std::vector<float> four(4000, 0.1f);
    band.process(CapturedBuffer{four.data(), four.size(), 4000, 1, 0});
    snap = band.snapshot();
    EXPECT_EQ(snap.blocks.size(), 2u);
    EXPECT_EQ(snap.pendingSamples, 1999u);
}

TEST_F(BandTest, QuieterRoomDeclaresSleepAfterFiveMinutes) {
    configure(4000);
    // Awake level for 200 s, then half as loud: the streak opens at about 200 s and the
    // detector fires at the first block from 300 s on.
    tone(4000, 320, [](double t) { return t <= 200 ? 0.1 : 0.05; });
    auto baselines = events.named("breathband_baseline");
    ASSERT_EQ(baselines.size(), 1u);
    EXPECT_EQ(baselines[0]["samples_used"], 240);
    EXPECT_TRUE(band.hasBaseline.get());
    EXPECT_NEAR(band.baseline.get(), baselines[0]["baseline"].get<double>(), 0);
    EXPECT_GT(band.baseline.get(), 0.0);

    auto asleep = events.named("breathband_asleep");
    ASSERT_EQ(asleep.size(), 1u);
    EXPECT_DOUBLE_EQ(asleep[0]["t_from_start"].get<double>(), 300.0);
    EXPECT_NEAR(asleep[0]["target"].get<double>(), band.baseline.get() * 0.85, 1e-15);
    EXPECT_LT(asleep[0]["rms_smoothed"].get<double>(), asleep[0]["target"].get<double>());
    ASSERT_TRUE(band.asleepAt.get().has_value());
    EXPECT_EQ(*band.asleepAt.get(), start + 300s);
    const auto snap = band.snapshot();
    ASSERT_TRUE(snap.streakStart.has_value());
    EXPECT_GE(*snap.streakStart, 200.0);
    EXPECT_LE(*snap.streakStart, 201.0);
    EXPECT_NEAR(band.currentRMS.get(), snap.blocks.back().rms, 0);

    // A new format starts over: the asleep time is cleared and a new baseline is learned.
    configure(4000);
    EXPECT_FALSE(band.asleepAt.get().has_value());
    EXPECT_FALSE(band.hasBaseline.get());
    EXPECT_DOUBLE_EQ(band.baseline.get(), 0.0);
    EXPECT_EQ(events.named("breathband_started").size(), 2u);
    EXPECT_TRUE(band.snapshot().blocks.empty());
}

TEST_F(BandTest, DropAtTwoHundredEightySecondsFiresAtThreeHundredForty) {
    configure(4000);
    tone(4000, 400, [](double t) { return t <= 280 ? 0.1 : 0.05; });
    auto asleep = events.named("breathband_asleep");
    ASSERT_EQ(asleep.size(), 1u);
    const double t = asleep[0]["t_from_start"].get<double>();
    EXPECT_GE(t, 340.0);
    EXPECT_LE(t, 341.0);
}

TEST_F(BandTest, StopDropsBuffersAndUnusableRatesStayStopped) {
    configure(4000);
    tone(4000, 10, [](double) { return 0.1; });
    band.stop();
    auto snap = band.snapshot();
    EXPECT_FALSE(snap.enabled);
    EXPECT_TRUE(snap.blocks.empty());
    EXPECT_EQ(snap.pendingSamples, 0u);
    tone(4000, 20, [](double) { return 0.1; });
    EXPECT_TRUE(band.snapshot().blocks.empty());

    for (double rate : {std::nan(""), 1.5, -48000.0, std::numeric_limits<double>::infinity()}) {
        events.clear();
        band.configure(rate);
        scheduler.runDue();
        EXPECT_FALSE(band.snapshot().enabled) << rate;
        EXPECT_TRUE(events.named("breathband_started").empty()) << rate;
    }
}

TEST(BandThreadTest, PublishedValuesCrossFromTheQueue) {
    VirtualScheduler scheduler;
    test::RecordingEventSink events;
    SerialQueue queue("Mirl.BreathBandDetector");
    BreathBandDetector band{scheduler, scheduler, queue, events};
    band.configure(8000);
    scheduler.runDue();
    const TimePoint start = scheduler.now();
    std::vector<float> buffer(2000, 0.2f);
    for (int q = 1; q <= 4 * 125; ++q) {
        scheduler.advanceTo(start + q * 250ms);
        band.process(CapturedBuffer{buffer.data(), buffer.size(), 8000, 1, 0});
        queue.waitIdle();
        // Nothing is published until the main thread runs what the queue handed it.
        if (q == 4 * 120) { // the block at 120 s has learned it, the main thread not yet
            EXPECT_FALSE(band.hasBaseline.get());
        }
        scheduler.runDue();
    }
    EXPECT_TRUE(band.hasBaseline.get());
    EXPECT_EQ(events.named("breathband_baseline").size(), 1u);
    EXPECT_GT(band.currentRMS.get(), 0.0);
    band.stop();
}
