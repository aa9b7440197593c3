#include "journal/analysis/RecordFields.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <random>

using namespace mirl;

TEST(RecordFields, ReadsTopLevelMembersByKind) {
    auto fields = RecordFields::parse(
        R"({"a":1,"b":2.5,"c":"x\/y\u00e9","d":true,"e":null,"f":{"a":9,"g":[1,{"h":2}]},"g":[3],"n":-0.0,"w":7.0})");
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->number("a"), 1);
    EXPECT_EQ(fields->integer("a"), 1);
    EXPECT_EQ(fields->number("b"), 2.5);
    EXPECT_FALSE(fields->integer("b"));
    EXPECT_EQ(fields->integer("w"), 7); // no fractional part
    ASSERT_TRUE(fields->text("c"));
    EXPECT_EQ(*fields->text("c"), "x/y\u00e9");
    EXPECT_EQ(fields->boolean("d"), true);
    EXPECT_FALSE(fields->number("d")); // a boolean is no number
    EXPECT_FALSE(fields->number("c"));
    EXPECT_FALSE(fields->text("e"));
    EXPECT_FALSE(fields->number("f")); // nested members stay nested
    EXPECT_FALSE(fields->number("h"));
    EXPECT_FALSE(fields->text("g"));
    EXPECT_FALSE(fields->number("missing"));
}

TEST(RecordFields, ALaterDuplicateKeyWins) {
    auto fields = RecordFields::parse(R"({"k":1,"k":"two"})");
    ASSERT_TRUE(fields);
    EXPECT_FALSE(fields->number("k"));
    EXPECT_EQ(*fields->text("k"), "two");
}

TEST(RecordFields, OnlyOneWholeObjectIsARecord) {
    for (const char* line :
         {"", "  ", "[1]", "42", "\"text\"", "null", "{", R"({"a":1)", R"({"a":1}})", R"({"a":1} {"b":2})",
          R"({"a":})", R"({a:1})", "{\"a\":\"\xff\"}", "{\"a\":\"caf\xc3\"}"})
        EXPECT_FALSE(RecordFields::parse(line)) << line;
    EXPECT_TRUE(RecordFields::parse(" {} \r"));
}

TEST(RecordFields, AcceptsExactlyWhatAStrictJsonParserAcceptsAsAnObject) {
    // Valid lines and random damage to them (fixed seed): the scanner and nlohmann's parser
    // must agree on every one, and on the values of the top-level members.
    const std::vector<std::string> seeds = {
        R"({"confidence":0.9041275290849634,"counted":true,"event":"classification","label":"speech","top3":[{"conf":0.06,"label":"whispering"}],"ts":"2026-12-07T00:42:39.536Z"})",
        R"({"avg_rms":3.9e-2,"event":"telemetry","phase":"awake","rms_samples":117,"user_idle_seconds":-60.0E+1})",
        R"({"a":"\u00e9\ud83d\ude34\n\t\"\\\/","b":[],"c":{},"d":null,"e":false,"f":"Müde 😴","g":[1,[2,[3]]]})",
    };
    const std::string alphabet =
        "{}[]\":,\\/0123456789.eE+-tfnrul uabcdefABCDEF \t\r\x01\x7f\xc3\xa9\xff\xed\xa0\x80\xf0";
    std::mt19937 random(2026);
    int accepted = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string line = seeds[random() % seeds.size()];
        const int edits = static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !line.empty(); ++e) {
            const std::size_t at = random() % line.size();
            const char c = alphabet[random() % alphabet.size()];
            switch (random() % 3) {
            case 0:
                line.erase(at, 1);
                break;
            case 1:
                line.insert(at, 1, c);
                break;
            default:
                line[at] = c;
            }
        }
        const auto ours = RecordFields::parse(line);
        const auto tree = nlohmann::json::parse(line, nullptr, false);
        const bool theirs = tree.is_object();
        ASSERT_EQ(ours.has_value(), theirs) << line;
        if (!theirs)
            continue;
        ++accepted;
        for (const auto& [key, value] : tree.items()) {
            if (value.is_number())
                EXPECT_EQ(ours->number(key), value.get<double>()) << line;
            else if (value.is_string())
                EXPECT_EQ(*ours->text(key), value.get<std::string>()) << line;
            else if (value.is_boolean())
                EXPECT_EQ(ours->boolean(key), value.get<bool>()) << line;
            else
                EXPECT_FALSE(ours->number(key) || ours->text(key) || ours->boolean(key)) << line;
        }
    }
    EXPECT_GT(accepted, 2000); // the comparison covered valid lines too
}
