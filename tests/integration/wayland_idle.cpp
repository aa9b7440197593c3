// testenv: --wayland
// timeout: 120
// The Wayland idle source against a real compositor offering ext-idle-notify-v1 (KWin, headless):
// the idle time grows once nobody touches anything, and user activity (which KWin's own idle
// protocol lets a client simulate) brings it back to zero. Without a compositor, or with one
// that is gone, the idle time is unknown.

#include "platform/linux/LinuxActivityProbes.h"
#include "platform/linux/WaylandIdleSource.h"
#include "tests/support/DBusMock.h"

#include <wayland-client.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

using namespace mirl;
using namespace std::chrono_literals;

namespace {

// The two requests of KWin's org_kde_kwin_idle protocol that the test needs, described by hand:
// get_idle_timeout(new_id, seat, timeout) and the timeout's simulate_user_activity().
extern const wl_interface kIdleTimeoutInterface;
const wl_interface* kTypes[] = {&kIdleTimeoutInterface, &wl_seat_interface, nullptr};
const wl_message kIdleRequests[] = {{"get_idle_timeout", "nou", kTypes}};
const wl_interface kIdleInterface = {"org_kde_kwin_idle", 1, 1, kIdleRequests, 0, nullptr};
const wl_message kTimeoutRequests[] = {{"release", "", kTypes + 2},
                                       {"simulate_user_activity", "", kTypes + 2}};
const wl_message kTimeoutEvents[] = {{"idle", "", kTypes + 2}, {"resumed", "", kTypes + 2}};
const wl_interface kIdleTimeoutInterface = {
    "org_kde_kwin_idle_timeout", 1, 2, kTimeoutRequests, 2, kTimeoutEvents};

/// A second client of the compositor that makes it believe the user touched the machine.
class ActivityMaker {
public:
    ActivityMaker() {
        display_ = wl_display_connect(nullptr);
        if (!display_)
            return;
        registry_ = wl_display_get_registry(display_);
        static const wl_registry_listener listener{
            [](void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
                auto* self = static_cast<ActivityMaker*>(data);
                if (std::strcmp(interface, "wl_seat") == 0 && !self->seat_)
                    self->seat_ =
                        static_cast<wl_proxy*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
                if (std::strcmp(interface, "org_kde_kwin_idle") == 0 && !self->idle_)
                    self->idle_ =
                        static_cast<wl_proxy*>(wl_registry_bind(registry, name, &kIdleInterface, 1));
            },
            [](void*, wl_registry*, std::uint32_t) {}};
        wl_registry_add_listener(registry_, &listener, this);
        wl_display_roundtrip(display_);
        if (idle_ && seat_)
            timeout_ = wl_proxy_marshal_constructor(idle_, 0, &kIdleTimeoutInterface, nullptr, seat_, 60000u);
        wl_display_roundtrip(display_);
    }
    ~ActivityMaker() {
        if (display_)
            wl_display_disconnect(display_);
    }
    bool ready() const { return timeout_ != nullptr; }
    void touch() {
        wl_proxy_marshal(timeout_, 1);
        wl_display_roundtrip(display_);
    }

private:
    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_proxy* seat_ = nullptr;
    wl_proxy* idle_ = nullptr;
    wl_proxy* timeout_ = nullptr;
};

/// Polls until the source's idle time satisfies `done`, or 10 seconds pass.
template <class F> std::optional<double> waitFor(WaylandIdleSource& source, F done) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    std::optional<double> idle = source.idleSeconds();
    while (!done(idle) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
        idle = source.idleSeconds();
    }
    return idle;
}

} // namespace

TEST(WaylandIdle, CountsIdleTimeFromTheCompositorsEdges) {
    ASSERT_NE(std::getenv("WAYLAND_DISPLAY"), nullptr) << "the test environment gave no compositor";
    WaylandIdleSource source;
    ASSERT_TRUE(source.offered()) << "KWin did not offer ext_idle_notifier_v1";
    EXPECT_EQ(source.name(), "wayland-idle-notify");

    // Nobody touches anything: after the one-second threshold the count runs.
    auto idle = waitFor(source, [](auto v) { return v && *v >= 2.0; });
    ASSERT_TRUE(idle) << "no idled edge came";
    EXPECT_GE(*idle, 2.0);
    EXPECT_LT(*idle, 15.0);

    ActivityMaker user;
    ASSERT_TRUE(user.ready()) << "KWin's org_kde_kwin_idle is not there to simulate input";
    user.touch();
    idle = waitFor(source, [](auto v) { return v && *v < 0.5; });
    ASSERT_TRUE(idle);
    EXPECT_LT(*idle, 0.5) << "the resumed edge did not reset the count";

    // And it grows again.
    idle = waitFor(source, [](auto v) { return v && *v >= 1.5; });
    EXPECT_GE(idle.value_or(0), 1.5);
}

TEST(WaylandIdle, TheProbesUseItWhenNoDesktopServiceAnswers) {
    test::ensureQtCore();
    LinuxActivityProbes::Options options;
    options.useX11 = false;
    ASSERT_TRUE(LinuxActivityProbes::isWaylandSession());
    LinuxActivityProbes probes(options);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    auto reading = probes.readIdle();
    while (reading.source.empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(100ms);
        reading = probes.readIdle();
    }
    EXPECT_EQ(reading.source, "wayland-idle-notify");
    EXPECT_GE(reading.seconds, 0.0);
}

TEST(WaylandIdle, WithoutACompositorTheIdleTimeIsUnknown) {
    WaylandIdleSource nowhere(std::string("mirl-no-such-compositor"));
    EXPECT_FALSE(nowhere.offered());
    EXPECT_EQ(nowhere.idleSeconds(), std::nullopt);
}
