#include "journal/annotations/AnnotationStore.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <set>
#include <sys/stat.h>

using namespace mirl;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class AnnotationStoreTest : public ::testing::Test {
protected:
    VirtualScheduler clock;
    test::TempDir tmp;
    fs::path root = tmp.path() / "Mirl";

    void SetUp() override {
        fs::create_directories(root / "sessions");
        fs::create_directories(root / "recordings");
    }

    fs::path touch(const fs::path& relative, std::string content = "{}\n",
                   std::optional<TimePoint> modified = {}) {
        const fs::path path = root / relative;
        std::ofstream(path) << content;
        if (modified) {
            const auto ns =
                std::chrono::duration_cast<std::chrono::nanoseconds>(modified->time_since_epoch()).count();
            timespec times[2];
            times[0].tv_sec = times[1].tv_sec = ns / 1000000000;
            times[0].tv_nsec = times[1].tv_nsec = ns % 1000000000;
            ::utimensat(AT_FDCWD, path.c_str(), times, 0);
        }
        return path;
    }
    void appendAnnotations(const std::string& text) {
        std::ofstream(root / "annotations.jsonl", std::ios::app) << text;
    }
    static std::vector<std::string> ids(const std::vector<SessionRef>& sessions) {
        std::vector<std::string> out;
        for (const auto& s : sessions)
            out.push_back(s.id);
        return out;
    }
};

const TimePoint t0 = VirtualScheduler::defaultStart();

} // namespace

TEST_F(AnnotationStoreTest, ListsSessionLogsNewestFirstWithTheirRecordings) {
    touch("sessions/session-2026-12-01-2200.jsonl", "{}\n", t0 - 96h);
    touch("sessions/session-2026-12-03-2300.jsonl", "{}\n", t0 - 48h);
    touch("sessions/session-2026-12-03-2300-2.jsonl", "{}\n", t0 - 47h);
    touch("sessions/session-.jsonl", "{}\n", t0 - 200h);
    touch("sessions/notes.txt");
    touch("sessions/session-1.json");
    fs::create_directories(root / "sessions" / "session-folder.jsonl");
    touch("recordings/audio-2026-12-03-2300.m4a", "x");
    touch("recordings/audio-2026-12-01-2200-part2.m4a", "x"); // a later part without the first
    AnnotationStore store(clock, root);
    const auto sessions = store.sessions.get();
    EXPECT_EQ(ids(sessions),
              (std::vector<std::string>{"2026-12-03-2300-2", "2026-12-03-2300", "2026-12-01-2200", ""}));
    EXPECT_EQ(sessions[1].recordingURL, root / "recordings" / "audio-2026-12-03-2300.m4a");
    EXPECT_FALSE(sessions[0].recordingURL);
    EXPECT_FALSE(sessions[2].recordingURL);
    EXPECT_EQ(sessions[1].date, t0 - 48h);
    EXPECT_EQ(sessions[1].sessionURL, root / "sessions" / "session-2026-12-03-2300.jsonl");
}

TEST_F(AnnotationStoreTest, ALogDatedBeyondTheClocksRangeIsTheNewestNotTheOldest) {
    touch("sessions/session-2026-12-01-2200.jsonl", "{}\n", t0 - 96h);
    const fs::path future = touch("sessions/session-3000-01-01-0000.jsonl");
    timespec times[2] = {{32503680000, 0}, {32503680000, 0}}; // past 64-bit nanoseconds
    ASSERT_EQ(::utimensat(AT_FDCWD, future.c_str(), times, 0), 0);
    AnnotationStore store(clock, root);
    EXPECT_EQ(ids(store.sessions.get()), (std::vector<std::string>{"3000-01-01-0000", "2026-12-01-2200"}));
    EXPECT_EQ(store.sessions.get()[0].date, TimePoint::max());
}

TEST_F(AnnotationStoreTest, ANewLogAppearsAtTheNextRefresh) {
    AnnotationStore store(clock, root);
    EXPECT_TRUE(store.sessions.get().empty());
    touch("sessions/session-2026-12-05-2200.jsonl");
    EXPECT_TRUE(store.sessions.get().empty());
    store.refresh();
    EXPECT_EQ(store.sessions.get().size(), 1u);
}

TEST_F(AnnotationStoreTest, WithoutADataFolderTheListIsEmptyAndSavesFail) {
    AnnotationStore store(clock, std::nullopt);
    EXPECT_TRUE(store.sessions.get().empty());
    EXPECT_FALSE(store.saveAnnotation("x", SessionType::night, "", 3, ""));
    EXPECT_TRUE(store.existingAnnotations.get().empty());
}

TEST_F(AnnotationStoreTest, CreatesTheMissingFolders) {
    const fs::path fresh = tmp.path() / "new" / "Mirl";
    AnnotationStore store(clock, fresh);
    EXPECT_TRUE(fs::is_directory(fresh / "sessions"));
    EXPECT_TRUE(fs::is_directory(fresh / "recordings"));
}

TEST_F(AnnotationStoreTest, SavesOneSortedLinePerAnnotationAndTheLastLineWins) {
    AnnotationStore store(clock, root);
    ASSERT_TRUE(store.saveAnnotation("2026-12-05-2200", SessionType::night, "14:30-17:35", 4, "slept/well"));
    clock.advance(90s);
    ASSERT_TRUE(store.saveAnnotation("2026-12-05-2200", SessionType::nap, "", 7, ""));
    const std::string text = test::readFile(root / "annotations.jsonl");
    EXPECT_EQ(
        text,
        R"({"comment":"slept\/well","quality":4,"session_id":"2026-12-05-2200","sleep_intervals":"14:30-17:35","ts":"2026-12-05T22:00:00Z","type":"night"})"
        "\n"
        R"({"comment":"","quality":7,"session_id":"2026-12-05-2200","sleep_intervals":"","ts":"2026-12-05T22:01:30Z","type":"nap"})"
        "\n");
    const auto annotations = store.existingAnnotations.get();
    ASSERT_EQ(annotations.size(), 1u);
    EXPECT_EQ(annotations.at("2026-12-05-2200")["type"], "nap");
    EXPECT_EQ(annotations.at("2026-12-05-2200")["quality"], 7);
    struct stat st {};
    ::stat((root / "annotations.jsonl").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(AnnotationStoreTest, TheLaterLineWinsWhateverItsTime) {
    appendAnnotations(R"({"session_id":"a","ts":"2030-01-01T00:00:00Z","type":"night"})"
                      "\n"
                      R"({"session_id":"a","ts":"2020-01-01T00:00:00Z","type":"test"})"
                      "\n");
    AnnotationStore store(clock, root);
    EXPECT_EQ(store.existingAnnotations.get().at("a")["type"], "test");
}

TEST_F(AnnotationStoreTest, TornForeignAndInvalidLinesAreSkippedAndSurviveTheNextSave) {
    const std::string before = R"({"session_id":"a","type":"night"})"
                               "\n"
                               "not json at all\n"
                               R"({"type":"nap"})"
                               "\n" // no session_id
                               R"({"session_id":12,"type":"nap"})"
                               "\n" // not text
                               R"(["session_id","b"])"
                               "\n"                                            // not an object
                               "{\"session_id\":\"c\",\"comment\":\"\xff\"}\n" // not UTF-8
                               R"({"session_id":"d","type":"night","extra":{"x":[1,2]}})"
                               "\n"
                               R"({"session_id":"e","type":"ni)"; // torn: a save was cut short
    appendAnnotations(before);
    AnnotationStore store(clock, root);
    auto annotations = store.existingAnnotations.get();
    EXPECT_EQ(annotations.size(), 2u);
    EXPECT_TRUE(annotations.count("a"));
    EXPECT_EQ(annotations.at("d")["extra"]["x"][1], 2);

    ASSERT_TRUE(store.saveAnnotation("e", SessionType::night, "", 3, ""));
    const std::string after = test::readFile(root / "annotations.jsonl");
    EXPECT_EQ(after.substr(0, before.size()), before);
    EXPECT_EQ(after[before.size()], '\n');
    annotations = store.existingAnnotations.get();
    EXPECT_EQ(annotations.size(), 3u);
    EXPECT_EQ(annotations.at("e")["type"], "night");
}

TEST_F(AnnotationStoreTest, LinesNestedTooDeepOrCutByANulByteAreSkippedAndSurviveTheNextSave) {
    // A line nested a million deep crashed the window (nlohmann recurses when it copies or
    // compares a tree); a NUL byte made nlohmann accept the line up to it.
    const std::string before = R"({"session_id":"a","type":"night"})"
                               "\n"
                               R"({"session_id":"deep","x":)" +
                               std::string(1000000, '[') + std::string(1000000, ']') + "}\n" +
                               std::string(R"({"session_id":"nul","type":"nap"})") + '\0' +
                               "rest of a damaged line\n";
    appendAnnotations(before);
    AnnotationStore store(clock, root);
    auto annotations = store.existingAnnotations.get();
    EXPECT_EQ(annotations.size(), 1u);
    EXPECT_TRUE(annotations.count("a"));

    ASSERT_TRUE(store.saveAnnotation("deep", SessionType::nap, "", 2, ""));
    const std::string after = test::readFile(root / "annotations.jsonl");
    EXPECT_EQ(after.substr(0, before.size()), before);
    EXPECT_EQ(store.annotatedType("deep"), SessionType::nap);
}

TEST_F(AnnotationStoreTest, OnlyRegularFilesAreListed) {
    // Selecting a FIFO named like a log hung the window; a link to /dev/zero was read without end.
    touch("sessions/session-2026-12-05-2200.jsonl");
    ASSERT_EQ(::mkfifo((root / "sessions" / "session-2026-12-05-2300.jsonl").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", root / "sessions" / "session-2026-12-06-0100.jsonl");
    fs::create_symlink(root / "sessions" / "session-2026-12-05-2200.jsonl",
                       root / "sessions" / "session-2026-12-06-0200.jsonl");
    fs::create_directories(root / "sessions" / "session-2026-12-06-0300.jsonl");
    AnnotationStore store(clock, root);
    EXPECT_EQ(ids(store.sessions.get()), std::vector<std::string>{"2026-12-05-2200"});
}

TEST_F(AnnotationStoreTest, AnUnreadableAnnotationFileGivesNoAnnotationsAndKeepsTheList) {
    touch("sessions/session-2026-12-05-2200.jsonl");
    fs::create_directories(root / "annotations.jsonl"); // a folder where the file should be
    AnnotationStore store(clock, root);
    EXPECT_EQ(store.sessions.get().size(), 1u);
    EXPECT_TRUE(store.existingAnnotations.get().empty());
    EXPECT_FALSE(store.saveAnnotation("2026-12-05-2200", SessionType::night, "", 3, ""));
}

TEST_F(AnnotationStoreTest, AnAnnotationFileThatIsNoFileNeitherHangsNorIsWrittenThrough) {
    touch("sessions/session-2026-12-05-2200.jsonl");
    const fs::path victim = tmp.path() / "victim";
    std::ofstream(victim) << "precious\n";
    for (const char* kind : {"fifo", "link"}) {
        fs::remove(root / "annotations.jsonl");
        if (std::string(kind) == "fifo")
            ASSERT_EQ(::mkfifo((root / "annotations.jsonl").c_str(), 0600), 0);
        else
            fs::create_symlink(victim, root / "annotations.jsonl");
        AnnotationStore store(clock, root); // a FIFO used to block here for good
        EXPECT_EQ(store.sessions.get().size(), 1u) << kind;
        EXPECT_TRUE(store.existingAnnotations.get().empty()) << kind;
        EXPECT_FALSE(store.saveAnnotation("2026-12-05-2200", SessionType::night, "", 3, "")) << kind;
        EXPECT_EQ(test::readFile(victim), "precious\n") << kind;
    }
}

TEST_F(AnnotationStoreTest, Filters) {
    touch("sessions/session-n.jsonl", "{}\n", t0 - 1h);
    touch("sessions/session-p.jsonl", "{}\n", t0 - 2h);
    touch("sessions/session-u.jsonl", "{}\n", t0 - 3h);
    touch("sessions/session-x.jsonl", "{}\n", t0 - 4h);
    appendAnnotations(R"({"session_id":"n","type":"night"})"
                      "\n"
                      R"({"session_id":"p","type":"nap"})"
                      "\n"
                      R"({"session_id":"x"})"
                      "\n" // annotated without a type
                      R"({"session_id":"gone","type":"night"})"
                      "\n");
    AnnotationStore store(clock, root);
    struct Case {
        SessionFilter filter;
        std::optional<SessionType> type;
        std::vector<std::string> shown;
    } cases[] = {
        {SessionFilter::all, std::nullopt, {"n", "p", "u", "x"}},
        {SessionFilter::annotated, std::nullopt, {"n", "p", "x"}},
        {SessionFilter::unannotated, std::nullopt, {"u"}},
        {SessionFilter::all, SessionType::night, {"n"}},
        {SessionFilter::annotated, SessionType::night, {"n"}},
        {SessionFilter::annotated, SessionType::nap, {"p"}},
        {SessionFilter::unannotated, SessionType::night, {}},
        {SessionFilter::all, SessionType::other, {}},
    };
    for (const auto& c : cases) {
        store.filter.set(c.filter);
        store.typeFilter.set(c.type);
        EXPECT_EQ(ids(store.filteredSessions()), c.shown)
            << rawValue(c.filter) << " " << (c.type ? storedText(*c.type) : "any");
    }
    EXPECT_EQ(store.annotatedType("n"), SessionType::night);
    EXPECT_FALSE(store.annotatedType("x"));
    EXPECT_TRUE(store.isAnnotated("gone")); // lines of deleted sessions stay without effect
}

TEST_F(AnnotationStoreTest, DeletingRemovesTheLogTheRecordingAndItsPartsOnly) {
    touch("sessions/session-2026-12-05-2253.jsonl", "{}\n", t0 - 1h);
    touch("sessions/session-2026-12-05-2253-2.jsonl", "{}\n", t0 - 2h);
    for (const char* name :
         {"audio-2026-12-05-2253.m4a", "audio-2026-12-05-2253-part2.m4a", "audio-2026-12-05-2253-part3.m4a",
          "audio-2026-12-05-2253-2.m4a", "audio-2026-12-05-2253-2-part2.m4a", "audio-2026-12-05-2254.m4a"})
        touch(fs::path("recordings") / name, "x");
    appendAnnotations(R"({"session_id":"2026-12-05-2253","type":"night"})"
                      "\n");
    AnnotationStore store(clock, root);
    const SessionRef doomed = store.sessions.get()[0];
    ASSERT_EQ(doomed.id, "2026-12-05-2253");
    store.deleteSession(doomed);

    EXPECT_EQ(ids(store.sessions.get()), std::vector<std::string>{"2026-12-05-2253-2"});
    EXPECT_FALSE(store.isAnnotated("2026-12-05-2253"));
    EXPECT_FALSE(fs::exists(root / "sessions" / "session-2026-12-05-2253.jsonl"));
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(root / "recordings"))
        left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"audio-2026-12-05-2253-2.m4a", "audio-2026-12-05-2253-2-part2.m4a",
                                           "audio-2026-12-05-2254.m4a"}));
    // The annotation file is not rewritten: the line comes back, matching no session.
    store.loadAnnotations();
    EXPECT_TRUE(store.isAnnotated("2026-12-05-2253"));
}

TEST_F(AnnotationStoreTest, DeletingASessionWhoseFilesAreAlreadyGoneStillForgetsIt) {
    touch("sessions/session-a.jsonl");
    AnnotationStore store(clock, root);
    auto session = store.sessions.get()[0];
    fs::remove(session.sessionURL);
    store.deleteSession(session);
    EXPECT_TRUE(store.sessions.get().empty());
}

TEST(SessionTypes, TextsAndLabels) {
    EXPECT_EQ(storedText(SessionType::night), "night");
    EXPECT_EQ(label(SessionType::other), "Other");
    EXPECT_EQ(sessionTypeFromStoredText("test"), SessionType::test);
    EXPECT_FALSE(sessionTypeFromStoredText("Night"));
    EXPECT_EQ(label(SessionFilter::unannotated), "Not annotated");
    EXPECT_EQ(rawValue(SessionFilter::annotated), "annotated");
}
