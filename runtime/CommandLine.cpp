#include "runtime/CommandLine.h"

#include <algorithm>

namespace mirl {

std::optional<std::string> CommandLine::value(std::string_view option) const {
    const auto found = options.find(option);
    return found != options.end() ? std::optional(found->second) : std::nullopt;
}

CommandLine parseCommandLine(const std::vector<std::string>& args, std::span<const OptionSpec> known,
                             std::size_t maxWords) {
    CommandLine line;
    for (std::size_t i = 0; i < args.size() && !line.error; ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') {
            if (line.words.size() >= maxWords)
                line.error = "unexpected argument " + arg;
            else
                line.words.push_back(arg);
            continue;
        }
        const auto equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const auto spec =
            std::find_if(known.begin(), known.end(), [&](const OptionSpec& s) { return s.name == name; });
        if (spec == known.end()) {
            line.error = "unknown option " + name;
        } else if (line.has(name)) {
            line.error = name + " is given twice";
        } else if (!spec->takesValue && equals != std::string::npos) {
            line.error = name + " takes no value";
        } else if (spec->takesValue && equals != std::string::npos) {
            line.options[name] = arg.substr(equals + 1);
        } else if (spec->takesValue && i + 1 < args.size()) {
            line.options[name] = args[++i];
        } else if (spec->takesValue) {
            line.error = name + " needs a value";
        } else {
            line.options[name] = "";
        }
    }
    return line;
}

} // namespace mirl
