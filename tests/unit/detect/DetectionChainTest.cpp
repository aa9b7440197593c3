#include "detect/DetectionChain.h"
#include "journal/JsonLine.h"
#include "platform/fake/FakeActivityProbes.h"
#include "platform/fake/FakeOutputPlaybackProbe.h"
#include "runtime/SerialQueue.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/RecordingEventSink.h"
#include "tests/support/ScriptedSoundClassifier.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

constexpr double kRate = 8000;
constexpr std::size_t kFrames = 2000; // a quarter second

class ChainTest : public ::testing::Test {
protected:
    ChainTest() {
        auto c = std::make_unique<test::ScriptedSoundClassifier>([this](double t) { return script(t); });
        classifier = c.get();
        chain = std::make_unique<DetectionChain>(
            DetectionChain::Deps{scheduler, scheduler, events, activity, playback, analysis, bandQueue},
            std::move(c));
    }

    /// Feeds quarter-second buffers of a constant level until `seconds` after the first buffer,
    /// as the capture thread would, with the main thread catching up after each.
    void feed(double seconds, float level = 0.1f, double rate = kRate, int channels = 1) {
        std::vector<float> buffer(static_cast<std::size_t>(rate / 4), level);
        while (fed < std::lround(seconds * 4)) {
            ++fed;
            scheduler.advanceTo(start + fed * 250ms);
            chain->handleBuffer(CapturedBuffer{buffer.data(), buffer.size(), rate, channels, 0});
            scheduler.runDue();
        }
    }

    std::vector<LabelConfidence> script(double t) {
        if (t < 30)
            return {{"typing", 0.9}, {"speech", 0.05}};
        return {{"breathing", 0.8}, {"silence", 0.1}, {"snoring", 0.05}};
    }

    VirtualScheduler scheduler;
    TimePoint start = scheduler.now();
    long fed = 0;
    test::RecordingEventSink events;
    FakeActivityProbes activity;
    FakeOutputPlaybackProbe playback;
    InlineExecutor analysis, bandQueue;
    test::ScriptedSoundClassifier* classifier = nullptr;
    std::unique_ptr<DetectionChain> chain;
};

} // namespace

TEST_F(ChainTest, BuffersOfGarbageNeverPutAnUnwritableNumberInTheJournal) {
    // Found by fuzzing: a NaN or infinite sample made the minute's "telemetry" level NaN, and an
    // infinite rate was set up and announced; the journal drops such records whole.
    chain->start();
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (std::vector<float> samples :
         {std::vector<float>(kFrames, nan), std::vector<float>(kFrames, -inf),
          std::vector<float>(kFrames, 3.4e38f), std::vector<float>(kFrames, 1e-42f),
          std::vector<float>{nan, 0.5f, inf, -0.5f}})
        for (double rate : {kRate, 1.0, 0.0, -kRate, std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::quiet_NaN(), 4e9}) {
            scheduler.advance(250ms);
            chain->handleBuffer(CapturedBuffer{samples.data(), samples.size(), rate, 1, 0});
            scheduler.runDue();
        }
    scheduler.advance(70s);
    const auto all = events.events();
    ASSERT_FALSE(all.empty());
    for (const auto& event : all)
        EXPECT_TRUE(encodeJsonLine(event.payload)) << event.name << " " << event.payload.dump();
    const auto ready = events.named("audio_analysis_ready");
    ASSERT_EQ(ready.size(), 1u); // only the usable rate is set up
    EXPECT_EQ(ready[0]["real_sample_rate"], kRate);
    const auto telemetry = events.named("telemetry");
    ASSERT_FALSE(telemetry.empty());
    // Out-of-range samples are held at the chain's limit, non-finite ones count as silence.
    EXPECT_GT(telemetry[0]["avg_rms"].get<double>(), 0.0);
    EXPECT_LE(telemetry[0]["avg_rms"].get<double>(), DetectionChain::sampleLimit);
}

TEST_F(ChainTest, FirstValidBufferSetsTheConsumersUpOnce) {
    chain->start();
    std::vector<float> buffer(kFrames, 0.1f);
    chain->handleBuffer(CapturedBuffer{buffer.data(), buffer.size(), 0, 1, 0});
    chain->handleBuffer(CapturedBuffer{buffer.data(), buffer.size(), kRate, 0, 0});
    scheduler.runDue();
    EXPECT_TRUE(events.named("audio_analysis_ready").empty());
    EXPECT_EQ(classifier->calls, 0); // no classifier stream without a valid format

    feed(2);
    auto ready = events.named("audio_analysis_ready");
    ASSERT_EQ(ready.size(), 1u);
    EXPECT_EQ(ready[0], (EventPayload{{"real_sample_rate", 8000.0}, {"real_channels", 1}}));
    EXPECT_EQ(events.named("breathband_started").size(), 1u);
    EXPECT_EQ(classifier->resets, 1);

    // A new rate sets everything up again; the same format after resetFormat() too.
    feed(4, 0.1f, 16000, 2);
    feed(5, 0.1f, 16000, 2);
    EXPECT_EQ(events.named("audio_analysis_ready").size(), 2u);
    chain->resetFormat();
    feed(6, 0.1f, 16000, 2);
    EXPECT_EQ(events.named("audio_analysis_ready").size(), 3u);
    EXPECT_EQ(events.named("breathband_started").size(), 3u);
}

TEST_F(ChainTest, ClassifierResultsReachThePhaseOnTheMainThread) {
    chain->start();
    feed(20);
    // 20 s of audio: windows starting at 0, 0.75, ... 18 (25 results), all typing.
    auto classified = events.named("classification");
    ASSERT_EQ(classified.size(), 25u);
    EXPECT_EQ(classified[0]["label"], "typing");
    EXPECT_EQ(classified[0]["top3"].size(), 2u);
    EXPECT_EQ(chain->phase().topLabel.get(), "typing");
    EXPECT_EQ(chain->phase().phase.get(), SleepPhase::awake);
    feed(150);
    EXPECT_EQ(chain->phase().phase.get(), SleepPhase::asleep);
    EXPECT_EQ(events.named("phase_transition").size(), 1u);

    chain->stop();
    EXPECT_EQ(chain->phase().phase.get(), SleepPhase::awake);
    EXPECT_EQ(chain->phase().topLabel.get(), "—");
    const auto calls = classifier->calls;
    feed(160);
    EXPECT_EQ(classifier->calls, calls); // no classifier stream after stop
}

TEST_F(ChainTest, TelemetryEveryMinuteAveragesTheBufferLevels) {
    activity.idle = 42.5;
    chain->start();
    feed(60, 0.5f);
    auto telemetry = events.named("telemetry");
    ASSERT_EQ(telemetry.size(), 1u);
    EXPECT_NEAR(telemetry[0]["avg_rms"].get<double>(), 0.5, 1e-7);
    EXPECT_EQ(telemetry[0]["rms_samples"], 239); // the 240th buffer's level arrives after the tick
    EXPECT_TRUE(telemetry[0]["rms_samples"].is_number_integer());
    EXPECT_DOUBLE_EQ(telemetry[0]["user_idle_seconds"].get<double>(), 42.5);
    EXPECT_EQ(telemetry[0]["phase"], "awake");

    // A minute without buffers reports 0 and 0.
    scheduler.advance(60s); // the 240th level, then the next tick
    scheduler.advance(60s);
    telemetry = events.named("telemetry");
    ASSERT_EQ(telemetry.size(), 3u);
    EXPECT_EQ(telemetry[1]["rms_samples"], 1);
    EXPECT_DOUBLE_EQ(telemetry[2]["avg_rms"].get<double>(), 0.0);
    EXPECT_EQ(telemetry[2]["rms_samples"], 0);

    // An unknown idle time is null, not 0 (which would read as somebody at the keyboard).
    activity.idle = std::nullopt;
    scheduler.advance(60s);
    telemetry = events.named("telemetry");
    ASSERT_EQ(telemetry.size(), 4u);
    ASSERT_TRUE(telemetry[3].contains("user_idle_seconds"));
    EXPECT_TRUE(telemetry[3]["user_idle_seconds"].is_null());

    chain->stop();
    scheduler.advance(180s);
    EXPECT_EQ(events.named("telemetry").size(), 4u);
}

TEST_F(ChainTest, BreathDetectorRunsOnlyBetweenStartAndStop) {
    feed(5);
    EXPECT_EQ(chain->breath().pendingSamples(), 0u);
    chain->start();
    EXPECT_TRUE(chain->breath().enabled());
    chain->stop();
    EXPECT_FALSE(chain->breath().enabled());
    EXPECT_FALSE(chain->band().snapshot().enabled);
}

TEST(ChainThreadTest, AnalysisQueueDeliversResultsInCaptureOrder) {
    VirtualScheduler scheduler;
    test::RecordingEventSink events;
    FakeActivityProbes activity;
    FakeOutputPlaybackProbe playback;
    SerialQueue analysis("Mirl.SleepDetector.analysis");
    SerialQueue bandQueue("Mirl.BreathBandDetector");
    int n = 0;
    auto classifier = std::make_unique<test::ScriptedSoundClassifier>([&n](double t) {
        ++n;
        return std::vector<LabelConfidence>{{"sigh", 0.9},
                                            {"t" + std::to_string(static_cast<int>(t * 100)), 0.1}};
    });
    DetectionChain chain({scheduler, scheduler, events, activity, playback, analysis, bandQueue},
                         std::move(classifier));
    chain.start();
    std::vector<float> buffer(kFrames, 0.1f);
    for (int i = 0; i < 40; ++i) // 10 s, handed over from this "capture" thread
        chain.handleBuffer(CapturedBuffer{buffer.data(), buffer.size(), kRate, 1, 0});
    analysis.waitIdle();
    bandQueue.waitIdle();
    EXPECT_EQ(events.named("classification").size(), 0u); // not before the main thread runs
    scheduler.runDue();
    auto classified = events.named("classification");
    ASSERT_EQ(classified.size(), 12u); // windows at 0 .. 8.25 s
    for (std::size_t i = 0; i < classified.size(); ++i)
        EXPECT_EQ(classified[i]["top3"][1]["label"], "t" + std::to_string(static_cast<int>(i * 75))) << i;
    chain.stop();
}

TEST(ClassificationStageTest, HandsOnTheFirstThreeAndIgnoresEmptyResults) {
    VirtualScheduler scheduler;
    test::RecordingEventSink events;
    FakeOutputPlaybackProbe playback;
    PhaseClassifier phase(scheduler, events, playback);
    InlineExecutor queue;
    int window = 0;
    auto classifier = std::make_unique<test::ScriptedSoundClassifier>([&window](double) {
        // Every other window has no classifications at all.
        return window++ % 2 ? std::vector<LabelConfidence>{}
                            : std::vector<LabelConfidence>{
                                  {"sigh", 0.9}, {"breathing", 0.05}, {"silence", 0.03}, {"typing", 0.02}};
    });
    ClassificationStage stage(scheduler, queue, std::move(classifier), phase);
    std::vector<float> buffer(kFrames, 0.1f);
    stage.process(CapturedBuffer{buffer.data(), buffer.size(), kRate, 1, 0});
    EXPECT_EQ(scheduler.pendingCount(), 0u); // no stream before restart()
    stage.restart();
    for (int i = 0; i < 12; ++i) // 3 s: windows at 0, 0.75, 1.5
        stage.process(CapturedBuffer{buffer.data(), buffer.size(), kRate, 1, 0});
    stage.process(CapturedBuffer{buffer.data(), buffer.size(), 0, 1, 0}); // no usable rate: dropped
    scheduler.runDue();
    auto logged = events.named("classification");
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[0]["top3"].size(), 3u);
    EXPECT_EQ(logged[0]["top3"][2]["label"], "silence");

    const ClassificationResult result{0, 1.5, {{"a", 0.5}, {"b", 0.3}}};
    EXPECT_EQ(ClassificationStage::topThree(result).size(), 2u);
    EXPECT_TRUE(ClassificationStage::topThree(ClassificationResult{}).empty());

    // Results still queued for the main thread when the stage goes are dropped.
    {
        InlineExecutor q;
        auto c = std::make_unique<test::ScriptedSoundClassifier>([](double) {
            return std::vector<LabelConfidence>{{"sigh", 0.9}};
        });
        ClassificationStage gone(scheduler, q, std::move(c), phase);
        gone.restart();
        for (int i = 0; i < 8; ++i)
            gone.process(CapturedBuffer{buffer.data(), buffer.size(), kRate, 1, 0});
    }
    scheduler.runDue();
    EXPECT_EQ(events.named("classification").size(), 2u);
}
