#include "journal/analysis/SessionAnalysis.h"
#include "tests/unit/journal/LogText.h"

#include <gtest/gtest.h>

#include "tests/support/TestPaths.h"

#include <clocale>
#include <cstdlib>

using namespace mirl;
using test::LogText;
using test::resultOf;
using Kind = HeuristicVerdict::Kind;

namespace {

SessionAnalysis analyzed(const LogText& log, std::optional<double> duration = std::nullopt) {
    auto analysis = log.analyze(duration);
    if (!analysis)
        throw std::runtime_error("no analysis");
    return *analysis;
}

struct V {
    double t;
    Kind kind;
    double score;
    std::string detail;
};

void expectVerdicts(const HeuristicResult& result, const std::vector<V>& expected) {
    ASSERT_EQ(result.verdicts.size(), expected.size()) << result.id;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& got = result.verdicts[i];
        EXPECT_NEAR(got.timeFromStart, expected[i].t, 1e-9) << result.id << " #" << i;
        EXPECT_EQ(got.kind, expected[i].kind) << result.id << " #" << i;
        EXPECT_NEAR(got.score, expected[i].score, 1e-9) << result.id << " #" << i;
        EXPECT_EQ(got.detail, expected[i].detail) << result.id << " #" << i;
    }
}

LogText breathLog(const std::vector<std::pair<double, double>>& samples) {
    LogText log;
    log.at(0, "session_start");
    for (auto [t, rpm] : samples)
        log.at(t, "breath_estimate", {{"rpm", rpm}});
    return log;
}

} // namespace

TEST(Heuristics, PhaseLevelsAndKinds) {
    auto a =
        analyzed(LogText()
                     .at(0, "session_start")
                     .at(10, "phase_transition", {{"to", "calming"}, {"confidence", 0.7}})
                     .at(20, "phase_transition", {{"to", "deep_asleep"}, {"confidence", 0.95}})
                     .at(30, "phase_transition", {{"to", "dozing"}, {"confidence", 1}})
                     .at(40, "phase_transition", {{"to", "asleep"}})                        // no confidence
                     .at(50, "phase_transition", {{"to", 2}, {"confidence", 0.5}})          // to not text
                     .at(60, "phase_transition", {{"to", "asleep"}, {"confidence", "x"}})); // not a number
    const auto& phase = resultOf(a, "phase");
    EXPECT_EQ(phase.displayName, "Phase SoundAnalysis (live)");
    EXPECT_EQ(phase.yMax, 3);
    ASSERT_EQ(phase.rawSeries.size(), 3u);
    EXPECT_EQ(phase.rawSeries[0].value, 1);
    EXPECT_EQ(phase.rawSeries[1].value, 3);
    EXPECT_EQ(phase.rawSeries[1].label, "deep_asleep");
    EXPECT_EQ(phase.rawSeries[2].value, 0);
    expectVerdicts(phase, {{10, Kind::calming, 0.7, "\u2192 calming"},
                           {20, Kind::asleep, 0.95, "\u2192 deep_asleep"},
                           {30, Kind::awake, 1, "\u2192 dozing"}});
}

TEST(Heuristics, SnoringStreakCountsSnoresByEffectiveLabelAndWakesByLabel) {
    LogText log;
    log.at(0, "session_start");
    // Three counted snores (one only through its effective label) and one uncounted.
    log.at(1, "classification", {{"counted", true}, {"label", "snoring"}});
    log.at(2, "classification",
           {{"counted", true}, {"label", "breathing"}, {"effective_label", "goose_honk"}});
    log.at(3, "classification", {{"counted", true}, {"label", "dog_growl"}});
    log.at(3.5, "classification", {{"counted", false}, {"label", "speech"}});
    log.at(3.6, "classification", {{"counted", 1}, {"label", "speech"}}); // counted must be a boolean
    // Later: a result labelled speech whose effective label is snoring counts as a snore
    // (effective label) and as a wake (label).
    log.at(60, "classification", {{"counted", true}, {"label", "speech"}, {"effective_label", "snoring"}});
    log.at(61, "classification", {{"counted", true}, {"label", "typing"}});
    log.at(100, "session_end");
    auto a = analyzed(log);
    const auto& streak = resultOf(a, "snoring_streak");
    EXPECT_EQ(streak.displayName, "Snoring streak (30s)");
    EXPECT_EQ(streak.rawSeriesLabel, "Ratio snoring");
    // Grid step 2 s: at t = 4 the window holds the three snores.
    EXPECT_DOUBLE_EQ(streak.rawSeries[2].value, 1.0); // t = 4
    // At t = 62: window [32, 62] holds the "speech"/"snoring" and the typing: snore 1 of 2.
    EXPECT_DOUBLE_EQ(streak.rawSeries[31].t, 62);
    EXPECT_DOUBLE_EQ(streak.rawSeries[31].value, 0.5);
    expectVerdicts(streak, {{4, Kind::asleep, 1.0, "snore=3 wake=0 /30s"},
                            {62, Kind::awake, 0.5, "snore=1 wake=2 /30s"}});
}

TEST(Heuristics, SnoringStreakWindowIncludesBothEnds) {
    LogText log;
    log.at(0, "session_start");
    for (double t : {10.0, 20.0, 40.0})
        log.at(t, "classification", {{"counted", true}, {"label", "snoring"}});
    log.at(80, "session_end");
    const auto analysis = analyzed(log);
    const auto& streak = resultOf(analysis, "snoring_streak");
    // At t = 40 the window [10, 40] holds all three; the 2 s grid hits 40 exactly.
    expectVerdicts(streak, {{40, Kind::asleep, 1.0, "snore=3 wake=0 /30s"}});
}

TEST(Heuristics, RpmBaselineNeedsFiveEarlySamples) {
    struct Case {
        const char* name;
        std::vector<std::pair<double, double>> samples;
        std::string title;
    } cases[] = {
        {"no samples", {}, "RPM drop (baseline 14.0)"},
        {"four early", {{0, 16}, {60, 16}, {120, 16}, {180, 16}, {240, 16}}, "RPM drop (baseline 14.0)"},
        {"five early", {{0, 15}, {30, 16}, {60, 17}, {120, 16}, {180, 16.25}}, "RPM drop (baseline 16.1)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(resultOf(analyzed(breathLog(c.samples)), "rpm_drop").displayName, c.title) << c.name;
}

TEST(Heuristics, RpmDropNeedsSixtySecondsBelowAndReturnsOnlyAboveTenPercentOver) {
    // Baseline 14 (too few early samples): below 11.2 is low, above 15.4 is high.
    auto a = analyzed(breathLog({{200, 10},
                                 {230, 12}, // breaks the run
                                 {240, 11},
                                 {290, 10},
                                 {300, 9}, // 60 s since 240: asleep
                                 {400, 15},
                                 {500, 15.4}, // between: stays asleep
                                 {600, 16},   // above 1.1 x baseline: awake
                                 {700, 5}}));
    const auto& rpm = resultOf(a, "rpm_drop");
    expectVerdicts(rpm, {{300, Kind::asleep, 5.0 / 14, "rpm 9.0 < baseline 14.0"},
                         {600, Kind::awake, 0.6, "rpm 16.0 > baseline 14.0"}});
    EXPECT_EQ(rpm.rawSeries.size(), 9u);
    EXPECT_DOUBLE_EQ(rpm.yMax, 25);
    EXPECT_DOUBLE_EQ(resultOf(analyzed(breathLog({{10, 40}})), "rpm_drop").yMax, 42);
}

TEST(Heuristics, ASingleLowRpmSampleNeverSuffices) {
    EXPECT_TRUE(resultOf(analyzed(breathLog({{100, 3}, {300, 14}})), "rpm_drop").verdicts.empty());
}

TEST(Heuristics, RpmScoreBelowABaselineOfOneIsThePlainDifference) {
    auto a =
        analyzed(breathLog({{0, 0.5}, {10, 0.5}, {20, 0.5}, {30, 0.5}, {40, 0.9}, {200, 0.1}, {260, 0.2}}));
    // Baseline 0.58: 0.2 < 0.464 for 60 s; score = 0.58 - 0.2.
    expectVerdicts(resultOf(a, "rpm_drop"), {{260, Kind::asleep, 0.58 - 0.2, "rpm 0.2 < baseline 0.6"}});
}

TEST(Heuristics, RmsDropBaselineIsTheMeanOfTheFirstFiveSamples) {
    LogText log;
    log.at(0, "session_start");
    const double levels[] = {0.010, 0.012, 0.008, 0.010, 0.010, 0.1, 0.004, 0.0055, 0.0095};
    for (int i = 0; i < 9; ++i)
        log.at(60.0 * (i + 1), "telemetry", {{"avg_rms", levels[i]}});
    log.at(600, "telemetry", {{"user_idle_seconds", 5}}); // no avg_rms: not a sample
    auto a = analyzed(log);
    const auto& rms = resultOf(a, "rms_drop");
    EXPECT_EQ(rms.displayName, "RMS drop (baseline 0.01000)");
    EXPECT_EQ(rms.rawSeries.size(), 9u);
    EXPECT_NEAR(rms.yMax, 0.11, 1e-12);
    expectVerdicts(rms, {{420, Kind::asleep, 0.6, "rms 0.00400 vs base 0.01000 (-60%)"},
                         {540, Kind::awake, 0.6, "rms back up to 0.00950"}});
    // 0.0055 is a drop of 45 %, but the state is already asleep; 0.0095 (5 %) wakes.
}

TEST(Heuristics, RmsDropWithoutSamples) {
    const auto analysis = analyzed(LogText().at(0, "session_start"));
    const auto& rms = resultOf(analysis, "rms_drop");
    EXPECT_EQ(rms.displayName, "RMS drop (baseline 0.00100)");
    EXPECT_DOUBLE_EQ(rms.yMax, 0.0011);
    EXPECT_TRUE(rms.verdicts.empty());
}

TEST(Heuristics, UserIdleAboveFiveMinutesAndBackUnderThirtySeconds) {
    LogText log;
    log.at(0, "session_start");
    const double idle[] = {60, 300, 450, 1200, 29, 20, 1000};
    for (int i = 0; i < 7; ++i)
        log.at(60.0 * (i + 1), "telemetry", {{"user_idle_seconds", idle[i]}});
    const auto analysis = analyzed(log);
    const auto& user = resultOf(analysis, "user_idle");
    expectVerdicts(user, {{180, Kind::asleep, 0.5, "idle 450s"},
                          {300, Kind::awake, 0.8, "interaction detected"},
                          {420, Kind::asleep, 1.0, "idle 1000s"}});
    EXPECT_DOUBLE_EQ(user.yMax, 1200);
    EXPECT_DOUBLE_EQ(resultOf(analyzed(LogText().at(0, "x")), "user_idle").yMax, 300);
}

TEST(Heuristics, BreathBandScoresAgainstTheLatestBaseline) {
    auto a = analyzed(LogText()
                          .at(0, "session_start")
                          .at(10, "breathband_asleep", {{"rms_smoothed", 0.002}, {"target", 0.003}})
                          .at(20, "breathband_baseline", {{"baseline", 0.01}})
                          .at(30, "breathband_baseline", {{"baseline", 0.005}})
                          .at(40, "breathband_asleep", {{"rms_smoothed", 0.004}, {"target", 0.0035}})
                          .at(50, "breathband_asleep", {{"rms_smoothed", 0.009}})
                          .at(60, "breathband_asleep"));
    const auto& band = resultOf(a, "breathband_tuned");
    EXPECT_EQ(band.displayName, "BreathBand 50-800Hz + preEmph (offline-tuned)");
    ASSERT_EQ(band.rawSeries.size(), 2u);
    EXPECT_EQ(band.rawSeries[0].label, "baseline");
    EXPECT_NEAR(band.yMax, 0.012, 1e-12);
    expectVerdicts(band, {{10, Kind::asleep, 0.5, "rms 0.0020 < target 0.0030"},
                          {40, Kind::asleep, 0.2, "rms 0.0040 < target 0.0035"},
                          {50, Kind::asleep, 0.0, "rms 0.0090 < target 0.0000"},
                          {60, Kind::asleep, 1.0, "rms 0.0000 < target 0.0000"}});
    EXPECT_NEAR(
        resultOf(analyzed(LogText().at(0, "b", {}).at(1, "breathband_baseline", {{"baseline", 0.05}})),
                 "breathband_tuned")
            .yMax,
        0.06, 1e-12);
}

namespace {

// A night built so that the composite sees given current verdicts at t = 100:
// phase asleep 0.9, band asleep 0.5 (no baseline), rms awake, snoring none.
LogText voteLog(bool idleAndRpmAsleep) {
    LogText log;
    log.at(0, "session_start");
    log.at(10, "phase_transition", {{"to", "asleep"}, {"confidence", 0.9}});
    log.at(20, "breathband_asleep", {{"rms_smoothed", 0.001}, {"target", 0.002}});
    if (idleAndRpmAsleep) {
        // rpm: baseline 14 (no early samples), 60 s below 11.2 ending at 40 -> score 0.8
        // needs rpm 2.8.
        log.at(-20, "breath_estimate", {{"rpm", 2.8}});
        log.at(40, "breath_estimate", {{"rpm", 2.8}});
        log.at(50, "telemetry", {{"user_idle_seconds", 900}});
    }
    log.at(100, "session_end");
    return log;
}

} // namespace

TEST(Heuristics, CompositeVoteOf038StaysAwakeAnd051TurnsAsleep) {
    auto low = analyzed(voteLog(false));
    const auto& lowVote = resultOf(low, "composite");
    EXPECT_NEAR(lowVote.rawSeries.back().value, 0.38, 1e-12);
    EXPECT_TRUE(lowVote.verdicts.empty());

    auto high = analyzed(voteLog(true));
    expectVerdicts(resultOf(high, "rpm_drop"), {{40, Kind::asleep, 0.8, "rpm 2.8 < baseline 14.0"}});
    const auto& highVote = resultOf(high, "composite");
    EXPECT_NEAR(highVote.rawSeries.back().value, 0.51, 1e-12);
    // 5 s grid: at 50 the idle verdict joins.
    expectVerdicts(
        highVote, {{50, Kind::asleep, 0.2 * 0.9 + 0.4 * 0.5 + 0.1 * 0.8 + 0.05 * 1.0, "weighted vote 0.51"}});
}

TEST(Heuristics, CompositeCountsCalmingAndAVoteOfExactlyHalf) {
    // Band asleep 0.5 (0.2) + phase calming 1.0 (0.2) + snoring asleep 1.0 (0.15) = 0.55;
    // then the phase turns awake: 0.35, awake again.
    LogText log;
    log.at(0, "session_start");
    log.at(5, "breathband_asleep");
    log.at(5, "phase_transition", {{"to", "calming"}, {"confidence", 1.0}});
    for (double t : {6.0, 7.0, 8.0})
        log.at(t, "classification", {{"counted", true}, {"label", "snoring"}});
    log.at(20, "phase_transition", {{"to", "awake"}, {"confidence", 1.0}});
    log.at(60, "session_end");
    auto a = analyzed(log);
    expectVerdicts(resultOf(a, "composite"), {{10, Kind::asleep, 0.55, "weighted vote 0.55"},
                                              {20, Kind::awake, 0.35, "weighted vote 0.35"}});

    // Exactly 0.5: the band asleep with score 1 (0.4) and the loudness asleep with 1 (0.1).
    LogText exact;
    exact.at(0, "session_start");
    exact.at(1, "breathband_baseline", {{"baseline", 0.01}});
    exact.at(1, "breathband_asleep", {{"rms_smoothed", 0.0}});
    for (double t : {1.0, 1.5, 2.0, 2.5, 3.0})
        exact.at(t, "telemetry", {{"avg_rms", 0.01}});
    exact.at(4, "telemetry", {{"avg_rms", 0.0}});
    exact.at(20, "session_end");
    expectVerdicts(resultOf(analyzed(exact), "composite"), {{5, Kind::asleep, 0.5, "weighted vote 0.50"}});
}

TEST(Heuristics, CompositeTakesTheLastVerdictInListOrderAtOrBeforeTheGridTime) {
    // The file's first line is late, so an earlier-stamped phase line has a negative time: at
    // t = 0 the current phase verdict is the last in the list with a time <= 0.
    LogText log;
    log.at(30, "session_start");
    log.at(0, "phase_transition", {{"to", "asleep"}, {"confidence", 1.0}});       // t = -30
    log.at(10, "phase_transition", {{"to", "awake"}, {"confidence", 1.0}});       // t = -20
    log.at(25, "breathband_asleep");                                              // t = -5, 0.5
    log.at(35, "phase_transition", {{"to", "deep_asleep"}, {"confidence", 1.0}}); // t = 5
    log.at(40, "session_end");                                                    // t = 10
    const auto analysis = analyzed(log);
    const auto& vote = resultOf(analysis, "composite");
    ASSERT_EQ(vote.rawSeries.size(), 3u);
    EXPECT_NEAR(vote.rawSeries[0].value, 0.2, 1e-12);
    EXPECT_NEAR(vote.rawSeries[1].value, 0.4, 1e-12);
}

TEST(Heuristics, EmptyVolumeAndBrightnessTitles) {
    auto a = analyzed(LogText().at(0, "session_start"));
    const auto& volume = resultOf(a, "volume_applied");
    EXPECT_EQ(volume.displayName, "Volume applied (init 50 \u2192 target 35)");
    EXPECT_TRUE(volume.rawSeries.empty());
    EXPECT_TRUE(volume.verdicts.empty());
    EXPECT_DOUBLE_EQ(volume.yMax, 100);
    const auto& brightness = resultOf(a, "brightness_applied");
    EXPECT_EQ(brightness.displayName, "Brightness applied (init 70% \u2192 target 14%)");
    EXPECT_DOUBLE_EQ(brightness.yMax, 100);
}

TEST(Heuristics, VolumeAndBrightnessFollowTheirEvents) {
    auto a = analyzed(LogText()
                          .at(0, "session_start")
                          .at(1, "autofader_start", {{"initial_volume", 80}})
                          .at(2, "volume_applied", {{"value", 70}, {"source", "fade"}, {"target", 120}})
                          .at(3, "volume_applied", {{"value", 60.5}, {"initial", 90.0}}) // value not whole
                          .at(4, "volume_applied", {{"value", 55.0}, {"source", 3}})
                          .at(5, "brightness_applied", {{"target", 0.5}, {"initial", 0.8}, {"floor_pct", 25}})
                          .at(6, "brightness_applied", {{"target", 0.4}, {"floor_pct", 30.5}}));
    const auto& volume = resultOf(a, "volume_applied");
    EXPECT_EQ(volume.displayName, "Volume applied (init 90 \u2192 target 120)");
    ASSERT_EQ(volume.rawSeries.size(), 2u);
    EXPECT_EQ(volume.rawSeries[0].label, "fade");
    EXPECT_FALSE(volume.rawSeries[1].label);
    EXPECT_DOUBLE_EQ(volume.rawSeries[1].value, 55);
    EXPECT_NEAR(volume.yMax, 132, 1e-9);
    const auto& brightness = resultOf(a, "brightness_applied");
    EXPECT_EQ(brightness.displayName, "Brightness applied (init 80% \u2192 target 20%)");
    ASSERT_EQ(brightness.rawSeries.size(), 2u);
    EXPECT_DOUBLE_EQ(brightness.rawSeries[1].value, 40);
}

TEST(Heuristics, NumbersInTitlesUseAPointWhateverTheLocale) {
    // A Qt application takes LC_NUMERIC from the user's locale; German writes 16,1.
    test::TempDir locales;
    const std::string made =
        "localedef -i de_DE -f UTF-8 '" + (locales.path() / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
    if (std::system(made.c_str()) != 0)
        GTEST_SKIP() << "localedef cannot make de_DE.UTF-8 here";
    setenv("LOCPATH", locales.path().c_str(), 1);
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const bool switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    const bool comma = switched && std::string(std::localeconv()->decimal_point) == ",";
    auto a = comma ? analyzed(breathLog({{0, 15}, {30, 16}, {60, 17}, {120, 16}, {180, 16.25}}))
                   : SessionAnalysis{};
    std::setlocale(LC_NUMERIC, saved.c_str());
    unsetenv("LOCPATH");
    if (!comma)
        GTEST_SKIP() << "no locale with a decimal comma could be switched to";
    EXPECT_EQ(resultOf(a, "rpm_drop").displayName, "RPM drop (baseline 16.1)");
    EXPECT_EQ(resultOf(a, "rms_drop").displayName, "RMS drop (baseline 0.00100)");
}
