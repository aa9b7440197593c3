// The exact shape of every record the fade engine writes: its keys and the JSON type of each
// value. Payload equality alone does not tell 40 from 40.0, and the session log does.

#include "tests/unit/fade/FaderTestFixture.h"

#include <map>
#include <set>
#include <string>

using namespace mirl;
using namespace mirl::test;
using namespace std::chrono_literals;

namespace {

using Type = nlohmann::json::value_t;
constexpr Type kInt = Type::number_integer;
constexpr Type kDouble = Type::number_float;
constexpr Type kText = Type::string;
constexpr Type kBool = Type::boolean;

/// Every record the session below writes, with the keys it must carry and their types. A record
/// written several times (or by several paths, like "autofader_fade_begin") is listed by path.
struct Shape {
    const char* name;
    const char* event;
    std::map<std::string, Type> keys;
};

const Shape kShapes[] = {
    {"start",
     "autofader_start",
     {{"duration_min", kInt}, {"initial_volume", kInt}, {"target_volume_pct", kInt}}},
    {"timer fade",
     "autofader_timer_fade_begin",
     {{"fade_duration_sec", kInt},
      {"ambiance_from", kDouble},
      {"ambiance_to", kDouble},
      {"volume_from", kDouble},
      {"volume_to", kDouble}}},
    {"ambiance plateau",
     "autofader_ambiance_override_plateau",
     {{"user_value", kDouble}, {"source", kText}, {"plateau_sec", kInt}}},
    {"volume plateau",
     "autofader_volume_override_plateau",
     {{"user_value", kInt}, {"source", kText}, {"direction", kText}, {"plateau_sec", kInt}}},
    {"ambiance resume",
     "autofader_ambiance_resume",
     {{"from", kDouble}, {"to", kDouble}, {"duration_sec", kInt}}},
    {"volume resume",
     "autofader_volume_resume",
     {{"from", kDouble}, {"to", kDouble}, {"duration_sec", kInt}}},
    {"ambiance disabled",
     "autofader_ambiance_disabled_by_user",
     {{"user_value", kDouble}, {"source", kText}, {"cause", kText}}},
    {"volume disabled",
     "autofader_volume_disabled_by_user",
     {{"user_value", kInt}, {"source", kText}, {"cause", kText}}},
    {"autopilot ambiance", "autopilot_ambiance", {{"on", kBool}}},
    {"autopilot volume", "autopilot_volume", {{"on", kBool}}},
    {"speed-up",
     "autofader_accelerated",
     {{"source", kText}, {"new_duration_sec", kInt}, {"ambiance_now", kDouble}, {"volume_now", kDouble}}},
    {"wake",
     "autofader_wake_begin",
     {{"wake_duration_sec", kInt},
      {"ambiance_from", kDouble},
      {"volume_from", kDouble},
      {"volume_to", kDouble}}},
    {"activity cancel", "autofader_fade_cancelled_by_activity", {}},
    {"idle fade",
     "autofader_fade_begin",
     {{"source", kText},
      {"fade_duration_sec", kInt},
      {"ambiance_from", kDouble},
      {"ambiance_to", kDouble},
      {"volume_touched", kBool}}},
    {"sleep fade",
     "autofader_fade_begin",
     {{"source", kText},
      {"fade_duration_sec", kInt},
      {"ambiance_from", kDouble},
      {"ambiance_to", kDouble},
      {"volume_from", kDouble},
      {"volume_to", kDouble}}},
    {"accelerate skipped", "autofader_accelerate_skipped", {{"reason", kText}, {"cause", kText}}},
    {"stop", "autofader_stop", {{"reason", kText}}},
};

} // namespace

// One session that writes every record of the engine, with whole-numbered values throughout
// (volume 40, ambiance 0, a floor of 14), where an integer would be easiest to slip in.
TEST_F(FaderTest, EveryRecordCarriesItsKeysWithTheirTypes) {
    fader.start(60, 40);
    fader.beginTimerFade(3600, 0.8);
    advanceTo(at(22, 10));
    fader.userOverrodeAmbiance("brightness_keys", 0.0);
    fader.userOverrodeVolume("system_keys", 30);
    advanceTo(at(22, 15)); // both resume
    fader.userOverrodeAmbiance("slider", 1.0);
    fader.userOverrodeVolume("slider", 20);
    fader.setAmbianceAutopilot(true);
    fader.setVolumeAutopilot(true);
    fader.accelerate("phase_asleep", 240.0);
    fader.beginWake(180);
    fader.cancelFadeForActivity();
    fader.start(60, 40);
    fader.beginIdleFade(600);
    fader.cancelFadeForActivity();
    fader.accelerate("breath_regularity");
    settings.writeBool(keys::fadeAcceleratorsEnabled, false);
    fader.accelerate("phase_deep_asleep");
    fader.stop("timer_cancelled_or_fired");

    // The records of each name, in order; the shapes above list the paths in the same order.
    std::map<std::string, std::vector<EventPayload>> byName;
    for (const auto& e : events.events())
        byName[e.name].push_back(e.payload);
    std::map<std::string, std::size_t> used;
    std::set<std::string> described;
    for (const auto& shape : kShapes) {
        described.insert(shape.event);
        const auto& written = byName[shape.event];
        const std::size_t index = used[shape.event]++;
        ASSERT_LT(index, written.size()) << shape.name << ": " << shape.event << " was not written";
        const EventPayload& payload = written[index];
        ASSERT_TRUE(payload.is_object()) << shape.name;
        EXPECT_EQ(payload.size(), shape.keys.size()) << shape.name << ": " << payload.dump();
        for (const auto& [key, type] : shape.keys) {
            ASSERT_TRUE(payload.contains(key))
                << shape.name << ": no \"" << key << "\" in " << payload.dump();
            EXPECT_EQ(payload[key].type(), type) << shape.name << ": \"" << key << "\" in " << payload.dump();
        }
    }
    for (const auto& [name, payloads] : byName)
        EXPECT_TRUE(described.count(name)) << "an undescribed record: " << name;
}
