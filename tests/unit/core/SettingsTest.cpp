#include "core/settings/Settings.h"
#include "core/settings/SettingsKeys.h"
#include "platform/fake/MemorySettingsStore.h"

#include <gtest/gtest.h>

using namespace mirl;

TEST(Settings, FreshStoreGivesEveryDefaultAndCreatesNoKey) {
    MemorySettingsStore store;
    Settings settings(store);
    for (const auto& entry : keys::kSettingDefaults) {
        std::visit(
            [&](const auto& def) {
                using T = std::decay_t<decltype(def)>;
                if constexpr (std::is_same_v<T, bool>)
                    EXPECT_EQ(settings.readBool(entry.key, def), def) << entry.key;
                else if constexpr (std::is_same_v<T, int>)
                    EXPECT_EQ(settings.readInt(entry.key, def), def) << entry.key;
                else
                    EXPECT_EQ(settings.readString(entry.key, def), def) << entry.key;
            },
            entry.value);
        EXPECT_FALSE(settings.contains(entry.key)) << entry.key;
    }
    EXPECT_EQ(store.size(), 0u);
}

TEST(Settings, WrittenZeroIsDistinctFromAbsent) {
    MemorySettingsStore store;
    Settings settings(store);
    EXPECT_EQ(settings.readInt(keys::ambianceVolumeFloorPct, 35), 35);
    settings.writeInt(keys::ambianceVolumeFloorPct, 0);
    EXPECT_EQ(settings.readInt(keys::ambianceVolumeFloorPct, 35), 0);
    settings.writeBool(keys::systemSleepOnFire, false);
    EXPECT_FALSE(settings.readBool(keys::systemSleepOnFire, true));
    settings.writeString(keys::modeTimerMode, "");
    EXPECT_EQ(settings.readString(keys::modeTimerMode, "auto"), "");
}

TEST(Settings, TextValuesAreConvertedAsTypedReadsDo) {
    MemorySettingsStore store;
    Settings settings(store);
    struct Row {
        const char* stored;
        int asInt;
        bool asBool;
    };
    const Row rows[] = {
        {"42", 42, true},  {"-7", -7, true},    {"0", 0, false},    {"3.7", 3, true},
        {"true", 1, true}, {"false", 0, false}, {" 12 ", 12, true}, {"99999999999", 2147483647, true},
    };
    for (const auto& row : rows) {
        store.write("k", std::string(row.stored));
        EXPECT_EQ(settings.readInt("k", 5), row.asInt) << row.stored;
        EXPECT_EQ(settings.readBool("k", false), row.asBool) << row.stored;
    }
}

TEST(Settings, UnreadableTextFallsBackToTheReadingSitesDefault) {
    MemorySettingsStore store;
    Settings settings(store);
    store.write(keys::fadeIdleThresholdSec, std::string("ten minutes"));
    EXPECT_EQ(settings.readInt(keys::fadeIdleThresholdSec, 600), 600);
    store.write(keys::fadeAutoEnabled, std::string("perhaps"));
    EXPECT_TRUE(settings.readBool(keys::fadeAutoEnabled, true));
    store.write(keys::fadeIdleThresholdSec, std::string("nan"));
    EXPECT_EQ(settings.readInt(keys::fadeIdleThresholdSec, 600), 600);
}
