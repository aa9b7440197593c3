#include "platform/ConcatenatedAudioFileReader.h"

#include <algorithm>
#include <cmath>

namespace mirl {

OpenedAudioFile ConcatenatedAudioFileReader::open(const std::vector<std::filesystem::path>& files,
                                                  const Opener& open) {
    if (files.empty())
        return {nullptr, "no file to open"};
    std::vector<std::unique_ptr<AudioFileReader>> readers;
    for (const auto& file : files) {
        OpenedAudioFile opened = open(file);
        if (!opened.reader) {
            if (readers.empty())
                return opened;
            continue;
        }
        readers.push_back(std::move(opened.reader));
    }
    if (readers.size() == 1)
        return {std::move(readers.front()), {}};
    return {std::make_unique<ConcatenatedAudioFileReader>(std::move(readers)), {}};
}

ConcatenatedAudioFileReader::ConcatenatedAudioFileReader(
    std::vector<std::unique_ptr<AudioFileReader>> readers) {
    std::int64_t start = 0;
    const double firstRate = readers.empty() ? 0 : readers.front()->sampleRate();
    for (auto& reader : readers) {
        Part part;
        part.ratio = firstRate > 0 && reader->sampleRate() > 0 ? reader->sampleRate() / firstRate : 1;
        part.start = start;
        part.length =
            std::max<std::int64_t>(0, static_cast<std::int64_t>(std::llround(
                                          static_cast<double>(reader->lengthFrames()) / part.ratio)));
        part.reader = std::move(reader);
        start += part.length;
        parts_.push_back(std::move(part));
    }
}

double ConcatenatedAudioFileReader::sampleRate() const {
    return parts_.empty() ? 0 : parts_.front().reader->sampleRate();
}

int ConcatenatedAudioFileReader::channels() const {
    return parts_.empty() ? 0 : parts_.front().reader->channels();
}

std::int64_t ConcatenatedAudioFileReader::lengthFrames() const {
    return parts_.empty() ? 0 : parts_.back().start + parts_.back().length;
}

std::vector<float> ConcatenatedAudioFileReader::read(std::int64_t position, std::size_t frames) {
    std::vector<float> out;
    if (position < 0)
        return out;
    for (const auto& part : parts_) {
        if (out.size() >= frames)
            break;
        const std::int64_t end = part.start + part.length;
        if (position >= end)
            continue;
        const std::int64_t offset = position - part.start;
        const std::size_t wanted =
            std::min<std::size_t>(frames - out.size(), static_cast<std::size_t>(end - position));
        const auto local = static_cast<std::int64_t>(std::llround(static_cast<double>(offset) * part.ratio));
        const std::vector<float> got = part.reader->read(local, wanted);
        out.insert(out.end(), got.begin(), got.end());
        if (got.size() < wanted)
            break; // the part ended early: no gap is bridged
        position = end;
    }
    return out;
}

} // namespace mirl
