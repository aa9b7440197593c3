#pragma once

#include <functional>
#include <utility>

namespace mirl {

/// Owns one cancellable registration (a timer, a subscription). Destroying or
/// reassigning the handle cancels it; cancel() is idempotent. Move-only.
class Handle {
public:
    Handle() = default;
    explicit Handle(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
    Handle(Handle&& other) noexcept : cancel_(std::exchange(other.cancel_, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            cancel();
            cancel_ = std::exchange(other.cancel_, nullptr);
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { cancel(); }

    void cancel() {
        if (auto c = std::exchange(cancel_, nullptr))
            c();
    }
    /// Gives up ownership: the registration stays in force for good (a one-shot task that
    /// must run even if its creator goes away).
    void release() { cancel_ = nullptr; }
    /// True until cancel() (or destruction). A one-shot timer that already ran stays "active"
    /// here; components track their own state.
    bool active() const { return static_cast<bool>(cancel_); }

private:
    std::function<void()> cancel_;
};

} // namespace mirl
