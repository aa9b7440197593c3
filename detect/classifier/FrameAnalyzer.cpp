#include "detect/classifier/FrameAnalyzer.h"

#include "detect/classifier/FastLog.h"
#include "runtime/FftwPlanLock.h"

#include <fftw3.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

namespace mirl::classifier {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr int kBins = kFftSize / 2 + 1;
constexpr float kBinHz = float(kAnalysisRate) / kFftSize;
constexpr float kTiny = 1e-10f; // kSilenceFloorDb: digital silence is one level, not a range

int binOf(float hz) {
    return std::clamp(int(std::lround(hz / kBinHz)), 0, kBins - 1);
}

float toDb(double power) {
    return fastPowerDb(float(power) + kTiny);
}

// Sum of squares of (x[i] - mean), in eight independent float sums so that it vectorises.
float sumSquares(const float* x, int n, float mean) {
    float part[8] = {};
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        for (int j = 0; j < 8; ++j) {
            const float d = x[i + j] - mean;
            part[j] += d * d;
        }
    }
    float sum = 0;
    for (; i < n; ++i)
        sum += (x[i] - mean) * (x[i] - mean);
    for (float v : part)
        sum += v;
    return sum;
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
        backward = fftwf_plan_dft_c2r_1d(kFftSize / 2, spectrum, acf, FFTW_ESTIMATE); // bins below 4 kHz
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
    for (int lag = 0; lag < kFrameLength; ++lag)
        windowAcfInverse_.push_back(1.0f / std::max(windowAcf_[std::size_t(lag)], 0.05f));
    windowPower_ = zero;
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

    float part[8] = {};
    for (int i = 0; i < kFrameLength; i += 8) {
        for (int j = 0; j < 8; ++j)
            part[j] += frame[std::size_t(i + j)];
    }
    float mean = 0;
    for (float v : part)
        mean += v;
    mean /= kFrameLength;
    f.energyDb = toDb(sumSquares(frame.data(), kFrameLength, mean) / kFrameLength);

    // Energy of the four 7.5 ms blocks at the frame's centre: the blocks of successive frames
    // tile the stream, which gives the transient analysis a 133 Hz envelope.
    const int centre = (kFrameLength - kHop) / 2;
    const int block = kHop / kSubBlocks;
    for (int b = 0; b < kSubBlocks; ++b)
        f.subDb[std::size_t(b)] = toDb(sumSquares(frame.data() + centre + b * block, block, mean) / block);

    float* in = fft_->in;
    for (int i = 0; i < kFrameLength; ++i)
        in[i] = (frame[std::size_t(i)] - mean) * window_[std::size_t(i)];
    std::fill(in + kFrameLength, in + kFftSize, 0.0f);
    fftwf_execute(fft_->forward);

    // Scaled so that the bins sum to the frame's mean square.
    const float scale = float(2.0 / (double(kFftSize) * windowPower_));
    const float* spectrum = &fft_->spectrum[0][0];
    for (int k = 0; k < kBins; ++k) {
        const float re = spectrum[2 * k], im = spectrum[2 * k + 1];
        power_[std::size_t(k)] = (re * re + im * im) * scale;
    }
    float total = 0;
    for (float v : power_)
        total += v;

    // Bands.
    for (int b = 0; b < kBandCount; ++b) {
        const int lo = binOf(kBandEdgesHz[std::size_t(b)]);
        const int hi = b + 1 == kBandCount ? kBins : binOf(kBandEdgesHz[std::size_t(b) + 1]);
        double sum = 0;
        for (int k = std::max(lo, 1); k < hi; ++k)
            sum += power_[std::size_t(k)];
        f.bandDb[std::size_t(b)] = toDb(sum);
    }

    // Flatness and centroid in the speech band, slope over its octaves: what a band-limited
    // source still carries.
    {
        const int lo = binOf(kBandEdgesHz[kSpeechBandFirst]), hi = binOf(kBandEdgesHz[kSpeechBandLast + 1]);
        double logSum = 0, sum = 0;
        for (int k = lo; k < hi; ++k) {
            const float p = power_[std::size_t(k)] + kTiny;
            logSum += fastLog2(p);
            sum += p;
        }
        const int n = hi - lo;
        f.flatness = float(std::clamp(std::exp2(logSum / n) / (sum / n), 0.0, 1.0));
        double weighted = 0, all = 0;
        for (int k = 1; k < hi; ++k) {
            weighted += double(k) * kBinHz * power_[std::size_t(k)];
            all += power_[std::size_t(k)];
        }
        f.centroidHz = all > 0 ? float(weighted / all) : 0.0f;
    }
    {
        double sx = 0, sy = 0, sxx = 0, sxy = 0;
        int n = 0;
        for (int b = kSpeechBandFirst; b <= kSpeechBandLast; ++b) {
            const double lo = kBandEdgesHz[std::size_t(b)], hi = kBandEdgesHz[std::size_t(b) + 1];
            const double y = f.bandDb[std::size_t(b)] - 10.0 * std::log10(hi - lo);
            const double x = 0.5 * std::log2(lo * hi); // octaves of the band's centre
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
        for (int b = 0; b <= kSpeechBandLast; ++b)
            rise += std::max(0.0f, f.bandDb[std::size_t(b)] - previousBands_[std::size_t(b)]);
        f.fluxDb = float(rise / (kSpeechBandLast + 1));
    }
    previousBands_ = f.bandDb;

    // Fine spectral structure 94-4000 Hz (log spectrum in pairs of bins, 15.6 Hz, minus its
    // local mean), and how much of it survives from two frames (60 ms) back: high for held
    // notes, about 0 for noise.
    {
        const int dLo = binOf(94) / 2, dHi = binOf(4000) / 2;
        std::rotate(std::begin(detail_), std::begin(detail_) + 1,
                    std::end(detail_)); // oldest slot becomes now
        std::vector<float>& now = detail_[2];
        std::vector<float>& logs = scratch_;
        for (int k = dLo; k < dHi; ++k)
            logs[std::size_t(k)] =
                fastPowerDb(power_[std::size_t(2 * k)] + power_[std::size_t(2 * k + 1)] + kTiny);
        smooth(logs, dLo, dHi, 4, now);
        for (int k = dLo; k < dHi; ++k)
            now[std::size_t(k)] = logs[std::size_t(k)] - now[std::size_t(k)];
        if (framesSeen_ >= 2) {
            const std::vector<float>& old = detail_[0];
            float sab = 0, saa = 0, sbb = 0;
            for (int k = dLo; k < dHi; ++k) {
                sab += now[std::size_t(k)] * old[std::size_t(k)];
                saa += now[std::size_t(k)] * now[std::size_t(k)];
                sbb += old[std::size_t(k)] * old[std::size_t(k)];
            }
            f.detailCorrelation = saa > 1e-9f && sbb > 1e-9f ? sab / std::sqrt(saa * sbb) : 0.0f;
        }
    }

    // Voicing: autocorrelation of the frame below 4 kHz, lows tilted down (so that rumble does
    // not dominate), corrected for the window; only local maxima count as periods. The bins
    // below 4 kHz make the autocorrelation at 8 kHz (every other lag of the 16 kHz one); the
    // chosen peak is refined between lags by a parabola.
    if (total > 1e-11) {
        constexpr int kAcfBins = kBins / 2 + 1; // 0..4000 Hz
        constexpr int kAcfRate = kAnalysisRate / 2;
        for (int k = 0; k < kAcfBins; ++k) {
            const float tilt = std::min(1.0f, float(k) * kBinHz / 500.0f);
            fft_->spectrum[k][0] = k + 1 < kAcfBins ? power_[std::size_t(k)] * tilt * tilt : 0.0f;
            fft_->spectrum[k][1] = 0;
        }
        fftwf_execute(fft_->backward);
        const float* r = fft_->acf;
        const float r0 = r[0];
        const float invR0 = r0 > 0 ? 1.0f / r0 : 0.0f;
        auto normalised = [&](int lag) { return r[lag] * invR0 * windowAcfInverse_[std::size_t(2 * lag)]; };
        // The strongest period, but a shorter one within 10 % of it wins: multiples of the
        // period score as high as the period itself.
        auto peak = [&](int minLag, int maxLag, float* lagOut) {
            std::array<std::pair<int, float>, 192> peaks; // local maxima, shortest lag first
            std::size_t count = 0;
            float best = 0;
            for (int lag = minLag; lag <= maxLag && count < peaks.size(); ++lag) {
                if (r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
                    peaks[count++] = {lag, normalised(lag)};
                    best = std::max(best, peaks[count - 1].second);
                }
            }
            int chosen = 0;
            for (std::size_t i = 0; i < count && best > 0; ++i) {
                if (peaks[i].second >= 0.9f * best) {
                    chosen = peaks[i].first;
                    break;
                }
            }
            float height = best;
            if (chosen > 0) {
                const float a = normalised(chosen - 1), b = normalised(chosen), c = normalised(chosen + 1);
                const float curve = a - 2 * b + c;
                const float delta = curve < 0 ? std::clamp(0.5f * (a - c) / curve, -0.5f, 0.5f) : 0.0f;
                height = std::max(best, b - 0.25f * (a - c) * delta);
                if (lagOut)
                    *lagOut = float(chosen) + delta;
            } else if (lagOut) {
                *lagOut = 0;
            }
            return std::clamp(height, 0.0f, 1.0f);
        };
        if (r0 > 0) {
            float lag = 0;
            f.voicing = peak(kAcfRate / 400, kAcfRate / 60, &lag);
            f.pitchHz = lag > 0 ? kAcfRate / lag : 0.0f;
            f.lowPeriodicity = peak(kAcfRate / 60, kAcfRate / 25, nullptr);
        }
    }
    ++framesSeen_;
    return f;
}

} // namespace mirl::classifier
