#include "runtime/CommandLine.h"

#include <gtest/gtest.h>

#include <array>

using namespace mirl;

namespace {
constexpr std::array kKnown{OptionSpec{"--minutes", true}, OptionSpec{"--version"}, OptionSpec{"-h"}};
} // namespace

TEST(CommandLine, KnownOptionsAreTakenAndAnythingElseIsAnError) {
    struct Row {
        const char* name;
        std::vector<std::string> args;
        std::optional<std::string> minutes;
        std::optional<std::string> error;
    };
    for (const Row& row : {
             Row{"nothing", {}, std::nullopt, std::nullopt},
             Row{"value after a space", {"--minutes", "30"}, "30", std::nullopt},
             Row{"value after an equals sign", {"--minutes=30"}, "30", std::nullopt},
             Row{"empty value", {"--minutes="}, "", std::nullopt},
             Row{"flag and value", {"--version", "--minutes", "5"}, "5", std::nullopt},
             Row{"unknown option", {"--bogus"}, std::nullopt, "unknown option --bogus"},
             Row{"unknown option with a value", {"--minute=30"}, std::nullopt, "unknown option --minute"},
             Row{"missing value", {"--minutes"}, std::nullopt, "--minutes needs a value"},
             Row{"value for a flag", {"--version=2"}, std::nullopt, "--version takes no value"},
             Row{"twice", {"--minutes", "5", "--minutes", "6"}, "5", "--minutes is given twice"},
             Row{"a stray word", {"30"}, std::nullopt, "unexpected argument 30"},
         }) {
        const CommandLine line = parseCommandLine(row.args, kKnown);
        EXPECT_EQ(line.value("--minutes"), row.minutes) << row.name;
        EXPECT_EQ(line.error, row.error) << row.name;
    }
    const CommandLine verb = parseCommandLine({"status", "-h"}, kKnown, 1);
    EXPECT_FALSE(verb.error);
    EXPECT_EQ(verb.words, std::vector<std::string>{"status"});
    EXPECT_TRUE(verb.has("-h"));
}
