#include "detect/CaptureRecorder.h"
#include "platform/fake/FakeAudioFiles.h"
#include "runtime/SerialQueue.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/RecordingEventSink.h"

#include <gtest/gtest.h>

#include <thread>

using namespace mirl;

TEST(RecordingPartsTest, EachAdvanceMovesToTheNextPart) {
    RecordingParts parts;
    parts.begin(std::nullopt);
    EXPECT_EQ(parts.advance(), std::nullopt); // no recording: parts still count
    EXPECT_EQ(parts.index(), 1);
    parts.begin("/r/a.m4a");
    EXPECT_EQ(parts.current(), std::filesystem::path("/r/a.m4a"));
    EXPECT_EQ(parts.advance(), std::filesystem::path("/r/a-part2.m4a"));
    EXPECT_EQ(parts.advance(), std::filesystem::path("/r/a-part3.m4a"));
    EXPECT_EQ(parts.index(), 2);
    parts.clear();
    EXPECT_EQ(parts.current(), std::nullopt);
    EXPECT_EQ(parts.index(), 0);
}

TEST(CaptureRecorderTest, BuffersFromTheCaptureThreadReachTheFileBeforeCloseReturns) {
    VirtualScheduler scheduler;
    test::RecordingEventSink events;
    FakeAudioFiles files;
    RecordingParts parts;
    SerialQueue queue("Mirl.SleepDetector.recorder");
    CaptureRecorder recorder(scheduler, queue, events, files.factory(), parts);
    parts.begin("/r/a.m4a");
    recorder.beginBuild("/r/a.m4a");

    std::thread capture([&] {
        std::vector<float> channel0(1000);
        for (int i = 0; i < 200; ++i) {
            std::fill(channel0.begin(), channel0.end(), static_cast<float>(i));
            recorder.append(CapturedBuffer{channel0.data(), 1000, 48000, 2, i * 1000});
        }
    });
    capture.join();
    recorder.close();
    auto made = files.files();
    ASSERT_EQ(made.size(), 1u);
    EXPECT_TRUE(made[0].closed);
    EXPECT_EQ(made[0].channels, 1);
    ASSERT_EQ(made[0].interleaved.size(), 200u * 1000);
    for (int i = 0; i < 200; ++i) // in capture order
        ASSERT_EQ(made[0].interleaved[static_cast<std::size_t>(i) * 1000 + 999], static_cast<float>(i)) << i;

    // After close, nothing is recorded until the next build reserves a location.
    std::vector<float> block(1000, 0.5f);
    recorder.append(CapturedBuffer{block.data(), 1000, 48000, 1, 0});
    recorder.beginBuild(std::nullopt);
    recorder.append(CapturedBuffer{block.data(), 1000, 48000, 1, 0});
    recorder.close();
    EXPECT_EQ(files.files().size(), 1u);
    scheduler.runDue();
    EXPECT_TRUE(events.names().empty());
}
