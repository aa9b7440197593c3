#include "journal/analysis/SessionAnalysis.h"
#include "tests/support/TestPaths.h"
#include "tests/unit/journal/LogText.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <set>

using namespace mirl;
using test::LogText;
using test::resultOf;

namespace {

std::vector<std::string> ids(const SessionAnalysis& analysis) {
    std::vector<std::string> out;
    for (const auto& r : analysis.results)
        out.push_back(r.id);
    return out;
}

} // namespace

TEST(SessionAnalysisParsing, TextsWithoutAValidEventGiveNoAnalysis) {
    struct Case {
        const char* name;
        std::string text;
    } cases[] = {
        {"empty", ""},
        {"blank lines", "\n\n\n"},
        {"no ts", R"({"event":"session_start"})"
                  "\n"
                  R"({"event":"telemetry","avg_rms":0.1})"
                  "\n"},
        {"no event", R"({"ts":"2026-12-05T22:00:00.000Z"})"
                     "\n"},
        {"ts not text", R"({"ts":12,"event":"session_start"})"
                        "\n"},
        {"event not text", R"({"ts":"2026-12-05T22:00:00.000Z","event":["x"]})"
                           "\n"},
        {"not objects", "[1,2]\n\"text\"\n42\nnull\n"},
        {"garbage", "this is not a log\n\x01\x02\xff\n"},
        {"fraction-less only", R"({"ts":"2026-12-05T22:00:00Z","event":"session_start"})"
                               "\n"},
        {"no zone", R"({"ts":"2026-12-05T22:00:00.000","event":"session_start"})"
                    "\n"},
        {"impossible date", R"({"ts":"2026-02-30T22:00:00.000Z","event":"session_start"})"
                            "\n"},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(analyzeSessionText(c.text)) << c.name;
}

TEST(SessionAnalysisParsing, MissingOrUnreadableFilesGiveNoAnalysis) {
    test::TempDir tmp;
    EXPECT_FALSE(analyzeSession(tmp.path() / "session-none.jsonl"));
    EXPECT_FALSE(analyzeSession(tmp.path())); // a folder
    // Neither waiting on a FIFO nor reading a device without end.
    ASSERT_EQ(::mkfifo((tmp.path() / "session-fifo.jsonl").c_str(), 0600), 0);
    EXPECT_FALSE(analyzeSession(tmp.path() / "session-fifo.jsonl"));
    std::filesystem::create_symlink("/dev/zero", tmp.path() / "session-zero.jsonl");
    EXPECT_FALSE(analyzeSession(tmp.path() / "session-zero.jsonl"));
}

TEST(SessionAnalysisParsing, SaysWhyAFileGivesNoAnalysis) {
    // A device that never ends was read until memory ran out.
    std::string problem;
    EXPECT_FALSE(analyzeSession("/dev/zero", std::nullopt, &problem));
    EXPECT_EQ(problem, "not a regular file");
    test::TempDir tmp;
    std::ofstream(tmp.path() / "huge.jsonl") << "";
    std::filesystem::resize_file(tmp.path() / "huge.jsonl", kMaxSessionLogBytes + 1); // sparse
    EXPECT_FALSE(analyzeSession(tmp.path() / "huge.jsonl", std::nullopt, &problem));
    EXPECT_EQ(problem, "larger than " + std::to_string(kMaxSessionLogBytes) + " bytes");
    EXPECT_FALSE(analyzeSession(tmp.path() / "none.jsonl", std::nullopt, &problem));
    EXPECT_EQ(problem, "No such file or directory");
    std::ofstream(tmp.path() / "garbage.jsonl") << "not a log\n";
    EXPECT_FALSE(analyzeSession(tmp.path() / "garbage.jsonl", std::nullopt, &problem));
    EXPECT_EQ(problem, "no session event to analyse");
}

TEST(SessionAnalysisParsing, ReadsAFileAndKeepsEveryValidLineInFileOrder) {
    test::TempDir tmp;
    const auto path = tmp.path() / "session-2026-12-05-2200.jsonl";
    const auto log =
        LogText().at(0, "session_start").at(60, "telemetry", {{"avg_rms", 0.01}}).at(90, "session_end");
    std::ofstream(path) << log.text();
    auto analysis = analyzeSession(path);
    ASSERT_TRUE(analysis);
    ASSERT_EQ(analysis->events.size(), 3u);
    EXPECT_EQ(analysis->events[1].type, "telemetry");
    EXPECT_EQ(analysis->events[1].payload()["avg_rms"], 0.01);
    EXPECT_EQ(analysis->events[1].payload()["event"], "telemetry"); // the whole object
    EXPECT_DOUBLE_EQ(analysis->events[1].tFromStart, 60);
    EXPECT_EQ(analysis->startDate, LogText::start());
    EXPECT_DOUBLE_EQ(analysis->durationSeconds, 90);
    EXPECT_EQ(ids(*analysis), (std::vector<std::string>{"phase", "snoring_streak", "rpm_drop", "rms_drop",
                                                        "user_idle", "breathband_tuned", "composite",
                                                        "volume_applied", "brightness_applied"}));
}

TEST(SessionAnalysisParsing, ATornLastLineIsSkippedAndTheNightBeforeItStays) {
    auto log = LogText().at(0, "session_start").at(600, "telemetry", {{"avg_rms", 0.01}});
    // A process killed in the middle of a record, cutting a multi-byte character in two.
    log.raw("{\"event\":\"telemetry\",\"label\":\"caf\xc3");
    auto analysis = log.analyze();
    ASSERT_TRUE(analysis);
    EXPECT_EQ(analysis->events.size(), 2u);
    EXPECT_DOUBLE_EQ(analysis->durationSeconds, 600);
}

TEST(SessionAnalysisParsing, LinesThatAreNotUtf8AreSkippedOneByOne) {
    auto log = LogText().at(0, "session_start");
    log.raw("{\"event\":\"x\",\"ts\":\"2026-12-05T22:00:05.000Z\",\"name\":\"\xff\xfe\"}\n");
    log.at(10, "session_end");
    auto analysis = log.analyze();
    ASSERT_TRUE(analysis);
    ASSERT_EQ(analysis->events.size(), 2u);
    EXPECT_EQ(analysis->events[1].type, "session_end");
}

TEST(SessionAnalysisParsing, AStampWithoutFractionIsSkippedAndTheNextLineDefinesTheStart) {
    auto log = LogText();
    log.raw(R"({"event":"session_start","ts":"2026-12-05T21:59:00Z"})"
            "\n");
    log.at(30, "telemetry").at(90, "session_end");
    auto analysis = log.analyze();
    ASSERT_TRUE(analysis);
    ASSERT_EQ(analysis->events.size(), 2u);
    EXPECT_EQ(analysis->startDate, addSeconds(LogText::start(), 30));
    EXPECT_DOUBLE_EQ(analysis->events[0].tFromStart, 0);
    EXPECT_DOUBLE_EQ(analysis->durationSeconds, 60);
}

TEST(SessionAnalysisParsing, StampsTakeAnyFractionAndZone) {
    auto log = LogText();
    log.raw(R"({"event":"a","ts":"2026-12-05T22:00:00.5Z"})"
            "\n");
    log.raw(R"({"event":"b","ts":"2026-12-05T23:00:01.25+01:00"})"
            "\n");
    log.raw(R"({"event":"c","ts":"2026-12-05T21:00:02.000000-0100"})"
            "\n");
    log.raw(R"({"event":"d","ts":"2026-12-05T22:00:03.000+1:00"})"
            "\n"); // malformed zone
    auto analysis = log.analyze();
    ASSERT_TRUE(analysis);
    ASSERT_EQ(analysis->events.size(), 3u);
    EXPECT_DOUBLE_EQ(analysis->events[1].tFromStart, 0.75);
    EXPECT_DOUBLE_EQ(analysis->events[2].tFromStart, 1.5);
}

TEST(SessionAnalysisParsing, AnEarlierStampAfterALateFirstLineGivesNegativeTimesAndNoSorting) {
    auto log = LogText().at(100, "session_start").at(40, "telemetry").at(160, "session_end");
    auto analysis = log.analyze();
    ASSERT_TRUE(analysis);
    ASSERT_EQ(analysis->events.size(), 3u);
    EXPECT_EQ(analysis->events[1].type, "telemetry");
    EXPECT_DOUBLE_EQ(analysis->events[1].tFromStart, -60);
    EXPECT_DOUBLE_EQ(analysis->durationSeconds, 60); // the last line's time
}

TEST(SessionAnalysisParsing, AGivenDurationReplacesTheLastEventsTime) {
    auto analysis = LogText().at(0, "session_start").at(50, "session_end").analyze(3600);
    ASSERT_TRUE(analysis);
    EXPECT_DOUBLE_EQ(analysis->durationSeconds, 3600);
    EXPECT_EQ(resultOf(*analysis, "composite").rawSeries.size(), 201u); // a multiple of the 18 s step
    EXPECT_DOUBLE_EQ(resultOf(*analysis, "composite").rawSeries.back().t, 3600);
}

TEST(SessionAnalysisParsing, TheGridAtDurationZeroIsTheSingleTimeZero) {
    auto analysis = LogText().at(0, "session_start").analyze();
    ASSERT_TRUE(analysis);
    EXPECT_DOUBLE_EQ(analysis->durationSeconds, 0);
    for (const char* id : {"snoring_streak", "composite"}) {
        const auto& result = resultOf(*analysis, id);
        ASSERT_EQ(result.rawSeries.size(), 1u) << id;
        EXPECT_DOUBLE_EQ(result.rawSeries[0].t, 0) << id;
        EXPECT_DOUBLE_EQ(result.rawSeries[0].value, 0) << id;
        EXPECT_TRUE(result.verdicts.empty()) << id;
    }
}

TEST(SessionAnalysisParsing, ANegativeDurationGivesEmptyGrids) {
    auto analysis = LogText().at(100, "session_start").at(0, "telemetry").analyze();
    ASSERT_TRUE(analysis);
    EXPECT_DOUBLE_EQ(analysis->durationSeconds, -100);
    EXPECT_TRUE(resultOf(*analysis, "snoring_streak").rawSeries.empty());
    EXPECT_TRUE(resultOf(*analysis, "composite").rawSeries.empty());
}

TEST(SessionAnalysisParsing, GridStepsHaveTheirFloors) {
    // 100 s: steps of 2 s (51 times) for the snoring streak and 5 s (21 times) for the vote.
    auto analysis = LogText().at(0, "session_start").at(100, "session_end").analyze();
    ASSERT_TRUE(analysis);
    EXPECT_EQ(resultOf(*analysis, "snoring_streak").rawSeries.size(), 51u);
    EXPECT_EQ(resultOf(*analysis, "composite").rawSeries.size(), 21u);
    // Eight hours: at most 201 times whatever the length.
    auto night = LogText().at(0, "session_start").at(8 * 3600 + 7, "session_end").analyze();
    ASSERT_TRUE(night);
    EXPECT_EQ(resultOf(*night, "snoring_streak").rawSeries.size(), 201u);
}

TEST(SessionAnalysisParsing, VerdictIdsAreUniqueAcrossTheAnalysis) {
    auto log = LogText().at(0, "session_start");
    for (int i = 0; i < 5; ++i)
        log.at(10 + i, "phase_transition", {{"to", i % 2 ? "asleep" : "awake"}, {"confidence", 0.9}});
    log.at(20, "breathband_asleep").at(400, "session_end");
    auto analysis = log.analyze();
    ASSERT_TRUE(analysis);
    std::set<std::uint64_t> seen;
    std::size_t count = 0;
    for (const auto& r : analysis->results)
        for (const auto& v : r.verdicts) {
            seen.insert(v.id);
            ++count;
        }
    EXPECT_GE(count, 6u);
    EXPECT_EQ(seen.size(), count);
}
