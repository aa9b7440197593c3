#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace mirl::classifier {

/// Streaming band-limited resampler (windowed-sinc, polyphase) from any integer rate to a
/// fixed output rate. The kernel's cut-off sits below the lower of the two Nyquist
/// frequencies, so 48 kHz -> 16 kHz does not alias. Output sample n lies at input time
/// n * inRate / outRate exactly (no delay): the stream's time line is preserved.
class Resampler {
public:
    Resampler(int inRate, int outRate);

    /// Appends the output that the input so far determines to out.
    void push(std::span<const float> input, std::vector<float>& out);

    int inRate() const { return inRate_; }
    int outRate() const { return outRate_; }
    /// Input samples needed beyond an output sample's time before it can be produced.
    int lookahead() const { return half_; }

private:
    int inRate_;
    int outRate_;
    int half_ = 0;               // taps on each side of the centre, in input samples
    int taps_ = 0;               // 2 * half_
    int phases_ = 1;             // rows of the coefficient table
    std::vector<float> table_;   // phases_ rows of taps_ coefficients
    std::vector<float> history_; // input samples from absolute index historyStart_
    std::int64_t historyStart_ = 0;
    int step_ = 1;          // inRate / gcd
    int den_ = 1;           // outRate / gcd
    std::int64_t base_ = 0; // input index at or before the next output's time
    int rem_ = 0;           // and the rest of that time, in 1/den_ input samples
};

} // namespace mirl::classifier
