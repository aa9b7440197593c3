#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace mirl::recording {

/// Magnitude spectra of 2048-sample frames: Hann window, real FFT (FFTW), magnitudes of bins
/// 0..1023 scaled to |X_k| / 1024 (bin 0 folds in the Nyquist term). One plan and one buffer
/// serve every frame.
/// Thread rule: one thread at a time.
class SpectrumColumns {
public:
    SpectrumColumns();
    ~SpectrumColumns();
    SpectrumColumns(const SpectrumColumns&) = delete;
    SpectrumColumns& operator=(const SpectrumColumns&) = delete;

    /// Appends the 1024 magnitudes of one frame of exactly 2048 samples to `columns`.
    void append(std::span<const float> frame, std::vector<float>& columns);

private:
    struct Fft;
    Fft* fft_;
    std::vector<float> window_;
};

} // namespace mirl::recording
