// mirl-analyze: how each detector judged a night, from its session log, without the window.

#include "journal/analysis/AnalysisReport.h"
#include "journal/analysis/SessionAnalysis.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

using namespace mirl;

namespace {

constexpr int exitOk = 0;
constexpr int exitNoAnalysis = 1;
constexpr int exitUsage = 2;

void usage(std::FILE* to) {
    std::fprintf(to,
                 "Usage: mirl-analyze LOG [--json] [--duration SECONDS]\n"
                 "Runs the session analysis over a session log (a sessions/session-*.jsonl file) and prints\n"
                 "each heuristic's verdicts, series and the weighted vote. --duration replaces the duration\n"
                 "taken from the log's last event (the review window uses the recording's length).\n");
}

std::optional<double> parseSeconds(const char* text) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !(value >= 0) || value > 1e9)
        return std::nullopt;
    return value;
}

} // namespace

int main(int argc, char** argv) {
    std::optional<std::string> file;
    std::optional<double> duration;
    bool json = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            usage(stdout);
            return exitOk;
        }
        if (std::strcmp(argv[i], "--json") == 0 && !json) {
            json = true;
        } else if (std::strcmp(argv[i], "--duration") == 0 && i + 1 < argc && !duration) {
            duration = parseSeconds(argv[++i]);
            if (!duration) {
                std::fprintf(stderr, "mirl-analyze: --duration takes a number of seconds, not %s\n", argv[i]);
                return exitUsage;
            }
        } else if (argv[i][0] != '-' && !file) {
            file = argv[i];
        } else {
            std::fprintf(stderr, "mirl-analyze: unexpected argument %s\n", argv[i]);
            usage(stderr);
            return exitUsage;
        }
    }
    if (!file) {
        usage(stderr);
        return exitUsage;
    }
    // A link the user names is followed here; analyzeSession itself follows none.
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::canonical(*file, ec);
    std::string problem = ec.message();
    std::optional<SessionAnalysis> analysis;
    if (!ec)
        analysis = analyzeSession(resolved, duration, &problem);
    if (!analysis) {
        std::fprintf(stderr, "mirl-analyze: cannot analyse %s: %s\n", file->c_str(), problem.c_str());
        return exitNoAnalysis;
    }
    const std::string out =
        json ? analysisReportJson(*analysis).dump(2) + "\n" : analysisReportText(*analysis);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? exitOk : exitNoAnalysis;
}
