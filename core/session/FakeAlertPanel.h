#pragma once

#include "core/session/AlertPanel.h"

#include <string>
#include <vector>

namespace mirl {

/// A pre-sleep panel that records what it was asked to do, in order: "open", "text sleep in
/// 1:00", "close".
class FakeAlertPanel final : public AlertPanel {
public:
    void open() override {
        ++opens;
        isOpen = true;
        calls.emplace_back("open");
    }
    void setCountdownText(const std::string& value) override {
        text = value;
        texts.push_back(value);
        calls.push_back("text " + value);
    }
    void close() override {
        ++closes;
        isOpen = false;
        calls.emplace_back("close");
    }

    bool isOpen = false;
    int opens = 0;
    int closes = 0;
    std::string text;
    std::vector<std::string> texts;
    std::vector<std::string> calls;
};

} // namespace mirl
