#include "detect/OfflineReplay.h"
#include "tests/support/RecordingEventSink.h"
#include "tests/support/ScriptedSoundClassifier.h"

#include <gtest/gtest.h>

#include <vector>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

/// Constant audio of a given length, recording where it was read.
class ToneReader final : public AudioFileReader {
public:
    ToneReader(double rate, std::int64_t frames) : rate_(rate), frames_(frames) {}
    double sampleRate() const override { return rate_; }
    int channels() const override { return 2; }
    std::int64_t lengthFrames() const override { return frames_; }
    std::vector<float> read(std::int64_t position, std::size_t frames) override {
        positions.push_back(position);
        const auto n =
            std::max<std::int64_t>(0, std::min<std::int64_t>(frames_ - position, std::int64_t(frames)));
        return std::vector<float>(static_cast<std::size_t>(n), 0.25f);
    }
    std::vector<std::int64_t> positions;

private:
    double rate_;
    std::int64_t frames_;
};

} // namespace

TEST(OfflineReplayTest, FeedsCaptureSizedBuffersOnAudioTime) {
    VirtualScheduler scheduler;
    const TimePoint start = scheduler.now();
    test::RecordingEventSink events;
    std::vector<double> resultTimes;
    auto classifier = std::make_unique<test::ScriptedSoundClassifier>([&](double t) {
        resultTimes.push_back(t);
        return std::vector<LabelConfidence>{{"silence", 0.9}};
    });
    OfflineReplay replay(scheduler, events, std::move(classifier));
    ToneReader reader(8000, 8000 * 130 + 100); // 130 s and a few frames: the last buffer is short
    const auto summary = replay.run(reader);

    EXPECT_EQ(summary.buffers, 127u); // ceil(1040100 / 8192)
    EXPECT_NEAR(summary.audioSeconds, 130.0125, 1e-9);
    // Sequential reads, the last one at the end of the file (it returns nothing).
    ASSERT_EQ(reader.positions.size(), 128u);
    for (std::size_t i = 0; i < 127; ++i)
        EXPECT_EQ(reader.positions[i], static_cast<std::int64_t>(i) * 8192) << i;
    EXPECT_EQ(reader.positions.back(), 8000 * 130 + 100);
    // The clock ends where the audio ends.
    EXPECT_EQ(scheduler.now(), start + toDuration(130.0125));

    auto telemetry = events.named("telemetry");
    ASSERT_EQ(telemetry.size(), 2u); // at 60 s and 120 s of audio
    EXPECT_NEAR(telemetry[0]["avg_rms"].get<double>(), 0.25, 1e-7);
    EXPECT_EQ(telemetry[0]["rms_samples"], 58); // buffers ending at or before 60 s: 58.59
    EXPECT_DOUBLE_EQ(telemetry[0]["user_idle_seconds"].get<double>(), 60.0);
    EXPECT_DOUBLE_EQ(telemetry[1]["user_idle_seconds"].get<double>(), 120.0);

    auto ready = events.named("audio_analysis_ready");
    ASSERT_EQ(ready.size(), 1u);
    EXPECT_EQ(ready[0]["real_channels"], 2);
    // Windows every 0.75 s through the whole file; every result is logged and admitted.
    EXPECT_EQ(resultTimes.size(), 172u); // starts 0 .. 128.25 (end 129.75 <= 130.0125)
    EXPECT_EQ(events.named("classification").size(), 172u);
    EXPECT_EQ(events.named("phase_transition").size(), 1u); // awake -> asleep at the 20th
    // The chain is stopped afterwards: published values are back at rest.
    EXPECT_EQ(replay.chain().phase().topLabel.get(), "—");
    EXPECT_FALSE(replay.chain().breath().enabled());
}

TEST(OfflineReplayTest, UsesTheAudioAlreadyReadAndNothingWithoutARate) {
    VirtualScheduler scheduler;
    test::RecordingEventSink events;
    auto classifier = std::make_unique<test::ScriptedSoundClassifier>([](double) {
        return std::vector<LabelConfidence>{{"silence", 0.9}};
    });
    OfflineReplay replay(scheduler, events, std::move(classifier));
    ToneReader reader(8000, 10000);
    auto first = reader.read(0, OfflineReplay::framesPerBuffer);
    reader.positions.clear();
    const auto summary = replay.run(reader, std::move(first));
    EXPECT_EQ(summary.buffers, 2u);
    EXPECT_EQ(reader.positions, (std::vector<std::int64_t>{8192, 10000}));

    VirtualScheduler s2;
    OfflineReplay rateless(s2, events, std::make_unique<test::ScriptedSoundClassifier>([](double) {
                               return std::vector<LabelConfidence>{};
                           }));
    ToneReader none(0, 10000);
    EXPECT_EQ(rateless.run(none).buffers, 0u);
}
