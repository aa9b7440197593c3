// mirl-sim: runs a scenario (docs/simulator.md) through the real session engines on virtual
// time over fake platform pieces, and leaves the session logs and state.json in the data folder.

#include "app/sim/ScenarioRunner.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

using namespace mirl;

namespace {

int usage() {
    std::fprintf(stderr, "Usage: mirl-sim SCENARIO.json --data DIR\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string scenarioFile, dataFolder;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--data") == 0 && i + 1 < argc)
            dataFolder = argv[++i];
        else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return usage() - 2;
        else if (argv[i][0] != '-' && scenarioFile.empty())
            scenarioFile = argv[i];
        else
            return usage();
    }
    if (scenarioFile.empty() || dataFolder.empty())
        return usage();

    std::ifstream in(scenarioFile, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "mirl-sim: %s: cannot be read\n", scenarioFile.c_str());
        return 2;
    }
    std::ostringstream text;
    text << in.rdbuf();
    auto parsed = sim::parseScenario(text.str(), std::filesystem::path(scenarioFile).parent_path());
    if (!parsed.scenario) {
        std::fprintf(stderr, "mirl-sim: %s: %s\n", scenarioFile.c_str(), parsed.error.c_str());
        return 2;
    }
    try {
        sim::ScenarioRunner runner(std::move(*parsed.scenario), dataFolder);
        runner.run();
        for (const auto& warning : runner.warnings())
            std::fprintf(stderr, "mirl-sim: %s\n", warning.c_str());
        std::printf("mirl-sim: ended at %.1f s (%s); state in %s\n", runner.world().elapsed(),
                    runner.endedBy().c_str(), runner.statePath().c_str());
    } catch (const sim::ScenarioError& e) {
        std::fprintf(stderr, "mirl-sim: %s: %s\n", scenarioFile.c_str(), e.what());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mirl-sim: %s\n", e.what());
        return 1;
    }
    return 0;
}
