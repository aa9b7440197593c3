#include "fuzz/harnesses/Harnesses.h"
#include "journal/JsonLine.h"
#include "journal/SessionLogger.h"
#include "journal/analysis/RecordFields.h"
#include "journal/analysis/SessionAnalysis.h"
#include "runtime/VirtualScheduler.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace mirl::fuzz {

namespace {

namespace fs = std::filesystem;

int depthOf(const nlohmann::json& value, int limit) {
    if (limit < 0 || !value.is_structured())
        return 0;
    int deepest = 0;
    for (const auto& element : value)
        deepest = std::max(deepest, depthOf(element, limit - 1));
    return deepest + 1;
}

/// One logger for the process, over a private folder removed at exit.
struct World {
    World() {
        char pattern[] = "/tmp/mirl-fuzz-XXXXXX";
        root = ::mkdtemp(pattern);
        logger = std::make_unique<SessionLogger>(clock, root / "Mirl", "Fuzz OS");
        log = logger->startSession().log;
    }
    ~World() {
        logger.reset();
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    std::string lastLine() const {
        std::ifstream in(log, std::ios::binary);
        std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (all.empty() || all.back() != '\n')
            return {};
        all.pop_back();
        return all.substr(all.rfind('\n') == std::string::npos ? 0 : all.rfind('\n') + 1);
    }

    VirtualScheduler clock;
    fs::path root;
    std::unique_ptr<SessionLogger> logger;
    fs::path log;
};

} // namespace

void jsonLine(Input input) {
    static World world;
    std::error_code ec;
    fs::resize_file(world.log, 0, ec); // the logger appends: each input starts on an empty log
    const auto value = nlohmann::json::parse(text(input), nullptr, false);
    if (value.is_discarded() || depthOf(value, 64) > 32)
        return; // the journal's own values are shallow

    const auto encoded = encodeJsonLine(value);
    FUZZ_CHECK(encoded.has_value()); // parsed JSON is finite and valid UTF-8
    FUZZ_CHECK(encoded->find('\n') == std::string::npos && encoded->find('\r') == std::string::npos);
    const auto back = nlohmann::json::parse(*encoded, nullptr, false);
    FUZZ_CHECK(back == value);
    if (value.is_object())
        FUZZ_CHECK(RecordFields::parse(*encoded).has_value());

    // The same value as a payload: the logger writes one whole record that the analysis reads.
    world.logger->log("fuzz_event", value);
    const std::string line = world.lastLine();
    const auto record = nlohmann::json::parse(line, nullptr, false);
    FUZZ_CHECK(record.is_object());
    nlohmann::json expected = {{"event", "fuzz_event"}, {"ts", record.value("ts", nlohmann::json())}};
    if (value.is_object())
        for (const auto& [key, member] : value.items())
            expected[key] = member; // a payload's "ts" or "event" replaces the logger's
    FUZZ_CHECK(record == expected);
    FUZZ_CHECK(RecordFields::parse(line).has_value());
    if (!value.contains("ts") && !value.contains("event"))
        FUZZ_CHECK(analyzeSessionText(line).has_value());

    // A record the format cannot carry is dropped whole: the log keeps only whole lines.
    const std::string raw(text(input).substr(0, 64));
    const std::uintmax_t size = fs::file_size(world.log);
    world.logger->log("fuzz_odd", {{"raw", raw}, {"list", {1.0, NAN}}});
    FUZZ_CHECK(fs::file_size(world.log) == size);
}

} // namespace mirl::fuzz
