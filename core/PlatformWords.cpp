#include "core/PlatformWords.h"

#include <array>
#include <utility>

namespace mirl {

namespace {

// Longer phrases first, so that a phrase wins over the word inside it.
constexpr std::array<std::pair<std::string_view, std::string_view>, 15> kLinuxWords{{
    // There is no Dock: its icon stands for a main window and a taskbar entry at launch.
    {"Show the Dock icon", "Show the main window at launch"},
    {"menu bar icon", "tray icon"},
    {"the macOS Voice Isolation filter", "the system's voice processing"},
    {"selected in macOS", "selected in the system settings"},
    {"Mirl: pmset failed: ", "Mirl: suspend failed: "},
    {"(SoundAnalysis)", "(sound classifier)"},
    {"(NSWindow)", "(window)"},
    {"Night Shift", "Night light"},
    {"this Mac", "this computer"},
    {"your Mac", "your computer"},
    {"This Mac", "This computer"},
    {"the Mac", "the computer"},
    {"The Mac", "The computer"},
    {"the macOS", "the system"},
    {"macOS", "the system"},
}};

} // namespace

std::string platformText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        bool replaced = false;
        for (const auto& [from, to] : kLinuxWords) {
            if (text.substr(i, from.size()) == from) {
                out += to;
                i += from.size();
                replaced = true;
                break;
            }
        }
        if (!replaced)
            out += text[i++];
    }
    return out;
}

} // namespace mirl
