#include "fuzz/harnesses/Harnesses.h"
#include "journal/JsonLine.h"

namespace mirl::fuzz {

void timestamp(Input input) {
    const auto parsed = parseTimestamp(text(input));
    if (!parsed)
        return;
    // Whatever parses is a time the clock can hold, and its journal text reads back as the
    // same time cut to the millisecond.
    const std::string written = formatTimestamp(*parsed);
    const auto again = parseTimestamp(written);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(*again == std::chrono::floor<std::chrono::milliseconds>(*parsed));
    FUZZ_CHECK(formatTimestamp(*again) == written);
    const std::string seconds = formatTimestampSeconds(*parsed);
    FUZZ_CHECK(seconds.size() == 20 && seconds.back() == 'Z');
}

} // namespace mirl::fuzz
