#include "journal/recording/AudioPlayerModel.h"
#include "platform/fake/FakeAudioPlayer.h"
#include "platform/fake/MemoryAudioFileReader.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <fstream>
#include <map>

using namespace mirl;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

/// Holds submitted tasks until the test runs them.
class ManualExecutor final : public Executor {
public:
    void submit(Task task) override { tasks.push_back(std::move(task)); }
    void runNext() {
        auto task = std::move(tasks.front());
        tasks.pop_front();
        task();
    }
    std::deque<Task> tasks;
};

class AudioPlayerModelTest : public ::testing::Test {
protected:
    test::TempDir tmp;
    VirtualScheduler scheduler;
    ManualExecutor executor;
    FakeAudioPlayerFactory players;
    RecordingConsole console;
    /// What each file decodes to (frames at 16 kHz of a constant level); absent: unreadable.
    std::map<fs::path, std::size_t> readable;
    std::vector<fs::path> opened;

    std::unique_ptr<AudioPlayerModel> model = std::make_unique<AudioPlayerModel>(AudioPlayerModel::Deps{
        scheduler, executor, players,
        [this](const fs::path& path) -> OpenedAudioFile {
            opened.push_back(path);
            auto it = readable.find(path);
            if (it == readable.end())
                return {nullptr, "cannot decode " + path.filename().string()};
            return {std::make_unique<MemoryAudioFileReader>(std::vector<float>(it->second, 0.2f), 16000), {}};
        },
        console});

    fs::path file(const std::string& name, std::size_t frames, double playerSeconds) {
        const fs::path path = tmp.path() / name;
        std::ofstream(path) << "x";
        readable[path] = frames;
        players.durations[path] = playerSeconds;
        return path;
    }
    /// Runs the player's opening, queued first, and hands the player to the model.
    void openPlayer() {
        executor.runNext();
        scheduler.runDue();
    }
    void finishAnalysis() {
        while (!executor.tasks.empty())
            executor.runNext();
        scheduler.runDue();
    }
    FakePlayerLog& playerLog(std::size_t i = 0) { return *players.logs.at(i); }
};

} // namespace

TEST_F(AudioPlayerModelTest, LoadingOpensThePlayerThenPicturesInTheBackground) {
    const auto path = file("audio-a.m4a", 16000 * 60, 59.5);
    model->load(path);
    EXPECT_EQ(model->url.get(), path);
    EXPECT_TRUE(model->isLoading.get());
    EXPECT_TRUE(players.logs.empty()) << "nothing opens on the main thread";
    EXPECT_FALSE(model->canPlay());
    ASSERT_EQ(executor.tasks.size(), 2u);

    openPlayer();
    EXPECT_TRUE(model->isLoading.get());
    EXPECT_TRUE(model->canPlay());
    EXPECT_DOUBLE_EQ(model->duration.get(), 59.5); // the player's, until the analysis knows better
    EXPECT_TRUE(model->peaks.get().empty());

    finishAnalysis();
    EXPECT_FALSE(model->isLoading.get());
    EXPECT_DOUBLE_EQ(model->duration.get(), 60);
    EXPECT_EQ(model->peaks.get().size(), 468u); // (960000 - 2048) / 2048 + 1
    EXPECT_TRUE(model->spectrogram.get());
    EXPECT_EQ(model->problem.get(), "");
}

TEST_F(AudioPlayerModelTest, LoadingTheSameLocationAgainChangesNothing) {
    const auto path = file("audio-a.m4a", 16000 * 10, 10);
    model->load(path);
    finishAnalysis();
    model->togglePlay();
    model->load(path);
    EXPECT_EQ(players.logs.size(), 1u);
    EXPECT_TRUE(executor.tasks.empty());
    EXPECT_TRUE(model->isPlaying.get());
    EXPECT_FALSE(model->peaks.get().empty());
}

TEST_F(AudioPlayerModelTest, TheTickerPublishesThePlayheadTenTimesASecondWhilePlaying) {
    model->load(file("audio-a.m4a", 16000 * 10, 10));
    finishAnalysis();
    model->togglePlay();
    EXPECT_TRUE(playerLog().playing);
    playerLog().position = 1.25;
    scheduler.advance(99ms);
    EXPECT_DOUBLE_EQ(model->currentTime.get(), 0);
    scheduler.advance(1ms);
    EXPECT_DOUBLE_EQ(model->currentTime.get(), 1.25);

    model->togglePlay();
    EXPECT_FALSE(model->isPlaying.get());
    EXPECT_FALSE(playerLog().playing);
    playerLog().position = 3;
    scheduler.advance(1s);
    EXPECT_DOUBLE_EQ(model->currentTime.get(), 1.25);
}

TEST_F(AudioPlayerModelTest, SeekAndSkipStayWithinTheRecording) {
    model->load(file("audio-a.m4a", 16000 * 100, 100));
    finishAnalysis();
    struct Step {
        const char* name;
        bool skip;
        double seconds;
        double expected;
    } steps[] = {
        {"seek", false, 42, 42},
        {"skip forward", true, 15, 57},
        {"skip back", true, -15, 42},
        {"past the end", false, 250, 100},
        {"before the start", false, -3, 0},
        {"skip before the start", true, -15, 0},
        {"not a number", false, NAN, 0},
    };
    for (const auto& step : steps) {
        if (step.skip)
            model->skip(step.seconds);
        else
            model->seek(step.seconds);
        EXPECT_DOUBLE_EQ(model->currentTime.get(), step.expected) << step.name;
        EXPECT_DOUBLE_EQ(playerLog().position, step.expected) << step.name;
    }
}

TEST_F(AudioPlayerModelTest, TheEndOfPlaybackStopsTheTickerAndKeepsThePlayhead) {
    model->load(file("audio-a.m4a", 16000 * 10, 10));
    finishAnalysis();
    model->togglePlay();
    playerLog().position = 9.9;
    scheduler.advance(100ms);
    players.last->finish();
    EXPECT_FALSE(model->isPlaying.get());
    playerLog().position = 0;
    scheduler.advance(1s);
    EXPECT_DOUBLE_EQ(model->currentTime.get(), 9.9);
}

TEST_F(AudioPlayerModelTest, UnloadClearsEverythingAndDropsTheAnalysisOnItsWay) {
    model->load(file("audio-a.m4a", 16000 * 10, 10));
    openPlayer();
    model->togglePlay();
    model->unload();
    EXPECT_TRUE(playerLog().destroyed);
    EXPECT_FALSE(model->url.get());
    EXPECT_DOUBLE_EQ(model->duration.get(), 0);
    EXPECT_FALSE(model->isPlaying.get());
    EXPECT_FALSE(model->isLoading.get());
    finishAnalysis();
    EXPECT_TRUE(model->peaks.get().empty());
    EXPECT_DOUBLE_EQ(model->duration.get(), 0);
    model->togglePlay(); // no player: nothing
    model->seek(3);
    EXPECT_DOUBLE_EQ(model->currentTime.get(), 0);
}

TEST_F(AudioPlayerModelTest, ALateResultForAnEarlierFileIsDropped) {
    const auto first = file("audio-a.m4a", 16000 * 600, 600);
    const auto second = file("audio-b.m4a", 16000 * 5, 5);
    model->load(first);
    model->load(second);
    ASSERT_EQ(executor.tasks.size(), 4u);
    executor.runNext(); // the first file's player and analysis end late
    executor.runNext();
    scheduler.runDue();
    EXPECT_TRUE(model->isLoading.get());
    EXPECT_TRUE(model->peaks.get().empty());
    EXPECT_FALSE(model->canPlay());
    EXPECT_DOUBLE_EQ(model->duration.get(), 0);
    ASSERT_EQ(players.logs.size(), 1u);
    EXPECT_TRUE(playerLog(0).destroyed) << "the first file's player goes unused";
    finishAnalysis();
    EXPECT_TRUE(model->canPlay());
    EXPECT_EQ(playerLog(1).file, second);
    EXPECT_FALSE(model->isLoading.get());
    EXPECT_DOUBLE_EQ(model->duration.get(), 5);
    EXPECT_EQ(model->peaks.get().size(), 39u); // (80000 - 2048) / 2048 + 1
}

TEST_F(AudioPlayerModelTest, AResultAfterTheModelIsGoneIsDropped) {
    model->load(file("audio-a.m4a", 16000 * 5, 5));
    model.reset();
    executor.runNext();
    executor.runNext();
    EXPECT_EQ(scheduler.pendingCount(), 2u); // the player and the pictures are on their way
    scheduler.runDue();                      // and reach nothing
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    EXPECT_TRUE(playerLog().destroyed);
}

TEST_F(AudioPlayerModelTest, AFileThePlayerCannotOpenIsStillPictured) {
    const auto path = file("audio a\u00e9.m4a", 16000 * 30, 30);
    players.failing.insert(path);
    model->load(path);
    openPlayer();
    EXPECT_FALSE(model->canPlay());
    ASSERT_EQ(console.lines().size(), 1u);
    // The location as a file URL: a blank and the bytes of a non-ASCII letter percent-encoded.
    EXPECT_EQ(console.lines()[0], "Mirl: AudioPlayer failed to load file://" + tmp.path().string() +
                                      "/audio%20a%C3%A9.m4a: cannot open " + path.string());
    // The window names the file without its folder.
    EXPECT_EQ(model->problem.get(), "This recording cannot be played (cannot open audio a\u00e9.m4a).");
    finishAnalysis();
    EXPECT_DOUBLE_EQ(model->duration.get(), 30);
    EXPECT_FALSE(model->peaks.get().empty());
    model->togglePlay();
    EXPECT_FALSE(model->isPlaying.get());
}

TEST_F(AudioPlayerModelTest, AFileTheReaderCannotDecodeKeepsThePlayersDuration) {
    const auto path = file("audio-a.m4a", 0, 42);
    readable.erase(path);
    model->load(path);
    finishAnalysis();
    EXPECT_FALSE(model->isLoading.get());
    EXPECT_TRUE(model->peaks.get().empty());
    EXPECT_FALSE(model->spectrogram.get());
    EXPECT_DOUBLE_EQ(model->duration.get(), 42);
    EXPECT_NE(model->problem.get().find("cannot decode audio-a.m4a"), std::string::npos);
    model->seek(30);
    EXPECT_DOUBLE_EQ(model->currentTime.get(), 30);
}

TEST_F(AudioPlayerModelTest, AMissingFileSaysSo) {
    model->load(tmp.path() / "audio-gone.m4a");
    EXPECT_FALSE(model->canPlay());
    finishAnalysis();
    EXPECT_FALSE(model->isLoading.get());
    EXPECT_NE(model->problem.get().find("cannot be played"), std::string::npos);
}

TEST_F(AudioPlayerModelTest, APartedRecordingPlaysAndPicturesAsOneNight) {
    const auto first = file("audio-2026-12-05-2253.m4a", 16000 * 20, 20);
    file("audio-2026-12-05-2253-part3.m4a", 16000 * 5, 5);
    file("audio-2026-12-05-2253-part2.m4a", 16000 * 10, 10);
    file("audio-2026-12-05-2253-2.m4a", 16000 * 99, 99); // another session's recording
    model->load(first);
    openPlayer();
    ASSERT_EQ(players.logs.size(), 3u);
    EXPECT_EQ(players.logs[1]->file.filename(), "audio-2026-12-05-2253-part2.m4a");
    EXPECT_DOUBLE_EQ(model->duration.get(), 35);
    finishAnalysis();
    EXPECT_EQ(opened.size(), 3u);
    EXPECT_DOUBLE_EQ(model->duration.get(), 35);
    EXPECT_EQ(model->peaks.get().size(), 273u); // (560000 - 2048) / 2048 + 1

    // Seeking into the second part plays that part from the matching place.
    model->togglePlay();
    model->seek(25);
    EXPECT_FALSE(playerLog(0).playing);
    EXPECT_TRUE(playerLog(1).playing);
    EXPECT_DOUBLE_EQ(playerLog(1).position, 5);
    EXPECT_DOUBLE_EQ(model->currentTime.get(), 25);
    // When it ends, the third part follows; the night ends after the last.
    players.opened[1]->finish();
    EXPECT_TRUE(playerLog(2).playing);
    EXPECT_DOUBLE_EQ(playerLog(2).position, 0);
    EXPECT_TRUE(model->isPlaying.get());
    players.opened[2]->finish();
    EXPECT_FALSE(model->isPlaying.get());
}
