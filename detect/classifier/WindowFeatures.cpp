#include "detect/classifier/WindowFeatures.h"

#include "detect/classifier/FeatureMath.h"

#include <algorithm>
#include <cmath>

namespace mirl::classifier {

namespace {
constexpr double kPi = 3.14159265358979323846;

// Frames count as sounding when they stand above the room's floor, or when they are this
// loud anyway: a held chord or a steady tone is its own floor, a faint mains hum is not.
constexpr float kSteadySoundDb = -50.0f;

// Energy of bands [first, last], dB.
float bandsDb(const std::array<double, kBandCount>& power, int first, int last) {
    double sum = 0;
    for (int b = first; b <= last; ++b)
        sum += power[std::size_t(b)];
    return powerToDb(sum);
}
} // namespace

std::string_view featureName(Feature f) {
    // Sized by its initialiser, so that a feature added without a name does not compile.
    static constexpr auto names = std::to_array<std::string_view>({"level_db",
                                                                   "quiet_db",
                                                                   "range_db",
                                                                   "above_floor_db",
                                                                   "low_share",
                                                                   "band1",
                                                                   "band2",
                                                                   "band3",
                                                                   "band4",
                                                                   "high1",
                                                                   "high2",
                                                                   "flatness",
                                                                   "slope",
                                                                   "centroid",
                                                                   "voiced_share",
                                                                   "voicing",
                                                                   "pitch",
                                                                   "pitch_jitter",
                                                                   "low_periodicity",
                                                                   "persistence",
                                                                   "flux",
                                                                   "onset_rate",
                                                                   "crest_db",
                                                                   "syllabic",
                                                                   "loud_low_share_db",
                                                                   "loud_periodicity",
                                                                   "digital_share",
                                                                   "voiced_run",
                                                                   "steady_seconds",
                                                                   "history_range_db",
                                                                   "breath_rhythm",
                                                                   "slow_swing_db",
                                                                   "history_onset_rate",
                                                                   "history_low_peak_db",
                                                                   "history_voiced",
                                                                   "history_peak_db"});
    static_assert(names.size() == kFeatureCount, "every feature needs its name");
    const int i = int(f);
    return i >= 0 && i < kFeatureCount ? names[std::size_t(i)] : std::string_view("?");
}

void WindowFeatureExtractor::addFrame(const FrameFeatures& frame) {
    history_.push_back(frame);
    if (history_.size() >= std::size_t(kHistoryFrames + kWindowFrames))
        history_.erase(history_.begin(), history_.end() - kHistoryFrames);
}

std::size_t WindowFeatureExtractor::steadyFrames(const std::vector<float>& energiesDb) {
    const std::size_t n = energiesDb.size();
    constexpr float kMarginDb = 3.0f;
    for (std::size_t after = kWindowFrames; after + kWindowFrames <= n; after += 2 * kWindowStepFrames) {
        const std::vector<float> newer(energiesDb.end() - std::ptrdiff_t(after), energiesDb.end());
        const std::vector<float> older(energiesDb.begin(), energiesDb.end() - std::ptrdiff_t(after));
        // Louder than nearly all of the past even in its pauses, or quieter than it ever was.
        if (percentile(newer, 0.1) > percentile(older, 0.9) + kMarginDb ||
            percentile(newer, 0.9) < percentile(older, 0.1) - kMarginDb)
            return after;
    }
    return n;
}

FeatureVector WindowFeatureExtractor::compute() const {
    FeatureVector v{};
    auto set = [&](Feature f, double value) { v[std::size_t(f)] = float(value); };
    const std::size_t all = std::min<std::size_t>(history_.size(), kHistoryFrames);
    const std::size_t n = std::min<std::size_t>(kWindowFrames, all);
    if (n == 0)
        return v;
    const std::span<const FrameFeatures> history(history_.data() + (history_.size() - all), all);
    const std::span<const FrameFeatures> w = history.last(n);

    // The context: the newest frames since the last scene change.
    std::vector<float> historyDb;
    historyDb.reserve(all);
    for (const auto& f : history)
        historyDb.push_back(f.energyDb);
    const std::size_t steady = steadyFrames(historyDb);
    const std::span<const FrameFeatures> context = history.last(steady);
    const float floorDb =
        percentile(std::vector<float>(historyDb.end() - std::ptrdiff_t(steady), historyDb.end()), 0.1);
    set(Feature::steadySeconds, double(steady) / kFrameRate);

    // Levels.
    double meanPower = 0;
    std::vector<float> blocks;
    blocks.reserve(n * kSubBlocks);
    int digital = 0;
    for (const auto& f : w) {
        meanPower += dbToPower(f.energyDb);
        blocks.insert(blocks.end(), f.subDb.begin(), f.subDb.end());
        digital += f.energyDb <= kSilenceFloorDb + 1.0f;
    }
    for (float& b : blocks)
        b = std::max(b, kSilenceFloorDb);
    meanPower /= double(n);
    const float level = powerToDb(meanPower);
    const float quiet = percentile(blocks, 0.1);
    set(Feature::levelDb, level);
    set(Feature::quietDb, quiet);
    set(Feature::rangeDb, percentile(blocks, 0.9) - quiet);
    set(Feature::aboveFloorDb, level - floorDb);
    set(Feature::digitalShare, double(digital) / double(n));

    // Spectrum shape, weighted by frame power so that the window's events dominate.
    std::array<double, kBandCount> bandPower{};
    double flat = 0, slope = 0, centroid = 0, weightSum = 0;
    for (const auto& f : w) {
        std::array<double, kBandCount> p{};
        for (int b = 0; b < kBandCount; ++b)
            p[std::size_t(b)] = dbToPower(f.bandDb[std::size_t(b)]);
        double speech = 0;
        for (int b = kSpeechBandFirst; b <= kSpeechBandLast; ++b)
            speech += p[std::size_t(b)];
        for (int b = 0; b < kBandCount; ++b)
            bandPower[std::size_t(b)] += p[std::size_t(b)];
        flat += speech * f.flatness;
        slope += speech * f.slopeDbPerOctave;
        centroid += speech * std::log2(std::max(50.0f, f.centroidHz));
        weightSum += speech;
    }
    const float speechDb = bandsDb(bandPower, kSpeechBandFirst, kSpeechBandLast);
    set(Feature::lowShare, bandsDb(bandPower, 0, 0) - speechDb);
    for (int b = kSpeechBandFirst; b <= kSpeechBandLast; ++b)
        v[std::size_t(int(Feature::band1) + b - kSpeechBandFirst)] = bandsDb(bandPower, b, b) - speechDb;
    set(Feature::high1, bandsDb(bandPower, 5, 5) - speechDb);
    set(Feature::high2, bandsDb(bandPower, 6, 6) - speechDb);
    if (weightSum > 1e-10) {
        set(Feature::flatness, flat / weightSum);
        set(Feature::slope, slope / weightSum);
        set(Feature::centroid, centroid / weightSum);
    } else {
        set(Feature::flatness, 1);
        set(Feature::centroid, std::log2(50.0));
    }

    // Voicing and pitch.
    int voiced = 0, audible = 0, runs = 0;
    double voicing = 0, lowPeriodicity = 0, persistence = 0, flux = 0;
    std::vector<float> pitches;
    double jitter = 0;
    int jitterCount = 0;
    float previousPitch = 0;
    for (const auto& f : w) {
        const bool above = f.energyDb > floorDb + 6 || f.energyDb > kSteadySoundDb;
        const bool isVoiced = above && f.voicing > 0.5f && f.pitchHz > 0;
        voicing += f.voicing;
        lowPeriodicity += f.lowPeriodicity;
        flux += f.fluxDb;
        if (f.energyDb > floorDb + 3 || f.energyDb > kSteadySoundDb) {
            persistence += f.detailCorrelation;
            ++audible;
        }
        if (isVoiced) {
            ++voiced;
            const float lp = std::log2(f.pitchHz);
            pitches.push_back(lp);
            if (previousPitch > 0) {
                jitter += std::abs(lp - previousPitch);
                ++jitterCount;
            } else {
                ++runs;
            }
            previousPitch = lp;
        } else {
            previousPitch = 0;
        }
    }
    set(Feature::voicedShare, double(voiced) / double(n));
    set(Feature::voicedRun, runs ? double(voiced) / runs / kFrameRate : 0.0);
    set(Feature::voicing, voicing / double(n));
    set(Feature::pitch, pitches.empty() ? std::log2(150.0) : percentile(pitches, 0.5));
    set(Feature::pitchJitter, jitterCount ? jitter / jitterCount : 0.0);
    set(Feature::lowPeriodicity, lowPeriodicity / double(n));
    if (audible > 0) {
        set(Feature::persistence, persistence / audible);
    } else {
        double sum = 0;
        for (const auto& f : w)
            sum += f.detailCorrelation;
        set(Feature::persistence, sum / double(n));
    }
    set(Feature::flux, flux / double(n));

    // The loudest frames carry the event (a snore, a word, a note): how low and how periodic.
    {
        float loudest = -200;
        for (const auto& f : w)
            loudest = std::max(loudest, f.energyDb);
        double lowShare = 0, periodic = 0;
        int loud = 0;
        for (const auto& f : w) {
            if (f.energyDb < loudest - 6.0f)
                continue;
            double below = 0, carried = 0;
            for (int b = 0; b <= kSpeechBandLast; ++b) {
                const double p = dbToPower(f.bandDb[std::size_t(b)]);
                carried += p;
                if (b <= 1)
                    below += p;
            }
            lowShare += powerToDb(below) - powerToDb(carried);
            periodic += std::max(f.voicing, f.lowPeriodicity);
            ++loud;
        }
        set(Feature::loudLowShareDb, lowShare / std::max(1, loud));
        set(Feature::loudPeriodicity, periodic / std::max(1, loud));
    }

    // Transients on the 133 Hz block envelope.
    const int onsets = countOnsets(blocks, floorDb);
    const double seconds = double(n) / kFrameRate;
    set(Feature::onsetRate, onsets / seconds);
    set(Feature::crestDb, *std::max_element(blocks.begin(), blocks.end()) - percentile(blocks, 0.5));

    // Syllable-rate modulation: share of the frame envelope's variance at 2-8 Hz.
    {
        std::vector<float> env;
        env.reserve(n);
        double mean = 0;
        for (const auto& f : w) {
            env.push_back(std::max(f.energyDb, floorDb));
            mean += env.back();
        }
        mean /= double(n);
        // The transform's cosines and sines for a full window, computed once.
        static const std::vector<float> table = [] {
            std::vector<float> t(std::size_t(kWindowFrames) * 2);
            for (std::size_t j = 0; j < std::size_t(kWindowFrames); ++j) {
                t[2 * j] = float(std::cos(2 * kPi * double(j) / kWindowFrames));
                t[2 * j + 1] = float(std::sin(2 * kPi * double(j) / kWindowFrames));
            }
            return t;
        }();
        double inBand = 0, total = 0;
        for (std::size_t k = 1; k < n / 2; ++k) {
            double re = 0, im = 0;
            for (std::size_t i = 0; i < n; ++i) {
                double c, s;
                if (n == std::size_t(kWindowFrames)) {
                    const std::size_t j = (k * i) % n;
                    c = table[2 * j];
                    s = table[2 * j + 1];
                } else {
                    const double a = 2 * kPi * double(k * i) / double(n);
                    c = std::cos(a);
                    s = std::sin(a);
                }
                re += (env[i] - mean) * c;
                im -= (env[i] - mean) * s;
            }
            const double m = re * re + im * im;
            const double hz = double(k) * kFrameRate / double(n);
            total += m;
            if (hz >= 2.0 && hz <= 8.0)
                inBand += m;
        }
        set(Feature::syllabic, total > 1e-6 * double(n) ? inBand / total : 0.0);
    }

    computeContext(context, floorDb, v);
    return v;
}

} // namespace mirl::classifier
