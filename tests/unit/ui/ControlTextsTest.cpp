#include "ui/control/ControlTexts.h"

#include <gtest/gtest.h>

using namespace mirl;
using namespace mirl::controltext;

TEST(ControlTexts, CustomDurationAcceptsSignedWholeMinutesFromOneTo1440) {
    struct Row {
        const char* typed;
        std::optional<int> minutes;
    };
    const Row rows[] = {
        {" 25 ", 25},
        {"+30", 30},
        {"1", 1},
        {"1440", 1440},
        {"\t7\n", 7},
        {"007", 7},
        {"0", std::nullopt},
        {"1441", std::nullopt},
        {"2h", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"-5", std::nullopt},
        {"-0", std::nullopt},
        {"+", std::nullopt},
        {"+-3", std::nullopt},
        {"3 0", std::nullopt},
        {"1.5", std::nullopt},
        {"0x1f", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"+ 3", std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(parseCustomMinutes(row.typed), row.minutes) << "typed \"" << row.typed << "\"";
}

TEST(ControlTexts, ModeCaptionSaysWhatTheEndWillDoInThisPlatformsWords) {
    EXPECT_EQ(modeCaption("night", MirlMode::nap), "🌙 Night: the computer goes to sleep at the end.");
    EXPECT_EQ(modeCaption("nap", MirlMode::night),
              "☀️ Nap: gentle wake-up at the end — no system sleep.");
    EXPECT_EQ(modeCaption("auto", MirlMode::night),
              "🌙 Night (auto, evening): the computer goes to sleep at the end.");
    EXPECT_EQ(modeCaption("auto", MirlMode::nap),
              "☀️ Nap (auto, daytime): gentle wake-up, no system sleep.");
    // Anything but the exact raw values is automatic.
    EXPECT_EQ(modeCaption("Night", MirlMode::nap), modeCaption("auto", MirlMode::nap));
    EXPECT_EQ(modeCaption("", MirlMode::night), modeCaption("auto", MirlMode::night));
}

TEST(ControlTexts, IdleDetectionCaptionPutsNoMicrophoneModeFirst) {
    EXPECT_EQ(idleDetectionCaption(true, true), "No-microphone mode: audio detection off.");
    EXPECT_EQ(idleDetectionCaption(true, false), "No-microphone mode: audio detection off.");
    EXPECT_EQ(idleDetectionCaption(false, false), "Disabled.");
    EXPECT_EQ(idleDetectionCaption(false, true), "Starts with the timer.");
}

TEST(ControlTexts, LiveDetectionTexts) {
    EXPECT_EQ(phaseBadge(SleepPhase::awake), "Awake");
    EXPECT_EQ(phaseBadge(SleepPhase::calming), "Calming");
    EXPECT_EQ(phaseBadge(SleepPhase::asleep), "Asleep");
    EXPECT_EQ(phaseBadge(SleepPhase::deepAsleep), "Deep");
    EXPECT_EQ(soundLabel("breathing", 0.6), "breathing");
    EXPECT_EQ(soundLabel("breathing", 0.599), "listening…");
    EXPECT_EQ(percent(0.456), "46%");
    EXPECT_EQ(percent(0.0), "0%");
    EXPECT_EQ(breathRate(13.6), "14 rpm");
    EXPECT_EQ(volumeValue(42.4), "42");
}

TEST(ControlTexts, BreathingWordsChangeAtTheirBoundaries) {
    struct Row {
        double rpm;
        const char* word;
    };
    for (Row row :
         {Row{3, "very slow"}, Row{7.99, "very slow"}, Row{8, "deep"}, Row{11.99, "deep"}, Row{12, "calm"},
          Row{15.99, "calm"}, Row{16, "normal"}, Row{21.99, "normal"}, Row{22, "fast"}, Row{40, "fast"}})
        EXPECT_EQ(breathWord(row.rpm), row.word) << row.rpm;
}

TEST(ControlTexts, TrayToolTipCarriesTheCountdown) {
    EXPECT_EQ(trayToolTip(std::nullopt), "Mirl");
    EXPECT_EQ(trayToolTip("29:59"), "Mirl — 29:59 left");
}
