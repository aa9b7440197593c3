#include "platform/linux/WaylandIdleSource.h"

#include "wayland/ext-idle-notify-v1-client-protocol.h"

#include <wayland-client.h>

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace mirl {

namespace {

void globalAdded(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                 std::uint32_t version) {
    static_cast<WaylandIdleSource*>(data)->onGlobal(registry, name, interface, version);
}

void globalRemoved(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener kRegistryListener{globalAdded, globalRemoved};

void idled(void* data, ext_idle_notification_v1*) {
    static_cast<WaylandIdleSource*>(data)->onIdled();
}

void resumed(void* data, ext_idle_notification_v1*) {
    static_cast<WaylandIdleSource*>(data)->onResumed();
}

const ext_idle_notification_v1_listener kNotificationListener{idled, resumed};

} // namespace

WaylandIdleSource::WaylandIdleSource(std::optional<std::string> displayName, const Clock* clock)
    : clock_(clock ? *clock : systemClock_) {
    if (!displayName) {
        const char* env = std::getenv("WAYLAND_DISPLAY");
        if (!env || !*env)
            return;
    }
    display_ = wl_display_connect(displayName ? displayName->c_str() : nullptr);
    if (!display_)
        return;
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistryListener, this);
    if (wl_display_roundtrip(display_) < 0 || !seat_ || !notifier_) {
        close();
        return;
    }
    notification_ = ext_idle_notifier_v1_get_idle_notification(
        notifier_, static_cast<std::uint32_t>(std::lround(kThresholdSeconds * 1000)), seat_);
    ext_idle_notification_v1_add_listener(notification_, &kNotificationListener, this);
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wl_display_flush(display_) < 0 || wakeFd_ < 0) {
        close();
        return;
    }
    {
        std::lock_guard lock(mutex_);
        counter_.watching(clock_.now());
    }
    thread_ = std::thread([this] { serve(); });
}

WaylandIdleSource::~WaylandIdleSource() {
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
        thread_.join();
    }
    close();
}

void WaylandIdleSource::onGlobal(wl_registry* registry, std::uint32_t name, const char* interface,
                                 std::uint32_t) {
    if (!seat_ && std::strcmp(interface, wl_seat_interface.name) == 0)
        seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (!notifier_ && std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0)
        notifier_ = static_cast<ext_idle_notifier_v1*>(
            wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
}

void WaylandIdleSource::onIdled() {
    std::lock_guard lock(mutex_);
    counter_.idled(clock_.now());
}

void WaylandIdleSource::onResumed() {
    std::lock_guard lock(mutex_);
    counter_.resumed(clock_.now());
}

std::optional<double> WaylandIdleSource::idleSeconds() {
    std::lock_guard lock(mutex_);
    return counter_.idleSeconds(clock_.now());
}

void WaylandIdleSource::serve() {
    pthread_setname_np(pthread_self(), "Mirl.Wayland");
    for (;;) {
        if (wl_display_prepare_read(display_) != 0) {
            if (wl_display_dispatch_pending(display_) < 0)
                break;
            continue;
        }
        wl_display_flush(display_);
        pollfd fds[2] = {{wl_display_get_fd(display_), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const int ready = ::poll(fds, 2, -1);
        if (ready > 0 && (fds[0].revents & POLLIN)) {
            if (wl_display_read_events(display_) < 0)
                break;
        } else {
            wl_display_cancel_read(display_);
        }
        if (ready < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN)
            return; // asked to stop
        if ((fds[0].revents & (POLLERR | POLLHUP)) || wl_display_dispatch_pending(display_) < 0)
            break;
    }
    // The compositor went away: from now on nothing is known.
    std::lock_guard lock(mutex_);
    counter_.lost();
}

void WaylandIdleSource::close() {
    if (notification_)
        ext_idle_notification_v1_destroy(notification_);
    if (notifier_)
        ext_idle_notifier_v1_destroy(notifier_);
    if (seat_)
        wl_seat_destroy(seat_);
    if (registry_)
        wl_registry_destroy(registry_);
    if (display_)
        wl_display_disconnect(display_);
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
    notification_ = nullptr;
    notifier_ = nullptr;
    seat_ = nullptr;
    registry_ = nullptr;
    display_ = nullptr;
    wakeFd_ = -1;
}

} // namespace mirl
