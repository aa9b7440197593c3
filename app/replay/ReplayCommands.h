#pragma once

#include <cstdio>
#include <filesystem>

namespace mirl::replay {

/// Exit statuses of mirl-replay.
inline constexpr int exitOk = 0;
inline constexpr int exitUsage = 1;
inline constexpr int exitUndecodable = 2;
inline constexpr int exitCannotWrite = 3;

/// Replays `file` through the detectors and writes one session log under `dataFolder`
/// ("sessions/session-<stamp>.jsonl"). Prints the log's path on `out`; a file that cannot be
/// decoded gives one line on `err` and exitUndecodable, a log that could not be written whole
/// (a full disk) one line and exitCannotWrite.
int replayToLog(const std::filesystem::path& file, const std::filesystem::path& dataFolder, std::FILE* out,
                std::FILE* err);

/// One line per classifier window on `out`: the window's start in seconds, then the top three
/// label:confidence pairs, tab-separated. Lines that could not be written give one line on `err`
/// and exitCannotWrite.
int classifyToText(const std::filesystem::path& file, std::FILE* out, std::FILE* err);

} // namespace mirl::replay
