#include "app/sim/SimRecorder.h"

#include <stdexcept>

namespace mirl::sim {

SimRecorder::SimRecorder(const Clock& clock, TimePoint start, std::filesystem::path scratchFolder)
    : clock_(clock), start_(start), folder_(std::move(scratchFolder)) {}

SimRecorder::~SimRecorder() {
    for (auto& [name, channel] : channels_)
        if (channel.file)
            std::fclose(channel.file);
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
}

double SimRecorder::elapsed() const {
    return secondsBetween(start_, clock_.now());
}

void SimRecorder::add(std::string_view channel, nlohmann::json entry) {
    auto it = channels_.find(channel);
    if (it == channels_.end()) {
        std::filesystem::create_directories(folder_);
        const auto file = folder_ / (std::string(channel) + ".part");
        Channel fresh;
        fresh.file = std::fopen(file.c_str(), "w+");
        if (!fresh.file)
            throw std::runtime_error("cannot write " + file.string());
        it = channels_.emplace(std::string(channel), fresh).first;
    }
    entry["t"] = elapsed();
    const std::string text = entry.dump();
    std::fputs(text.c_str(), it->second.file);
    std::fputc('\n', it->second.file);
    ++it->second.entries;
}

std::size_t SimRecorder::count(std::string_view channel) const {
    auto it = channels_.find(channel);
    return it == channels_.end() ? 0 : it->second.entries;
}

void SimRecorder::writeChannels(std::ostream& out, const std::string& indent) {
    bool firstChannel = true;
    for (auto& [name, channel] : channels_) {
        out << (firstChannel ? "" : ",\n") << indent << nlohmann::json(name).dump() << ": [";
        firstChannel = false;
        std::fflush(channel.file);
        std::rewind(channel.file);
        char buffer[4096];
        bool firstEntry = true;
        bool lineStart = true;
        while (std::fgets(buffer, sizeof buffer, channel.file)) {
            std::string_view chunk(buffer);
            const bool lineEnd = !chunk.empty() && chunk.back() == '\n';
            if (lineEnd)
                chunk.remove_suffix(1);
            if (lineStart) {
                out << (firstEntry ? "\n" : ",\n") << indent << "  ";
                firstEntry = false;
            }
            out << chunk;
            lineStart = lineEnd;
        }
        std::fseek(channel.file, 0, SEEK_END);
        out << (firstEntry ? "]" : "\n" + indent + "]");
    }
}

} // namespace mirl::sim
