#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace mirl::test {

/// Runs a shell command; its exit status (-1 when it could not run).
int shell(const std::string& command);

/// Channel 0 of an audio file decoded by the ffmpeg command-line tool at the file's own rate.
/// Empty when the tool fails.
std::vector<float> decodeChannel0WithCli(const std::filesystem::path& path);

/// Every sample of channel 0 through openAudioFile, read sequentially in 2048-frame blocks.
std::vector<float> readAllSequentially(const std::filesystem::path& path);

/// Root mean square of samples[from, to).
double rms(const std::vector<float>& samples, std::size_t from, std::size_t to);

} // namespace mirl::test
