#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mirl {

/// An option a program knows: a flag ("--version") or one that takes a value ("--minutes 30",
/// also written "--minutes=30").
struct OptionSpec {
    std::string_view name;
    bool takesValue = false;
};

/// A parsed command line. Anything the program does not know makes it an error: an unknown
/// option, a value where none is taken, a missing value, an option given twice, or a word
/// beyond the ones allowed.
struct CommandLine {
    std::map<std::string, std::string, std::less<>> options; ///< name -> value ("" for a flag)
    std::vector<std::string> words;                          ///< the arguments that are no option
    std::optional<std::string> error;                        ///< what was not understood

    bool has(std::string_view option) const { return options.find(option) != options.end(); }
    std::optional<std::string> value(std::string_view option) const;
};

/// Parses args (without the program's name). maxWords is how many plain words are allowed.
CommandLine parseCommandLine(const std::vector<std::string>& args, std::span<const OptionSpec> known,
                             std::size_t maxWords = 0);

} // namespace mirl
