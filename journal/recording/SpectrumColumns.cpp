#include "journal/recording/SpectrumColumns.h"

#include "journal/recording/RecordingAnalysis.h"
#include "runtime/FftwPlanLock.h"

#include <fftw3.h>

#include <cmath>
#include <mutex>
#include <numbers>

namespace mirl::recording {

struct SpectrumColumns::Fft {
    float* in = nullptr;
    fftwf_complex* out = nullptr;
    fftwf_plan plan = nullptr;
};

SpectrumColumns::SpectrumColumns() : fft_(new Fft), window_(kFrameLength) {
    for (std::int64_t n = 0; n < kFrameLength; ++n)
        window_[static_cast<std::size_t>(n)] =
            static_cast<float>(0.5 * (1 - std::cos(2 * std::numbers::pi * static_cast<double>(n) /
                                                   static_cast<double>(kFrameLength))));
    fft_->in = fftwf_alloc_real(kFrameLength);
    fft_->out = fftwf_alloc_complex(kFrameLength / 2 + 1);
    std::lock_guard lock(fftwPlanLock());
    fft_->plan = fftwf_plan_dft_r2c_1d(static_cast<int>(kFrameLength), fft_->in, fft_->out, FFTW_ESTIMATE);
}

SpectrumColumns::~SpectrumColumns() {
    {
        std::lock_guard lock(fftwPlanLock());
        fftwf_destroy_plan(fft_->plan);
    }
    fftwf_free(fft_->in);
    fftwf_free(fft_->out);
    delete fft_;
}

void SpectrumColumns::append(std::span<const float> frame, std::vector<float>& columns) {
    for (std::size_t n = 0; n < window_.size(); ++n)
        fft_->in[n] = frame[n] * window_[n];
    fftwf_execute(fft_->plan);
    constexpr float scale = 1.0f / 1024.0f;
    const auto* out = fft_->out;
    columns.push_back(std::hypot(out[0][0], out[kSpectrumBins][0]) * scale);
    for (int k = 1; k < kSpectrumBins; ++k)
        columns.push_back(std::hypot(out[k][0], out[k][1]) * scale);
}

} // namespace mirl::recording
