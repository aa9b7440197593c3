#include "detect/classifier/FrameAnalyzer.h"

#include "runtime/FftwPlanLock.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace mirl::classifier {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr int kBins = kFftSize / 2 + 1;
constexpr float kBinHz = float(kAnalysisRate) / kFftSize;
constexpr float kTiny = 1e-12f; // -120 dB floor for logarithms

int binOf(float hz) {
    return std::clamp(int(std::lround(hz / kBinHz)), 0, kBins - 1);
}

float toDb(double power) {
    return float(10.0 * std::log10(power + kTiny));
}

// Running mean over +-radius bins of values[lo..hi), written to out[lo..hi).
void smooth(const std::vector<float>& values, int lo, int hi, int radius, std::vector<float>& out) {
    double sum = 0;
    int count = 0;
    int left = lo, right = lo; // window [left, right)
    for (int k = lo; k < hi; ++k) {
        while (right < hi && right <= k + radius) {
            sum += values[std::size_t(right++)];
            ++count;
        }
        while (left < k - radius) {
            sum -= values[std::size_t(left++)];
            --count;
        }
        out[std::size_t(k)] = float(sum / count);
    }
}
} // namespace

struct FrameAnalyzer::Fft {
    float* in = nullptr;
    fftwf_complex* spectrum = nullptr;
    float* acf = nullptr;
    fftwf_plan forward = nullptr;
    fftwf_plan backward = nullptr;

    Fft() {
        std::lock_guard lock(fftwPlanLock());
        in = fftwf_alloc_real(kFftSize);
        acf = fftwf_alloc_real(kFftSize);
        spectrum = fftwf_alloc_complex(kBins);
        if (!in || !acf || !spectrum)
            throw std::runtime_error("FFTW could not allocate its buffers");
        forward = fftwf_plan_dft_r2c_1d(kFftSize, in, spectrum, FFTW_ESTIMATE);
        backward = fftwf_plan_dft_c2r_1d(kFftSize, spectrum, acf, FFTW_ESTIMATE);
        if (!forward || !backward)
            throw std::runtime_error("FFTW could not make its plans");
    }
    ~Fft() {
        std::lock_guard lock(fftwPlanLock());
        if (forward)
            fftwf_destroy_plan(forward);
        if (backward)
            fftwf_destroy_plan(backward);
        fftwf_free(in);
        fftwf_free(acf);
        fftwf_free(spectrum);
    }
};

FrameAnalyzer::FrameAnalyzer() : fft_(std::make_unique<Fft>()) {
    window_.resize(kFrameLength);
    for (int i = 0; i < kFrameLength; ++i)
        window_[std::size_t(i)] = float(0.5 - 0.5 * std::cos(2 * kPi * (i + 0.5) / kFrameLength));
    windowAcf_.assign(kFrameLength, 0.0f);
    double zero = 0;
    for (int i = 0; i < kFrameLength; ++i)
        zero += double(window_[std::size_t(i)]) * window_[std::size_t(i)];
    for (int lag = 0; lag < kFrameLength; ++lag) {
        double sum = 0;
        for (int i = 0; i + lag < kFrameLength; ++i)
            sum += double(window_[std::size_t(i)]) * window_[std::size_t(i + lag)];
        windowAcf_[std::size_t(lag)] = float(sum / zero);
    }
    power_.assign(kBins, 0.0f);
    scratch_.assign(kBins, 0.0f);
    for (auto& d : detail_)
        d.assign(kBins, 0.0f);
}

FrameAnalyzer::~FrameAnalyzer() = default;

void FrameAnalyzer::reset() {
    framesSeen_ = 0;
    previousBands_ = {};
    for (auto& d : detail_)
        std::fill(d.begin(), d.end(), 0.0f);
}

FrameFeatures FrameAnalyzer::analyze(std::span<const float> frame) {
    FrameFeatures f;
    if (frame.size() < std::size_t(kFrameLength))
        return f;

    double mean = 0;
    for (int i = 0; i < kFrameLength; ++i)
        mean += frame[std::size_t(i)];
    mean /= kFrameLength;
    double meanSquare = 0;
    for (int i = 0; i < kFrameLength; ++i) {
        const double x = frame[std::size_t(i)] - mean;
        meanSquare += x * x;
    }
    meanSquare /= kFrameLength;
    f.energyDb = toDb(meanSquare);

    // Energy of the four 7.5 ms blocks at the frame's centre: the blocks of successive frames
    // tile the stream, which gives the transient analysis a 133 Hz envelope.
    const int centre = (kFrameLength - kHop) / 2;
    const int block = kHop / kSubBlocks;
    for (int b = 0; b < kSubBlocks; ++b) {
        double sum = 0;
        for (int i = 0; i < block; ++i) {
            const double x = frame[std::size_t(centre + b * block + i)] - mean;
            sum += x * x;
        }
        f.subDb[std::size_t(b)] = toDb(sum / block);
    }

    float* in = fft_->in;
    double windowPower = 0;
    for (int i = 0; i < kFrameLength; ++i) {
        in[i] = float(frame[std::size_t(i)] - mean) * window_[std::size_t(i)];
        windowPower += double(window_[std::size_t(i)]) * window_[std::size_t(i)];
    }
    std::fill(in + kFrameLength, in + kFftSize, 0.0f);
    fftwf_execute(fft_->forward);

    // Scaled so that the bins sum to the frame's mean square.
    const double scale = 2.0 / (double(kFftSize) * windowPower);
    double total = 0;
    for (int k = 0; k < kBins; ++k) {
        const double re = fft_->spectrum[k][0], im = fft_->spectrum[k][1];
        power_[std::size_t(k)] = float((re * re + im * im) * scale);
        total += power_[std::size_t(k)];
    }

    // Bands.
    for (int b = 0; b < kBandCount; ++b) {
        const int lo = binOf(kBandEdgesHz[std::size_t(b)]);
        const int hi = b + 1 == kBandCount ? kBins : binOf(kBandEdgesHz[std::size_t(b) + 1]);
        double sum = 0;
        for (int k = std::max(lo, 1); k < hi; ++k)
            sum += power_[std::size_t(k)];
        f.bandDb[std::size_t(b)] = toDb(sum);
    }

    // Flatness and centroid.
    {
        const int lo = binOf(125), hi = binOf(7000);
        double logSum = 0, sum = 0, weighted = 0;
        const double floor = 1e-14;
        for (int k = lo; k < hi; ++k) {
            const double p = power_[std::size_t(k)] + floor;
            logSum += std::log(p);
            sum += p;
        }
        const int n = hi - lo;
        f.flatness = float(std::clamp(std::exp(logSum / n) / (sum / n), 0.0, 1.0));
        double all = 0;
        for (int k = 1; k < kBins; ++k) {
            weighted += double(k) * kBinHz * power_[std::size_t(k)];
            all += power_[std::size_t(k)];
        }
        f.centroidHz = all > 0 ? float(weighted / all) : 0.0f;
    }

    // Slope: band densities (dB per Hz) over the octave index, bands above 250 Hz.
    {
        double sx = 0, sy = 0, sxx = 0, sxy = 0;
        int n = 0;
        for (int b = 1; b < kBandCount; ++b) {
            const double width = kBandEdgesHz[std::size_t(b) + 1] - kBandEdgesHz[std::size_t(b)];
            const double y = f.bandDb[std::size_t(b)] - 10.0 * std::log10(width);
            const double x = b; // the bands are octaves
            sx += x;
            sy += y;
            sxx += x * x;
            sxy += x * y;
            ++n;
        }
        f.slopeDbPerOctave = float((n * sxy - sx * sy) / (n * sxx - sx * sx));
    }

    // Flux against the previous frame.
    if (framesSeen_ > 0) {
        double rise = 0;
        for (int b = 0; b < kBandCount; ++b)
            rise += std::max(0.0f, f.bandDb[std::size_t(b)] - previousBands_[std::size_t(b)]);
        f.fluxDb = float(rise / kBandCount);
    }
    previousBands_ = f.bandDb;

    // Fine spectral structure 94-4000 Hz (log spectrum minus its local mean), and how much of
    // it survives from two frames (60 ms) back: high for held notes, about 0 for noise.
    const int dLo = binOf(94), dHi = binOf(4000);
    {
        std::rotate(std::begin(detail_), std::begin(detail_) + 1,
                    std::end(detail_)); // oldest slot becomes now
        std::vector<float>& now = detail_[2];
        std::vector<float>& logs = scratch_;
        for (int k = dLo; k < dHi; ++k)
            logs[std::size_t(k)] = toDb(power_[std::size_t(k)] + 1e-10);
        smooth(logs, dLo, dHi, 8, now);
        for (int k = dLo; k < dHi; ++k)
            now[std::size_t(k)] = logs[std::size_t(k)] - now[std::size_t(k)];
        if (framesSeen_ >= 2) {
            const std::vector<float>& old = detail_[0];
            double sab = 0, saa = 0, sbb = 0;
            for (int k = dLo; k < dHi; ++k) {
                sab += double(now[std::size_t(k)]) * old[std::size_t(k)];
                saa += double(now[std::size_t(k)]) * now[std::size_t(k)];
                sbb += double(old[std::size_t(k)]) * old[std::size_t(k)];
            }
            f.detailCorrelation = saa > 1e-9 && sbb > 1e-9 ? float(sab / std::sqrt(saa * sbb)) : 0.0f;
        }
    }

    // Voicing: autocorrelation of the frame below 4 kHz, lows tilted down (so that rumble does
    // not dominate), corrected for the window; only local maxima count as periods.
    if (total > 1e-11) {
        const int hi = binOf(4000);
        for (int k = 0; k < kBins; ++k) {
            const float tilt = std::min(1.0f, float(k) * kBinHz / 500.0f);
            fft_->spectrum[k][0] = k < hi ? power_[std::size_t(k)] * tilt * tilt : 0.0f;
            fft_->spectrum[k][1] = 0;
        }
        fftwf_execute(fft_->backward);
        const float* r = fft_->acf;
        const float r0 = r[0];
        // The strongest period, but a shorter one within 10 % of it wins: multiples of the
        // period score as high as the period itself.
        auto peak = [&](int minLag, int maxLag, float* lagOut) {
            float best = 0;
            for (int lag = minLag; lag <= maxLag; ++lag) {
                if (r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1])
                    best = std::max(best, r[lag] / r0 / std::max(windowAcf_[std::size_t(lag)], 0.05f));
            }
            int chosen = 0;
            for (int lag = minLag; lag <= maxLag && best > 0; ++lag) {
                if (r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1] &&
                    r[lag] / r0 / std::max(windowAcf_[std::size_t(lag)], 0.05f) >= 0.9f * best) {
                    chosen = lag;
                    break;
                }
            }
            if (lagOut)
                *lagOut = float(chosen);
            return std::clamp(best, 0.0f, 1.0f);
        };
        if (r0 > 0) {
            float lag = 0;
            f.voicing = peak(kAnalysisRate / 400, kAnalysisRate / 60, &lag);
            f.pitchHz = lag > 0 ? kAnalysisRate / lag : 0.0f;
            f.lowPeriodicity = peak(kAnalysisRate / 60, kAnalysisRate / 25, nullptr);
        }
    }
    ++framesSeen_;
    return f;
}

} // namespace mirl::classifier
