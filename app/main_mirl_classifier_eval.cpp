// mirl-classifier-eval: runs the sound classifier over a generated evaluation set
// (scripts/classifier/make-evalset) and reports per-class accuracy and the group confusion.

#include "app/classifier_eval/Evaluation.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace mirl;

namespace {
void usage(std::FILE* to) {
    std::fprintf(to, "Usage: mirl-classifier-eval DIR [--features FILE] [--buffer FRAMES] [--gain-db DB]\n"
                     "                            [--min-group-accuracy PCT]\n"
                     "Classifies every clip listed in DIR/manifest.tsv and prints per-class accuracy and\n"
                     "the confusion between groups. --gain-db scales the audio (a more or less sensitive\n"
                     "microphone). With --min-group-accuracy, exits 1 below it.\n");
}
} // namespace

int main(int argc, char** argv) {
    std::string dir, featuresPath;
    std::size_t buffer = 8192;
    double minAccuracy = -1;
    double gainDb = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else if (a == "--features" && hasValue) {
            featuresPath = argv[++i];
        } else if (a == "--buffer" && hasValue) {
            buffer = std::size_t(std::max(1L, std::atol(argv[++i])));
        } else if (a == "--gain-db" && hasValue) {
            gainDb = std::atof(argv[++i]);
        } else if (a == "--min-group-accuracy" && hasValue) {
            minAccuracy = std::atof(argv[++i]);
        } else if (!a.empty() && a[0] != '-' && dir.empty()) {
            dir = a;
        } else {
            usage(stderr);
            return 2;
        }
    }
    if (dir.empty()) {
        usage(stderr);
        return 2;
    }
    std::string error;
    const auto clips = classifier_eval::readManifest(dir, error);
    if (!clips) {
        std::fprintf(stderr, "mirl-classifier-eval: %s\n", error.c_str());
        return 2;
    }
    std::FILE* features = nullptr;
    if (!featuresPath.empty() && !(features = std::fopen(featuresPath.c_str(), "w"))) {
        std::fprintf(stderr, "mirl-classifier-eval: cannot write %s\n", featuresPath.c_str());
        return 2;
    }
    classifier_eval::Tally tally;
    const bool ok = classifier_eval::evaluate(dir, *clips, buffer, gainDb, tally, features, error);
    if (features)
        std::fclose(features);
    if (!ok) {
        std::fprintf(stderr, "mirl-classifier-eval: %s\n", error.c_str());
        return 2;
    }
    std::fputs(classifier_eval::report(tally).c_str(), stdout);
    if (minAccuracy >= 0 && 100.0 * tally.groupAccuracy() < minAccuracy) {
        std::printf("below the required %.1f%%\n", minAccuracy);
        return 1;
    }
    return 0;
}
