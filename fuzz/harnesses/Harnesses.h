#pragma once

#include "fuzz/harnesses/FuzzCheck.h"

#include <span>

namespace mirl::fuzz {

// Each harness takes one input of any bytes and checks the promises of the code it drives;
// a broken promise aborts (FUZZ_CHECK), anything the sanitizers see is reported by them.

/// One session-log line through the strict record scanner, checked against nlohmann's parser.
void recordLine(Input input);
/// A whole session log through the analysis and both reports of mirl-analyze.
void sessionLog(Input input);
/// Time stamps: parsing any text, and formatting what parsed.
void timestamp(Input input);
/// Any JSON value through the journal's encoding and the session logger, read back.
void jsonLine(Input input);
/// A corrupt "annotations.jsonl": loading, filtering and a save that keeps every line.
void annotations(Input input);
/// Odd sample buffers (NaN, inf, denormals, any length and rate) through the detection chain.
void detection(Input input);
/// Any file through the FFmpeg reader and the recording analysis.
void audioFile(Input input);
/// A mirl-sim scenario file through its parser and checks.
void scenario(Input input);

struct Harness {
    const char* name;
    void (*run)(Input);
};

inline constexpr Harness kHarnesses[] = {
    {"record_line", recordLine}, {"session_log", sessionLog},  {"timestamp", timestamp},
    {"json_line", jsonLine},     {"annotations", annotations}, {"detection", detection},
    {"audio_file", audioFile},   {"scenario", scenario},
};

} // namespace mirl::fuzz
