// Replays every kept fuzz input (the starting corpus and the cases that once broke something)
// through its harness, in the ordinary build: a harness aborts on a broken promise.

#include "fuzz/harnesses/Harnesses.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

using namespace mirl;
namespace fs = std::filesystem;

namespace {

class KeptFuzzInputs : public ::testing::TestWithParam<fuzz::Harness> {};

std::vector<fs::path> keptInputs(const std::string& harness) {
    std::vector<fs::path> files;
    for (const char* kind : {"corpus", "cases"}) {
        std::error_code ec;
        for (fs::directory_iterator it(fs::path(MIRL_SOURCE_DIR) / "fuzz" / kind / harness, ec), end;
             !ec && it != end; it.increment(ec))
            if (it->is_regular_file())
                files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

TEST_P(KeptFuzzInputs, PassTheirHarness) {
    const fuzz::Harness harness = GetParam();
    const auto files = keptInputs(harness.name);
    ASSERT_FALSE(files.empty()) << "no kept input for " << harness.name;
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                              std::istreambuf_iterator<char>()};
        std::fprintf(stderr, "%s: %s\n", harness.name, file.filename().c_str()); // named before a crash
        harness.run(bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(Fuzz, KeptFuzzInputs, ::testing::ValuesIn(fuzz::kHarnesses),
                         [](const auto& info) { return std::string(info.param.name); });
