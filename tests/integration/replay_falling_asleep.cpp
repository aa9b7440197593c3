// testenv:
// timeout: 300
// mirl-replay end to end: a synthesised 20-minute "falling asleep" recording (speech and typing,
// then quiet breathing at 13 per minute, then occasional snoring), encoded as AAC, replayed
// through the FFmpeg reader, the feature classifier and every detector into a session log.

#include "tests/support/AudioFixtures.h"
#include "tests/support/TestPaths.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

using namespace mirl;
using namespace mirl::test;

namespace {

constexpr double kRatePerMin = 13.0;

const std::string kReplay = std::string(MIRL_BINARY_DIR) + "/bin/mirl-replay";
const std::string kGenerator = std::string(MIRL_SOURCE_DIR) + "/tests/data/make_falling_asleep.py";

/// Seconds since the epoch of a journal stamp "2026-12-06T19:07:39.496Z".
double stampSeconds(const std::string& ts) {
    int y, mo, d, h, mi;
    double s;
    if (std::sscanf(ts.c_str(), "%d-%d-%dT%d:%d:%lfZ", &y, &mo, &d, &h, &mi, &s) != 6)
        return -1;
    const auto days = std::chrono::sys_days{std::chrono::year{y} / mo / d}.time_since_epoch().count();
    return static_cast<double>(days) * 86400 + h * 3600 + mi * 60 + s;
}

struct Event {
    double t; // seconds since "session_start"
    nlohmann::json record;
};

/// The recording and its replayed log, made once for every test here.
class FallingAsleep : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new TempDir;
        const auto wav = dir->path() / "falling-asleep.wav";
        audio = dir->path() / "falling-asleep.m4a";
        ASSERT_EQ(
            shell("/usr/bin/python3 '" + kGenerator + "' '" + wav.string() + "' --seed 7 --rate-per-min 13"),
            0)
            << "the generator failed: it needs /usr/bin/python3 with numpy (python3-numpy) and espeak-ng";
        ASSERT_EQ(shell("ffmpeg -nostdin -loglevel error -y -i '" + wav.string() + "' -c:a aac -b:a 64k '" +
                        audio.string() + "'"),
                  0)
            << "the ffmpeg tool could not encode the recording";
        const auto out = dir->path() / "data";
        ASSERT_EQ(shell("'" + kReplay + "' '" + audio.string() + "' --out '" + out.string() + "' > '" +
                        (dir->path() / "replay.txt").string() + "'"),
                  0);
        std::vector<std::filesystem::path> logs;
        for (const auto& entry : std::filesystem::directory_iterator(out / "sessions"))
            logs.push_back(entry.path());
        ASSERT_EQ(logs.size(), 1u);
        std::istringstream lines(readFile(logs[0]));
        std::string line;
        double t0 = -1;
        while (std::getline(lines, line)) {
            auto record = nlohmann::json::parse(line);
            const double t = stampSeconds(record["ts"]);
            if (t0 < 0)
                t0 = t;
            events->push_back({t - t0, record});
        }
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }

    static std::vector<Event> named(const std::string& name) {
        std::vector<Event> out;
        for (const auto& e : *events)
            if (e.record["event"] == name)
                out.push_back(e);
        return out;
    }

    static inline TempDir* dir = nullptr;
    static inline std::filesystem::path audio;
    static inline std::vector<Event>* events = new std::vector<Event>;
};

} // namespace

TEST_F(FallingAsleep, LogIsOneWholeSession) {
    ASSERT_GE(events->size(), 100u);
    EXPECT_EQ(events->front().record["event"], "session_start");
    EXPECT_EQ(events->back().record["event"], "session_end");
    EXPECT_EQ(named("audio_analysis_ready").size(), 1u);
    EXPECT_EQ(named("breathband_started").size(), 1u);
    EXPECT_GT(named("classification").size(), 100u);
    // Telemetry every 60 s of audio: 20 in 20 minutes, with the level of about 117 buffers each
    // (8192 frames at 16 kHz).
    auto telemetry = named("telemetry");
    ASSERT_EQ(telemetry.size(), 20u);
    for (std::size_t i = 0; i < telemetry.size(); ++i) {
        EXPECT_NEAR(telemetry[i].t, 60.0 * static_cast<double>(i + 1), 0.01) << i;
        EXPECT_NEAR(telemetry[i].record["rms_samples"].get<double>(), 117, 2) << i;
        EXPECT_GT(telemetry[i].record["avg_rms"].get<double>(), 0.0) << i;
        EXPECT_TRUE(telemetry[i].record.contains("user_idle_seconds"));
        EXPECT_TRUE(telemetry[i].record.contains("phase"));
    }
}

TEST_F(FallingAsleep, PhaseReachesAsleepAfterTheAwakeMinutes) {
    auto transitions = named("phase_transition");
    ASSERT_FALSE(transitions.empty());
    auto asleep = std::find_if(transitions.begin(), transitions.end(), [](const Event& e) {
        return e.record["to"] == "asleep" || e.record["to"] == "deep_asleep";
    });
    ASSERT_NE(asleep, transitions.end());
    EXPECT_GT(asleep->t, 300.0); // not while speech and typing go on
    EXPECT_LT(asleep->t, 600.0);
    for (const auto& e : named("classification"))
        if (e.t < 290 && e.record["counted"] == true) {
            EXPECT_EQ(e.record["phase"], "awake") << e.t;
        }
}

TEST_F(FallingAsleep, BreathRateMatchesTheSynthesisedRate) {
    std::vector<double> rates;
    for (const auto& e : named("breath_estimate"))
        if (e.t >= 360)
            rates.push_back(e.record["rpm"].get<double>());
    ASSERT_GT(rates.size(), 600u);
    std::sort(rates.begin(), rates.end());
    EXPECT_NEAR(rates[rates.size() / 2], kRatePerMin, 1.0);
    // Nearly every estimate is within one breath per minute, snoring included.
    const auto within =
        std::count_if(rates.begin(), rates.end(), [](double r) { return std::abs(r - kRatePerMin) <= 1.0; });
    EXPECT_GE(static_cast<double>(within) / static_cast<double>(rates.size()), 0.9);
}

TEST_F(FallingAsleep, RegularityAndTheBandDetectorDeclareSleep) {
    auto regular = named("breath_regularity_asleep");
    ASSERT_EQ(regular.size(), 1u);
    EXPECT_GE(regular[0].record["t_from_start"].get<double>(), 300.0);
    EXPECT_NEAR(regular[0].record["window_rpm"].get<double>(), kRatePerMin, 1.0);
    EXPECT_LT(regular[0].record["cv"].get<double>(), 0.25);

    auto band = named("breathband_asleep");
    ASSERT_GE(band.size(), 1u);
    EXPECT_GE(band[0].record["t_from_start"].get<double>(), 300.0);
    EXPECT_LT(band[0].record["rms_smoothed"].get<double>(), band[0].record["target"].get<double>());
    ASSERT_EQ(named("breathband_baseline").size(), 1u);
}

TEST_F(FallingAsleep, ClassifyListsTopThreePerWindow) {
    const auto listing = dir->path() / "classify.txt";
    ASSERT_EQ(shell("'" + kReplay + "' --classify '" + audio.string() + "' > '" + listing.string() + "'"), 0);
    std::istringstream lines(readFile(listing));
    std::string line;
    int n = 0;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string start, pair;
        std::getline(fields, start, '\t');
        EXPECT_NEAR(std::stod(start), 0.75 * n, 0.006) << line;
        int pairs = 0;
        while (std::getline(fields, pair, '\t')) {
            const auto colon = pair.rfind(':');
            ASSERT_NE(colon, std::string::npos) << line;
            const double confidence = std::stod(pair.substr(colon + 1));
            EXPECT_GE(confidence, 0.0);
            EXPECT_LE(confidence, 1.0);
            ++pairs;
        }
        EXPECT_GE(pairs, 1) << line;
        EXPECT_LE(pairs, 3) << line;
        ++n;
    }
    EXPECT_EQ(n, 1599); // windows starting at 0 .. 1198.5 s
}

TEST(ReplayErrors, UndecodableFileGivesOneLineAndStatusTwo) {
    TempDir dir;
    const auto bad = dir.path() / "not-audio.wav";
    std::ofstream(bad) << "this is not a sound file\n";
    const auto err = dir.path() / "err.txt";
    for (const std::string& args : {"'" + bad.string() + "' --out '" + (dir.path() / "data").string() + "'",
                                    "--classify '" + bad.string() + "'",
                                    "'" + (dir.path() / "missing.flac").string() + "' --out '" +
                                        (dir.path() / "data").string() + "'"}) {
        EXPECT_EQ(shell("'" + kReplay + "' " + args + " 2> '" + err.string() + "'"), 2) << args;
        const std::string text = readFile(err);
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
        EXPECT_EQ(text.rfind("mirl-replay: cannot decode ", 0), 0u) << text;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "data")); // no log for an undecodable file
    EXPECT_EQ(shell("'" + kReplay + "' --out x 2> /dev/null"), 1);
}
