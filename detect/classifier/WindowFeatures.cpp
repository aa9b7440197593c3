#include "detect/classifier/WindowFeatures.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace mirl::classifier {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr float kFrameRate = float(kAnalysisRate) / kHop; // 33.3 frames per second

// Frames count as sounding when they stand above the room's floor, or when they are this
// loud anyway: a held chord or a steady tone is its own floor, a faint mains hum is not.
constexpr float kSteadySoundDb = -50.0f;

float toDb(double power) {
    return float(10.0 * std::log10(power + 1e-12));
}
double fromDb(float db) {
    return std::pow(10.0, db / 10.0);
}

float percentile(std::vector<float> values, double q) {
    if (values.empty())
        return 0;
    const std::size_t k = std::min(values.size() - 1, std::size_t(q * double(values.size() - 1) + 0.5));
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(k), values.end());
    return values[k];
}

// Sharp rises of the 7.5 ms block envelope: 9 dB above the mean power of the four blocks
// before (30 ms; a mean, so that the pitch periods of a low buzz, which make single blocks
// swing, do not count), 12 dB above the floor, at least 30 ms apart.
int countOnsets(const std::vector<float>& blocks, float floorDb) {
    std::vector<double> power(blocks.size());
    for (std::size_t i = 0; i < blocks.size(); ++i)
        power[i] = fromDb(blocks[i]);
    int onsets = 0;
    int lastOnset = -10;
    for (std::size_t i = 4; i < blocks.size(); ++i) {
        const double before = (power[i - 1] + power[i - 2] + power[i - 3] + power[i - 4]) / 4;
        if (blocks[i] - toDb(before) > 9.0f && blocks[i] > floorDb + 12.0f && int(i) - lastOnset > 3) {
            ++onsets;
            lastOnset = int(i);
        }
    }
    return onsets;
}

// Largest normalised autocorrelation of a mean-removed series over lags [lo, hi].
float periodicity(const std::vector<float>& x, int lo, int hi) {
    const int n = int(x.size());
    double r0 = 0;
    for (float v : x)
        r0 += double(v) * v;
    if (r0 <= 1e-9 || lo >= n)
        return 0;
    r0 /= n;
    float best = 0;
    for (int lag = lo; lag <= std::min(hi, n - 8); ++lag) {
        double r = 0;
        for (int i = 0; i + lag < n; ++i)
            r += double(x[std::size_t(i)]) * x[std::size_t(i + lag)];
        r /= (n - lag);
        best = std::max(best, float(r / r0));
    }
    return std::clamp(best, 0.0f, 1.0f);
}
} // namespace

std::string_view featureName(Feature f) {
    // Sized by its initialiser, so that a feature added without a name does not compile.
    static constexpr auto names = std::to_array<std::string_view>({"level_db",
                                                                   "quiet_db",
                                                                   "range_db",
                                                                   "above_floor_db",
                                                                   "band0",
                                                                   "band1",
                                                                   "band2",
                                                                   "band3",
                                                                   "band4",
                                                                   "band5",
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
                                                                   "history_range_db",
                                                                   "breath_rhythm",
                                                                   "slow_swing_db",
                                                                   "history_onset_rate",
                                                                   "history_low_peak_db",
                                                                   "history_voiced",
                                                                   "loud_low_share_db",
                                                                   "loud_periodicity"});
    static_assert(names.size() == kFeatureCount, "every feature needs its name");
    const int i = int(f);
    return i >= 0 && i < kFeatureCount ? names[std::size_t(i)] : std::string_view("?");
}

void WindowFeatureExtractor::addFrame(const FrameFeatures& frame) {
    history_.push_back(frame);
    while (history_.size() > std::size_t(kHistoryFrames))
        history_.pop_front();
}

FeatureVector WindowFeatureExtractor::compute() const {
    FeatureVector v{};
    auto set = [&](Feature f, double value) { v[std::size_t(f)] = float(value); };
    const std::size_t n = std::min<std::size_t>(kWindowFrames, history_.size());
    if (n == 0)
        return v;
    const auto first = history_.end() - std::ptrdiff_t(n);
    std::vector<const FrameFeatures*> w;
    w.reserve(n);
    for (auto it = first; it != history_.end(); ++it)
        w.push_back(&*it);

    // Levels.
    std::vector<float> historyDb;
    historyDb.reserve(history_.size());
    for (const auto& f : history_)
        historyDb.push_back(f.energyDb);
    const float floorDb = percentile(historyDb, 0.1);
    double meanPower = 0;
    std::vector<float> blocks;
    blocks.reserve(n * kSubBlocks);
    for (const auto* f : w) {
        meanPower += fromDb(f->energyDb);
        blocks.insert(blocks.end(), f->subDb.begin(), f->subDb.end());
    }
    meanPower /= double(n);
    const float level = toDb(meanPower);
    const float quiet = percentile(blocks, 0.1);
    set(Feature::levelDb, level);
    set(Feature::quietDb, quiet);
    set(Feature::rangeDb, percentile(blocks, 0.9) - quiet);
    set(Feature::aboveFloorDb, level - floorDb);

    // Spectrum shape, weighted by frame power so that the window's events dominate.
    std::array<double, kBandCount> bandPower{};
    double flat = 0, slope = 0, centroid = 0, weightSum = 0;
    for (const auto* f : w) {
        const double p = fromDb(f->energyDb);
        for (int b = 0; b < kBandCount; ++b)
            bandPower[std::size_t(b)] += fromDb(f->bandDb[std::size_t(b)]);
        flat += p * f->flatness;
        slope += p * f->slopeDbPerOctave;
        centroid += p * std::log2(std::max(50.0f, f->centroidHz));
        weightSum += p;
    }
    double bandTotal = 0;
    for (double p : bandPower)
        bandTotal += p;
    for (int b = 0; b < kBandCount; ++b)
        v[std::size_t(int(Feature::band0) + b)] = toDb(bandPower[std::size_t(b)]) - toDb(bandTotal);
    if (weightSum > 0) {
        set(Feature::flatness, flat / weightSum);
        set(Feature::slope, slope / weightSum);
        set(Feature::centroid, centroid / weightSum);
    } else {
        set(Feature::flatness, 1);
        set(Feature::centroid, std::log2(50.0));
    }

    // Voicing and pitch.
    int voiced = 0, audible = 0;
    double voicing = 0, lowPeriodicity = 0, persistence = 0, flux = 0;
    std::vector<float> pitches;
    double jitter = 0;
    int jitterCount = 0;
    float previousPitch = 0;
    for (const auto* f : w) {
        const bool above = f->energyDb > floorDb + 6 || f->energyDb > kSteadySoundDb;
        const bool isVoiced = above && f->voicing > 0.5f && f->pitchHz > 0;
        voicing += f->voicing;
        lowPeriodicity += f->lowPeriodicity;
        flux += f->fluxDb;
        if (f->energyDb > floorDb + 3 || f->energyDb > kSteadySoundDb) {
            persistence += f->detailCorrelation;
            ++audible;
        }
        if (isVoiced) {
            ++voiced;
            const float lp = std::log2(f->pitchHz);
            pitches.push_back(lp);
            if (previousPitch > 0) {
                jitter += std::abs(lp - previousPitch);
                ++jitterCount;
            }
            previousPitch = lp;
        } else {
            previousPitch = 0;
        }
    }
    set(Feature::voicedShare, double(voiced) / double(n));
    set(Feature::voicing, voicing / double(n));
    set(Feature::pitch, pitches.empty() ? std::log2(150.0) : percentile(pitches, 0.5));
    set(Feature::pitchJitter, jitterCount ? jitter / jitterCount : 0.0);
    set(Feature::lowPeriodicity, lowPeriodicity / double(n));
    if (audible > 0) {
        set(Feature::persistence, persistence / audible);
    } else {
        double all = 0;
        for (const auto* f : w)
            all += f->detailCorrelation;
        set(Feature::persistence, all / double(n));
    }
    set(Feature::flux, flux / double(n));

    // The loudest frames carry the event (a snore, a word, a note): how low and how periodic.
    {
        float loudest = -200;
        for (const auto* f : w)
            loudest = std::max(loudest, f->energyDb);
        double lowShare = 0, periodic = 0;
        int loud = 0;
        for (const auto* f : w) {
            if (f->energyDb < loudest - 6.0f)
                continue;
            double all = 0;
            for (float b : f->bandDb)
                all += fromDb(b);
            lowShare += toDb(fromDb(f->bandDb[0]) + fromDb(f->bandDb[1])) - toDb(all);
            periodic += std::max(f->voicing, f->lowPeriodicity);
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
        for (const auto* f : w) {
            env.push_back(std::max(f->energyDb, floorDb));
            mean += env.back();
        }
        mean /= double(n);
        double inBand = 0, all = 0;
        for (std::size_t k = 1; k < n / 2; ++k) {
            double re = 0, im = 0;
            for (std::size_t i = 0; i < n; ++i) {
                const double a = 2 * kPi * double(k * i) / double(n);
                re += (env[i] - mean) * std::cos(a);
                im -= (env[i] - mean) * std::sin(a);
            }
            const double m = re * re + im * im;
            const double hz = double(k) * kFrameRate / double(n);
            all += m;
            if (hz >= 2.0 && hz <= 8.0)
                inBand += m;
        }
        set(Feature::syllabic, all > 1e-6 * double(n) ? inBand / all : 0.0);
    }

    // Slow context: the last 12 s.
    set(Feature::historyRangeDb, percentile(historyDb, 0.9) - floorDb);
    {
        // Envelope at 6.7 Hz (5-frame means), floored at the room's floor.
        std::vector<float> env;
        for (std::size_t i = 0; i + 5 <= history_.size(); i += 5) {
            double s = 0;
            for (std::size_t j = i; j < i + 5; ++j)
                s += std::max(history_[j].energyDb, floorDb);
            env.push_back(float(s / 5));
        }
        // Swing of the 1-second means: how far the level breathes.
        std::vector<float> slow;
        for (std::size_t i = 0; i + 7 <= env.size(); i += 3) {
            double s = 0;
            for (std::size_t j = i; j < i + 7; ++j)
                s += env[j];
            slow.push_back(float(s / 7));
        }
        set(Feature::slowSwing, slow.size() >= 4 ? percentile(slow, 0.9) - percentile(slow, 0.1) : 0.0);
        float rhythm = 0;
        const float envRate = kFrameRate / 5;
        if (env.size() >= std::size_t(8 * envRate)) {
            double mean = 0;
            for (float x : env)
                mean += x;
            mean /= double(env.size());
            for (float& x : env)
                x = float(x - mean);
            rhythm = periodicity(env, int(2.5f * envRate), int(7.5f * envRate));
        }
        set(Feature::breathRhythm, rhythm);
    }
    {
        std::vector<float> allBlocks, low;
        allBlocks.reserve(history_.size() * kSubBlocks);
        low.reserve(history_.size());
        int voicedFrames = 0;
        for (const auto& f : history_) {
            allBlocks.insert(allBlocks.end(), f.subDb.begin(), f.subDb.end());
            low.push_back(toDb(fromDb(f.bandDb[0]) + fromDb(f.bandDb[1])));
            voicedFrames += (f.energyDb > floorDb + 6 || f.energyDb > kSteadySoundDb) && f.voicing > 0.5f &&
                            f.pitchHz > 0;
        }
        const double historySeconds = double(history_.size()) / kFrameRate;
        set(Feature::historyOnsetRate, countOnsets(allBlocks, floorDb) / historySeconds);
        set(Feature::historyLowPeakDb, percentile(low, 0.9) - floorDb);
        set(Feature::historyVoiced, double(voicedFrames) / double(history_.size()));
    }
    return v;
}

} // namespace mirl::classifier
