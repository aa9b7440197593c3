#include "journal/SessionLogger.h"
#include "journal/JsonLine.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <thread>

using namespace mirl;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> lines(const fs::path& file) {
    std::istringstream in(test::readFile(file));
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

class SessionLoggerTest : public ::testing::Test {
protected:
    // 2026-12-05T22:00:00.000Z; the test main runs in UTC, so the stamp is 2026-12-05-2200.
    VirtualScheduler clock;
    test::TempDir tmp;
    fs::path root = tmp.path() / "data" / "Mirl";
    SessionLogger logger{clock, root, "Debian GNU/Linux 12 (bookworm)"};
};

mode_t modeOf(const fs::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st.st_mode & 0777;
}

void setModified(const fs::path& p, TimePoint t) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = ns / 1000000000;
    times[0].tv_nsec = times[1].tv_nsec = ns % 1000000000;
    ::utimensat(AT_FDCWD, p.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

void setModifiedSeconds(const fs::path& p, long long seconds) {
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(seconds);
    times[0].tv_nsec = times[1].tv_nsec = 0;
    ::utimensat(AT_FDCWD, p.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

} // namespace

TEST_F(SessionLoggerTest, WritesTheExactRecordFormat) {
    auto files = logger.startSession();
    EXPECT_EQ(files.log, root / "sessions" / "session-2026-12-05-2200.jsonl");
    EXPECT_EQ(files.recording, root / "recordings" / "audio-2026-12-05-2200.m4a");
    EXPECT_FALSE(fs::exists(files.recording)); // reserved, not created

    clock.advance(1234ms);
    logger.log("empty");
    logger.log("nested",
               {{"zeta", 1}, {"alpha", {{"b", 2}, {"a", {{"y", true}, {"x", nullptr}}}}}, {"mid", {3, 1.5}}});
    logger.log("text",
               {{"path", "a/b"}, {"quote", "say \"hi\"\\"}, {"ctl", "tab\tnl\n\x01"}, {"utf", "Müde 😴"}});
    logger.log("numbers",
               {{"int", 42}, {"neg", -7}, {"dbl", 0.1}, {"whole", 2.0}, {"big", 1e300}, {"tiny", 5e-324}});
    logger.log("override", {{"event", "replaced"}});
    logger.endSession("user_cancelled");

    const std::vector<std::string> expected = {
        R"j({"event":"session_start","macos":"Debian GNU\/Linux 12 (bookworm)","recording_file":"audio-2026-12-05-2200.m4a","session_file":"session-2026-12-05-2200.jsonl","ts":"2026-12-05T22:00:00.000Z"})j",
        R"j({"event":"empty","ts":"2026-12-05T22:00:01.234Z"})j",
        R"j({"alpha":{"a":{"x":null,"y":true},"b":2},"event":"nested","mid":[3,1.5],"ts":"2026-12-05T22:00:01.234Z","zeta":1})j",
        R"j({"ctl":"tab\tnl\n\u0001","event":"text","path":"a\/b","quote":"say \"hi\"\\","ts":"2026-12-05T22:00:01.234Z","utf":"Müde 😴"})j",
        R"j({"big":1e+300,"dbl":0.1,"event":"numbers","int":42,"neg":-7,"tiny":5e-324,"ts":"2026-12-05T22:00:01.234Z","whole":2.0})j",
        R"j({"event":"replaced","ts":"2026-12-05T22:00:01.234Z"})j",
        R"j({"event":"session_end","reason":"user_cancelled","ts":"2026-12-05T22:00:01.234Z"})j",
    };
    EXPECT_EQ(lines(files.log), expected);
    const std::string raw = test::readFile(files.log);
    EXPECT_EQ(raw.back(), '\n');
    EXPECT_EQ(raw.find('\r'), std::string::npos);
}

TEST_F(SessionLoggerTest, NumbersReadBackAsTheSameDouble) {
    for (double v : {0.1, 1.0 / 3.0, 2.5e-8, 123456789.123456789, -0.0, 1.7976931348623157e308}) {
        auto text = encodeJsonLine({{"v", v}});
        ASSERT_TRUE(text);
        EXPECT_EQ(nlohmann::json::parse(*text)["v"].get<double>(), v) << *text;
    }
}

TEST_F(SessionLoggerTest, DropsRecordsThatCannotBeEncodedAndKeepsTheRest) {
    auto files = logger.startSession();
    logger.log("bad", {{"level", std::numeric_limits<double>::quiet_NaN()}});
    logger.log("bad", {{"deep", {{"x", {1.0, std::numeric_limits<double>::infinity()}}}}});
    logger.log("bad", {{"text", std::string("\xff\xfe")}});
    logger.log("good", {{"n", 1}});
    auto got = lines(files.log);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1], R"j({"event":"good","n":1,"ts":"2026-12-05T22:00:00.000Z"})j");
}

TEST_F(SessionLoggerTest, NothingIsWrittenOrCreatedWithoutAnOpenSession) {
    logger.log("orphan", {{"a", 1}});
    logger.endSession("nothing_open");
    EXPECT_FALSE(fs::exists(root / "sessions") && !fs::is_empty(root / "sessions"));

    auto files = logger.startSession();
    logger.endSession("first");
    logger.endSession("second");
    logger.log("after_end");
    auto got = lines(files.log);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_NE(got[1].find("\"reason\":\"first\""), std::string::npos);
    EXPECT_FALSE(logger.isOpen());
    EXPECT_FALSE(logger.currentSessionURL());
}

TEST_F(SessionLoggerTest, FoldersAreOwnerOnlyAndLogsArePrivate) {
    auto files = logger.startSession();
    EXPECT_EQ(modeOf(root), 0700u);
    EXPECT_EQ(modeOf(root / "sessions"), 0700u);
    EXPECT_EQ(modeOf(root / "recordings"), 0700u);
    EXPECT_EQ(modeOf(files.log), 0600u);
}

TEST_F(SessionLoggerTest, SecondSessionInTheSameMinuteGetsItsOwnFiles) {
    auto first = logger.startSession();
    logger.log("from_first");
    clock.advance(20s);
    auto second = logger.startSession(); // closes the first without session_end
    logger.log("from_second");
    logger.endSession("done");
    EXPECT_EQ(second.log.filename(), "session-2026-12-05-2200-2.jsonl");
    EXPECT_EQ(second.recording.filename(), "audio-2026-12-05-2200-2.m4a");

    auto a = lines(first.log);
    ASSERT_EQ(a.size(), 2u);
    EXPECT_NE(a[1].find("from_first"), std::string::npos);
    auto b = lines(second.log);
    ASSERT_EQ(b.size(), 3u);
    EXPECT_NE(b[0].find("session-2026-12-05-2200-2.jsonl"), std::string::npos);

    // A recording left under the plain stamp also makes the next session move on.
    fs::remove(first.log);
    fs::remove(second.log);
    { std::ofstream(first.recording) << "audio"; }
    auto third = logger.startSession();
    EXPECT_EQ(third.log.filename(), "session-2026-12-05-2200-2.jsonl");
}

TEST_F(SessionLoggerTest, ConcurrentLoggingNeverMergesLines) {
    auto files = logger.startSession();
    const std::string filler(3000, 'x');
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i)
                logger.log("tick", {{"thread", t}, {"i", i}, {"filler", filler}});
        });
    for (auto& th : threads)
        th.join();
    logger.endSession("done");
    auto got = lines(files.log);
    ASSERT_EQ(got.size(), 802u);
    std::map<int, int> nextPerThread;
    for (std::size_t k = 1; k + 1 < got.size(); ++k) {
        auto record = nlohmann::json::parse(got[k]); // throws on a merged line
        int t = record["thread"];
        EXPECT_EQ(record["i"].get<int>(), nextPerThread[t]++);
    }
}

TEST_F(SessionLoggerTest, PruningDeletesOnlyEntriesOlderThanTheCutoff) {
    logger.dataFolder();
    const TimePoint cutoff = clock.now() - std::chrono::hours(24 * 60);
    auto make = [&](const fs::path& p, TimePoint modified) {
        std::ofstream(p) << "x";
        setModified(p, modified);
    };
    make(root / "sessions" / "old.jsonl", cutoff - 1ms);
    make(root / "sessions" / "at-cutoff.jsonl", cutoff);
    make(root / "sessions" / ".hidden-old", cutoff - 1h);
    make(root / "recordings" / "audio-old.m4a", cutoff - 24h);
    make(root / "recordings" / "audio-new.m4a", clock.now());
    make(root / "annotations.jsonl", cutoff - 1000h);
    fs::create_directory(root / "recordings" / "old-folder");
    make(root / "recordings" / "old-folder" / "inner", cutoff - 1h);
    setModified(root / "recordings" / "old-folder", cutoff - 1h);

    logger.pruneOldFiles(0);
    logger.pruneOldFiles(-5);
    EXPECT_TRUE(fs::exists(root / "sessions" / "old.jsonl"));

    logger.pruneOldFiles(60);
    EXPECT_FALSE(fs::exists(root / "sessions" / "old.jsonl"));
    EXPECT_FALSE(fs::exists(root / "sessions" / ".hidden-old"));
    EXPECT_FALSE(fs::exists(root / "recordings" / "audio-old.m4a"));
    EXPECT_FALSE(fs::exists(root / "recordings" / "old-folder"));
    EXPECT_TRUE(fs::exists(root / "sessions" / "at-cutoff.jsonl"));
    EXPECT_TRUE(fs::exists(root / "recordings" / "audio-new.m4a"));
    EXPECT_TRUE(fs::exists(root / "annotations.jsonl"));
}

TEST_F(SessionLoggerTest, RotationBeyondTheClocksRangeKeepsEverything) {
    logger.dataFolder();
    const auto aged = root / "sessions" / "aged.jsonl";
    const auto farFuture = root / "recordings" / "audio-far-future.m4a"; // a clock set wrong once
    std::ofstream(aged) << "x";
    std::ofstream(farFuture) << "x";
    setModified(aged, clock.now() - std::chrono::hours(24 * 61));
    setModifiedSeconds(farFuture, 32503680000); // the year 3000, beyond 64-bit nanoseconds
    // About 106,751 days is where the cutoff's nanoseconds overflow; a user writing a huge
    // number means "keep for ever".
    for (int days : {106752, 150000, 200000, 365000, 1000000, std::numeric_limits<int>::max()}) {
        logger.pruneOldFiles(days);
        EXPECT_TRUE(fs::exists(aged)) << days;
        EXPECT_TRUE(fs::exists(farFuture)) << days;
    }
    logger.pruneOldFiles(60);
    EXPECT_FALSE(fs::exists(aged));
    EXPECT_TRUE(fs::exists(farFuture)) << "a file from the future is not old";
}

TEST_F(SessionLoggerTest, StampUsesLocalTime) {
    test::LocalZone zone("America/New_York");
    EXPECT_EQ(SessionLogger::sessionStamp(clock.now()), "2026-12-05-1700");
}

TEST_F(SessionLoggerTest, UnwritableDataFolderRunsWithoutALog) {
    SessionLogger orphan(clock, std::nullopt, "Linux");
    orphan.startSession();
    orphan.log("x");
    EXPECT_FALSE(orphan.isOpen());

    fs::create_directories(tmp.path() / "ro");
    { std::ofstream(tmp.path() / "ro" / "Mirl") << "a file where the folder should be"; }
    SessionLogger blocked(clock, tmp.path() / "ro" / "Mirl", "Linux");
    blocked.startSession();
    blocked.log("x");
    EXPECT_FALSE(blocked.isOpen());
}

TEST(Timestamp, FormatsAndParsesMillisecondsCut) {
    const TimePoint t = VirtualScheduler::defaultStart() + 1999999us;
    EXPECT_EQ(formatTimestamp(t), "2026-12-05T22:00:01.999Z");
    EXPECT_EQ(parseTimestamp("2026-12-05T22:00:01.999Z"), VirtualScheduler::defaultStart() + 1999ms);
    EXPECT_FALSE(parseTimestamp("2026-12-05 22:00:01.999Z"));
    EXPECT_FALSE(parseTimestamp("2026-02-30T22:00:01.999Z"));
    // Years the clock cannot hold are refused rather than wrapped round into another time.
    EXPECT_FALSE(parseTimestamp("9999-12-31T23:59:59.999Z"));
    EXPECT_FALSE(parseTimestamp("2262-06-01T00:00:00.000Z"));
    EXPECT_FALSE(parseTimestamp("0001-01-01T00:00:00.000Z"));
    ASSERT_TRUE(parseTimestamp("2261-12-31T23:59:59.999+01:00"));
    EXPECT_GT(*parseTimestamp("2261-12-31T23:59:59.999+01:00"), VirtualScheduler::defaultStart());
    EXPECT_EQ(formatTimestamp(TimePoint{} - 1ms), "1969-12-31T23:59:59.999Z");
}

TEST(Timestamp, TimesTheClockCannotHoldDoNotParse) {
    // The clock counts 64-bit nanoseconds from 1970: about 1677 to 2262. Years outside that
    // overflowed the conversion (undefined behaviour, found by fuzzing the session analysis).
    for (const char* text :
         {"0001-01-01T00:00:00.000Z", "9999-12-31T23:59:59.999Z", "1677-09-21T00:12:43.000Z",
          "2262-04-11T23:47:17.000Z", "2262-04-11T23:00:00.000-01:00"})
        EXPECT_FALSE(parseTimestamp(text)) << text;
    for (const char* text :
         {"1677-09-21T00:12:45.000Z", "2262-04-11T23:47:15.999999999Z", "1970-01-01T00:00:00.0Z"}) {
        const auto t = parseTimestamp(text);
        ASSERT_TRUE(t) << text;
        EXPECT_EQ(parseTimestamp(formatTimestamp(*t)), std::chrono::floor<std::chrono::milliseconds>(*t))
            << text;
    }
}

TEST(JsonLine, ParsesOneWholeValueOfBoundedDepth) {
    EXPECT_EQ(parseJsonLine(R"({"a":[1,{"b":null}]})"), nlohmann::json::parse(R"({"a":[1,{"b":null}]})"));
    EXPECT_FALSE(parseJsonLine(R"({"a":1)"));
    // nlohmann's parser alone stops at a NUL byte and takes a line with garbage after it.
    EXPECT_FALSE(parseJsonLine(std::string("{\"a\":1}\0garbage", 15)));
    EXPECT_FALSE(parseJsonLine(std::string("{\"a\":\"x\0y\"}", 11)));
    const auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    EXPECT_TRUE(parseJsonLine(nested(kMaxJsonLineDepth)));
    EXPECT_FALSE(parseJsonLine(nested(kMaxJsonLineDepth + 1)));
    EXPECT_FALSE(parseJsonLine(nested(1000000))); // overflowed the stack
    // Brackets inside strings are text.
    EXPECT_TRUE(parseJsonLine("\"" + std::string(1000, '[') + "\\\"\""));
}
