#pragma once

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace mirl::test {

/// The records of a session log, in order (a line that is not JSON fails the test).
std::vector<nlohmann::json> readLogRecords(const std::filesystem::path& file);

/// Each record as compact JSON without its "ts" (so that payload types show: 40 versus 40.0).
std::vector<std::string> withoutStamps(const std::vector<nlohmann::json>& records);

/// The "event" of each record.
std::vector<std::string> eventNames(const std::vector<nlohmann::json>& records);

/// The records (without "ts") whose event is one of names, in order.
std::vector<std::string> recordsNamed(const std::vector<nlohmann::json>& records,
                                      const std::vector<std::string>& names);

/// The session logs in dataFolder/sessions in the order they were made (a same-minute "-2" after
/// the first).
std::vector<std::filesystem::path> sessionLogs(const std::filesystem::path& dataFolder);

} // namespace mirl::test
