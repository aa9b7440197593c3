#include "app/classifier_eval/Evaluation.h"

#include "detect/SoundLabelSets.h"
#include "detect/classifier/FeatureSoundClassifier.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

namespace mirl::classifier_eval {

using classifier::SoundGroup;

namespace {
// A label that the phase logic would count as a sleep sound, with a confidence it admits
// ("wind" is in the sleep set too, but as an ambient sound it never enters the window).
bool confidentSleep(const std::vector<LabelConfidence>& labels) {
    for (const auto& l : labels)
        if (l.confidence >= 0.6 && labels::isSleep(l.label) && !labels::isAmbient(l.label))
            return true;
    return false;
}

std::string format(const char* fmt, auto... args) {
    char buf[256];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}
} // namespace

std::optional<std::vector<Clip>> readManifest(const std::string& dir, std::string& error) {
    std::ifstream in(dir + "/manifest.tsv");
    if (!in) {
        error = "cannot read " + dir + "/manifest.tsv";
        return std::nullopt;
    }
    std::vector<Clip> clips;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty())
            continue;
        std::istringstream fields(line);
        Clip c;
        std::string rate, from;
        if (!std::getline(fields, c.file, '\t') || !std::getline(fields, c.label, '\t') ||
            !std::getline(fields, rate, '\t')) {
            error = "manifest line " + std::to_string(number) + " is not file<TAB>label<TAB>rate";
            return std::nullopt;
        }
        try {
            c.rate = std::stoi(rate);
            if (std::getline(fields, from) && !from.empty())
                c.fromSeconds = std::stod(from);
        } catch (const std::exception&) {
            c.rate = 0;
        }
        if (!std::isfinite(c.fromSeconds) || c.fromSeconds < 0) {
            error = "manifest line " + std::to_string(number) + " has an unusable start";
            return std::nullopt;
        }
        if (c.rate < 1000 || c.rate > 384000) {
            error = "manifest line " + std::to_string(number) + " has an unusable rate";
            return std::nullopt;
        }
        clips.push_back(c);
    }
    return clips;
}

int Tally::windows() const {
    int n = 0;
    for (const auto& [label, c] : perClass)
        n += c.windows;
    return n;
}

int Tally::groupRight() const {
    int n = 0;
    for (const auto& [label, c] : perClass)
        n += c.groupRight;
    return n;
}

double Tally::groupAccuracy() const {
    return windows() ? double(groupRight()) / windows() : 0.0;
}

double Tally::balancedGroupAccuracy() const {
    double sum = 0;
    int groups = 0;
    for (std::size_t t = 0; t < confusion.size(); ++t) {
        if (SoundGroup(t) == SoundGroup::other)
            continue; // "other" is no group a room is judged by
        int row = 0;
        for (int n : confusion[t])
            row += n;
        if (row > 0) {
            sum += double(confusion[t][t]) / row;
            ++groups;
        }
    }
    return groups ? sum / groups : 0.0;
}

bool evaluate(const std::string& dir, const std::vector<Clip>& clips, std::size_t bufferFrames, double gainDb,
              Tally& tally, std::FILE* features, std::string& error) {
    const float gain = float(std::pow(10.0, gainDb / 20.0));
    if (features) {
        std::fprintf(features, "clip\tlabel\tstart");
        for (int i = 0; i < classifier::kFeatureCount; ++i)
            std::fprintf(features, "\t%s",
                         std::string(classifier::featureName(classifier::Feature(i))).c_str());
        std::fprintf(features, "\n");
    }
    for (const Clip& clip : clips) {
        std::ifstream in(dir + "/" + clip.file, std::ios::binary);
        if (!in) {
            error = "cannot read " + dir + "/" + clip.file;
            return false;
        }
        std::vector<float> samples;
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        samples.resize(bytes.size() / sizeof(float));
        std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
        for (float& s : samples)
            s *= gain;

        FeatureSoundClassifier classifier;
        auto& perClass = tally.perClass[clip.label];
        const SoundGroup truth = classifier::soundGroupOf(clip.label);
        for (std::size_t i = 0; i < samples.size(); i += bufferFrames) {
            const std::size_t n = std::min(bufferFrames, samples.size() - i);
            classifier.process(std::span<const float>(samples).subspan(i, n), clip.rate,
                               [&](const ClassificationResult& r) {
                                   if (r.labels.empty() || r.startSeconds < clip.fromSeconds)
                                       return;
                                   const auto& top = r.labels.front();
                                   const SoundGroup got = classifier::soundGroupOf(top.label);
                                   ++perClass.windows;
                                   perClass.labelRight += top.label == clip.label;
                                   perClass.groupRight += got == truth;
                                   const bool sleep = confidentSleep(r.labels);
                                   perClass.confidentSleep += sleep;
                                   tally.confidentSleep[std::size_t(truth)] += sleep;
                                   ++tally.confusion[std::size_t(truth)][std::size_t(got)];
                                   if (features && classifier.lastFeatures()) {
                                       std::fprintf(features, "%s\t%s\t%.2f", clip.file.c_str(),
                                                    clip.label.c_str(), r.startSeconds);
                                       for (float v : *classifier.lastFeatures())
                                           std::fprintf(features, "\t%.6g", double(v));
                                       std::fprintf(features, "\n");
                                   }
                               });
        }
    }
    return true;
}

std::string report(const Tally& tally) {
    std::string out;
    out += format("%-12s %8s %8s %8s %10s\n", "class", "windows", "label%", "group%", "sleep>=.6%");
    for (const auto& [label, c] : tally.perClass) {
        const double n = std::max(1, c.windows);
        out += format("%-12s %8d %8.1f %8.1f %10.1f\n", label.c_str(), c.windows, 100.0 * c.labelRight / n,
                      100.0 * c.groupRight / n, 100.0 * c.confidentSleep / n);
    }
    out += "\ngroup confusion (rows: truth, columns: top label's group, % of the row)\n";
    out += format("%-10s", "");
    constexpr int kShown = classifier::kSoundGroupCount;
    for (int g = 0; g < kShown; ++g)
        out += format(" %9s", std::string(classifier::soundGroupName(SoundGroup(g))).c_str());
    out += "\n";
    for (int t = 0; t < kShown; ++t) {
        int row = 0;
        for (int g = 0; g < kShown; ++g)
            row += tally.confusion[std::size_t(t)][std::size_t(g)];
        if (row == 0)
            continue;
        out += format("%-10s", std::string(classifier::soundGroupName(SoundGroup(t))).c_str());
        for (int g = 0; g < kShown; ++g)
            out += format(" %9.1f", 100.0 * tally.confusion[std::size_t(t)][std::size_t(g)] / row);
        out += format("   sleep>=.6 %5.1f%%\n", 100.0 * tally.confidentSleep[std::size_t(t)] / row);
    }
    // How often a confident sleep label is right: the phase logic admits it as sleep.
    int sleepWindows = 0, sleepRight = 0;
    for (int t = 0; t < kShown; ++t) {
        sleepWindows += tally.confidentSleep[std::size_t(t)];
        const auto g = SoundGroup(t);
        if (g == SoundGroup::silence || g == SoundGroup::breathing || g == SoundGroup::snoring)
            sleepRight += tally.confidentSleep[std::size_t(t)];
    }
    out += format("\ngroup accuracy: %.1f%% of %d windows; balanced over groups: %.1f%%\n",
                  100.0 * tally.groupAccuracy(), tally.windows(), 100.0 * tally.balancedGroupAccuracy());
    if (sleepWindows > 0)
        out += format("a sleep label at >= 0.6 is right (sleep truth) in %.1f%% of its %d windows\n",
                      100.0 * sleepRight / sleepWindows, sleepWindows);
    return out;
}

} // namespace mirl::classifier_eval
