#pragma once

#include "platform/linux/IdleEdgeCounter.h"
#include "platform/linux/ProbeSources.h"
#include "runtime/Clock.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

struct wl_display;
struct wl_registry;
struct wl_seat;
struct ext_idle_notifier_v1;
struct ext_idle_notification_v1;

namespace mirl {

/// Idle time in a Wayland session from the compositor's ext-idle-notify-v1: one notification
/// with a one-second timeout, whose idled and resumed edges an IdleEdgeCounter turns into
/// seconds. A compositor without the protocol (or no compositor) gives nothing, and so does one
/// that went away. The compositor holds back idled while an application inhibits idling (a
/// video player), so the user then looks active, as the media rule would have it anyway.
///
/// Thread rule: idleSeconds() from any thread. The connection is set up in the constructor and
/// then served by a thread of its own ("Mirl.Wayland"), which the destructor stops.
class WaylandIdleSource final : public IdleSource {
public:
    static constexpr double kThresholdSeconds = 1.0;

    /// Connects to `displayName`, or to WAYLAND_DISPLAY when none is given.
    explicit WaylandIdleSource(std::optional<std::string> displayName = std::nullopt,
                               const Clock* clock = nullptr);
    ~WaylandIdleSource() override;
    WaylandIdleSource(const WaylandIdleSource&) = delete;
    WaylandIdleSource& operator=(const WaylandIdleSource&) = delete;

    std::string name() const override { return "wayland-idle-notify"; }
    std::optional<double> idleSeconds() override;

    /// True when a compositor answered and offers the protocol.
    bool offered() const { return notification_ != nullptr; }

    // Listener entry points (called on the connection's thread).
    void onIdled();
    void onResumed();
    void onGlobal(wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version);

private:
    void serve();
    void close();

    SystemClock systemClock_;
    const Clock& clock_;
    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    ext_idle_notifier_v1* notifier_ = nullptr;
    ext_idle_notification_v1* notification_ = nullptr;
    int wakeFd_ = -1;
    std::thread thread_;
    mutable std::mutex mutex_;
    IdleEdgeCounter counter_{kThresholdSeconds}; // guarded by mutex_
};

} // namespace mirl
