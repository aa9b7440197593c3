#include "journal/recording/RecordingAnalysis.h"

#include "journal/recording/SpectrumColumns.h"

#include <algorithm>
#include <cmath>

namespace mirl {

namespace recording {

std::int64_t hopFrames(std::int64_t lengthFrames) {
    return std::max<std::int64_t>(kFrameLength, lengthFrames / kMaxFrames);
}

std::int64_t frameCount(std::int64_t lengthFrames) {
    return (lengthFrames - kFrameLength) / hopFrames(lengthFrames) + 1; // C++ truncates toward zero
}

std::array<std::uint8_t, 3> spectrogramColour(std::uint8_t intensity) {
    struct Stop {
        double t, r, g, b;
    };
    static constexpr Stop stops[] = {{0.00, 0.001, 0.000, 0.014},
                                     {0.25, 0.232, 0.066, 0.354},
                                     {0.50, 0.553, 0.156, 0.444},
                                     {0.75, 0.890, 0.376, 0.366},
                                     {1.00, 0.988, 0.851, 0.625}};
    const double t = intensity / 255.0;
    std::size_t upper = 1;
    while (upper + 1 < std::size(stops) && t > stops[upper].t) // a t on a stop belongs below it
        ++upper;
    const Stop& lo = stops[upper - 1];
    const Stop& hi = stops[upper];
    const double f = (t - lo.t) / std::max(hi.t - lo.t, 0.0001);
    auto channel = [f](double a, double b) {
        return static_cast<std::uint8_t>(std::clamp(a + (b - a) * f, 0.0, 1.0) * 255.0);
    };
    return {channel(lo.r, hi.r), channel(lo.g, hi.g), channel(lo.b, hi.b)};
}

} // namespace recording

namespace {

using namespace recording;

constexpr double kMagnitudeFloor = 1e-9;
constexpr double kRangeDb = 50;

std::shared_ptr<const RgbaImage> paint(const std::vector<float>& columns, std::size_t columnCount) {
    // The reference is the 95th percentile of every magnitude (nth_element finds the value that
    // a full ascending sort would put there).
    std::vector<float> sorted = columns;
    const std::size_t at =
        std::min(sorted.size() - 1, static_cast<std::size_t>(std::floor(0.95 * sorted.size())));
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(at), sorted.end());
    const double reference = sorted[at];
    if (!(reference > kMagnitudeFloor))
        return nullptr; // silence
    const double floorDb = 20 * std::log10(reference) - kRangeDb;

    std::array<std::array<std::uint8_t, 3>, 256> palette;
    for (int i = 0; i < 256; ++i)
        palette[static_cast<std::size_t>(i)] = spectrogramColour(static_cast<std::uint8_t>(i));

    auto image = std::make_shared<RgbaImage>();
    image->width = static_cast<int>(columnCount);
    image->height = kSpectrumBins;
    image->pixels.resize(columnCount * kSpectrumBins * 4);
    for (std::size_t x = 0; x < columnCount; ++x) {
        for (int bin = 0; bin < kSpectrumBins; ++bin) {
            const double m =
                std::max<double>(columns[x * kSpectrumBins + static_cast<std::size_t>(bin)], kMagnitudeFloor);
            const double level = std::clamp((20 * std::log10(m) - floorDb) / kRangeDb, 0.0, 1.0);
            const auto& rgb = palette[static_cast<std::size_t>(std::floor(255 * level))];
            const std::size_t row =
                static_cast<std::size_t>(kSpectrumBins - 1 - bin); // low frequencies at the bottom
            std::uint8_t* pixel = &image->pixels[(row * columnCount + x) * 4];
            pixel[0] = rgb[0];
            pixel[1] = rgb[1];
            pixel[2] = rgb[2];
            pixel[3] = 255;
        }
    }
    return image;
}

} // namespace

RecordingPictures analyzeRecording(AudioFileReader& reader, const std::atomic<bool>* cancelled) {
    RecordingPictures result;
    const std::int64_t length = reader.lengthFrames();
    const double rate = reader.sampleRate();
    if (length <= 0 || !(rate > 0))
        return result;
    result.durationSeconds = static_cast<double>(length) / rate;

    const std::int64_t hop = hopFrames(length);
    const std::int64_t frames = frameCount(length);
    SpectrumColumns spectra;
    std::vector<float> columns;
    columns.reserve(static_cast<std::size_t>(std::max<std::int64_t>(frames, 0)) * kSpectrumBins);
    std::size_t columnCount = 0;
    for (std::int64_t i = 0; i < frames; ++i) {
        if (cancelled && cancelled->load(std::memory_order_relaxed))
            break;
        const std::int64_t position = i * hop;
        if (position + kFrameLength > length)
            break;
        std::vector<float> x = reader.read(position, static_cast<std::size_t>(kFrameLength));
        if (x.empty())
            break; // a failed read (or the real end of a file shorter than it said)
        if (static_cast<std::int64_t>(x.size()) < kFrameLength)
            continue;
        double energy = 0;
        for (float& v : x) {
            if (!std::isfinite(v))
                v = 0; // a decoder's garbage must not poison the percentile
            energy += static_cast<double>(v) * v;
        }
        result.peaks.push_back(static_cast<float>(std::sqrt(energy / static_cast<double>(kFrameLength))));
        spectra.append(x, columns);
        ++columnCount;
    }
    if (columnCount > 0)
        result.spectrogram = paint(columns, columnCount);
    return result;
}

} // namespace mirl
