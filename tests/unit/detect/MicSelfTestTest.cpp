#include "detect/MicSelfTest.h"
#include "platform/fake/FakeCaptureEngine.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

using namespace mirl;
using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

namespace {

class MicSelfTestTest : public ::testing::Test {
protected:
    /// Runs the self-test to its end; the status it gave.
    std::optional<MicSelfTest::Status> run() {
        MicSelfTest test({clock, clock, microphone, console, log});
        std::optional<MicSelfTest::Status> status;
        test.start([&](MicSelfTest::Status s) {
            EXPECT_FALSE(status) << "finished twice";
            status = s;
        });
        clock.advance(9999ms);
        EXPECT_FALSE(status.has_value() && *status != MicSelfTest::engineFailed)
            << "reported before ten seconds";
        clock.advance(1ms);
        return status;
    }
    Strings logLines() const {
        Strings lines;
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    VirtualScheduler clock{VirtualScheduler::defaultStart() + 53min + 7s};
    FakeCaptureEngine microphone{clock};
    RecordingConsole console;
    test::TempDir dir;
    std::filesystem::path log = dir.path() / "mic-smoke.log";
};

} // namespace

TEST_F(MicSelfTestTest, ASignalGivesStatusZeroAndTheLinesInOrder) {
    {
        std::ofstream old(log);
        old << "an earlier run\n";
    }
    microphone.playSamples(std::vector<float>(8192 * 20, 0.5f), 8000);
    EXPECT_EQ(run(), MicSelfTest::signal);
    const Strings expected = {"start ts=2026-12-05T22:53:07Z", "tcc_status=authorized",
                              "tcc_request_granted=true",
                              // buffers end at 1.024, 2.048 ... 9.216 s
                              "buffers=9 frames=73728 format=8000Hz/ch1 rms=0.500000 verdict=SIGNAL"};
    EXPECT_EQ(logLines(), expected);
    Strings console_;
    for (const auto& line : expected)
        console_.push_back("Mirl mic-smoke: " + line);
    EXPECT_EQ(console.lines(), console_);
    EXPECT_FALSE(microphone.isRunning());
}

TEST_F(MicSelfTestTest, SilenceOrNoBufferGivesStatusOne) {
    microphone.playSilence({48000, 2});
    EXPECT_EQ(run(), MicSelfTest::zeros);
    EXPECT_EQ(logLines().back(), "buffers=58 frames=475136 format=48000Hz/ch2 rms=0.000000 verdict=ZEROS");

    microphone.playSamples({}, 48000, FakeCaptureEngine::AtEnd::nothing);
    EXPECT_EQ(run(), MicSelfTest::zeros);
    EXPECT_EQ(logLines().size(), 4u); // the earlier run's lines are gone
    EXPECT_EQ(logLines().back(), "buffers=0 frames=0 format= rms=0.000000 verdict=ZEROS");
}

TEST_F(MicSelfTestTest, AnEngineThatCannotStartGivesStatusTwoAtOnce) {
    microphone.noDevice();
    MicSelfTest test({clock, clock, microphone, console, log});
    std::optional<MicSelfTest::Status> status;
    test.start([&](MicSelfTest::Status s) { status = s; });
    EXPECT_EQ(status, MicSelfTest::engineFailed);
    EXPECT_EQ(logLines().back(), "engine_start_error=no input device");
    EXPECT_EQ(logLines().size(), 4u);
    EXPECT_EQ(clock.pendingCount(), 0u);
}

TEST_F(MicSelfTestTest, TheVerdictIsStrictlyAboveTheThreshold) {
    MicSelfTest::Status status{};
    // rms = sqrt(sum / frames): exactly 1e-6 is still zeros.
    EXPECT_EQ(MicSelfTest::verdictLine(1, 100, "8000Hz/ch1", 1e-12 * 100, &status),
              "buffers=1 frames=100 format=8000Hz/ch1 rms=0.000001 verdict=ZEROS");
    EXPECT_EQ(status, MicSelfTest::zeros);
    MicSelfTest::verdictLine(1, 100, "8000Hz/ch1", 1.0001e-12 * 100 * 1.0001, &status);
    EXPECT_EQ(status, MicSelfTest::signal);
    EXPECT_EQ(MicSelfTest::formatText({44100, 1}), "44100Hz/ch1");
    EXPECT_EQ(MicSelfTest::formatText({std::nan(""), 2}), "?Hz/ch2");
}

TEST_F(MicSelfTestTest, WithoutALogFileOnlyTheConsoleHearsIt) {
    microphone.playSamples(std::vector<float>(8192 * 20, 0.25f), 8000);
    MicSelfTest test({clock, clock, microphone, console, dir.path() / "missing-folder" / "mic-smoke.log"});
    test.start([](MicSelfTest::Status) {});
    clock.advance(10s);
    EXPECT_EQ(console.lines().size(), 4u);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing-folder"));
}
