#include "tests/support/SessionLogLines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace mirl::test {

std::vector<nlohmann::json> readLogRecords(const std::filesystem::path& file) {
    std::vector<nlohmann::json> records;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        auto record = nlohmann::json::parse(line, nullptr, false);
        EXPECT_FALSE(record.is_discarded()) << file << ": not JSON: " << line;
        if (!record.is_discarded())
            records.push_back(std::move(record));
    }
    return records;
}

std::vector<std::string> withoutStamps(const std::vector<nlohmann::json>& records) {
    std::vector<std::string> out;
    for (auto record : records) {
        record.erase("ts");
        out.push_back(record.dump());
    }
    return out;
}

std::vector<std::string> eventNames(const std::vector<nlohmann::json>& records) {
    std::vector<std::string> out;
    for (const auto& record : records)
        out.push_back(record.value("event", std::string()));
    return out;
}

std::vector<std::string> recordsNamed(const std::vector<nlohmann::json>& records,
                                      const std::vector<std::string>& names) {
    std::vector<nlohmann::json> kept;
    for (const auto& record : records)
        if (std::find(names.begin(), names.end(), record.value("event", std::string())) != names.end())
            kept.push_back(record);
    return withoutStamps(kept);
}

std::vector<std::filesystem::path> sessionLogs(const std::filesystem::path& dataFolder) {
    // "session-<stamp>.jsonl" comes before "session-<stamp>-2.jsonl" of the same minute.
    const auto key = [](const std::filesystem::path& file) {
        const std::string stem = file.stem().string(); // session-yyyy-MM-dd-HHmm[-n]
        constexpr std::size_t stampEnd = std::string_view("session-yyyy-MM-dd-HHmm").size();
        const int n = stem.size() > stampEnd + 1 ? std::atoi(stem.c_str() + stampEnd + 1) : 1;
        return std::pair(stem.substr(0, stampEnd), n);
    };
    std::vector<std::filesystem::path> logs;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dataFolder / "sessions", ec))
        logs.push_back(entry.path());
    std::sort(logs.begin(), logs.end(), [&](const auto& a, const auto& b) { return key(a) < key(b); });
    return logs;
}

} // namespace mirl::test
