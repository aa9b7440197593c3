#include "platform/linux/LinuxActivityProbes.h"

#include "platform/linux/DBusIdleSources.h"
#include "platform/linux/InhibitorSources.h"
#include "platform/linux/LightSources.h"
#include "platform/linux/WaylandIdleSource.h"
#include "platform/linux/X11IdleSource.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace mirl {

LinuxActivityProbes::LinuxActivityProbes(Options options) {
    if (options.useX11)
        idle_.push_back(std::make_unique<X11IdleSource>());
    idle_.push_back(std::make_unique<GnomeIdleSource>());
    idle_.push_back(std::make_unique<KdeIdleSource>());
    if (isWaylandSession())
        idle_.push_back(std::make_unique<WaylandIdleSource>());

    inhibitors_.push_back(std::make_unique<LogindInhibitors>(getpid()));
    inhibitors_.push_back(std::make_unique<GnomeSessionInhibitors>(options.ownAppId));
    inhibitors_.push_back(std::make_unique<KdeInhibitions>(options.ownAppId));

    light_.push_back(std::make_unique<SensorProxyLight>());
    light_.push_back(std::make_unique<SysfsLight>(options.iioRoot));
}

LinuxActivityProbes::LinuxActivityProbes(std::vector<std::unique_ptr<IdleSource>> idle,
                                         std::vector<std::unique_ptr<InhibitorSource>> inhibitors,
                                         std::vector<std::unique_ptr<LightSource>> light)
    : idle_(std::move(idle)), inhibitors_(std::move(inhibitors)), light_(std::move(light)) {}

LinuxActivityProbes::~LinuxActivityProbes() = default;

bool LinuxActivityProbes::isWaylandSession() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return (wayland && *wayland) || (type && std::strcmp(type, "wayland") == 0);
}

LinuxActivityProbes::IdleReading LinuxActivityProbes::readIdle() {
    for (const auto& source : idle_)
        if (auto seconds = source->idleSeconds())
            return {*seconds, source->name()};
    return {};
}

LinuxActivityProbes::MediaReading LinuxActivityProbes::readMedia() {
    MediaReading reading;
    for (const auto& source : inhibitors_) {
        auto found = source->displayInhibitors();
        if (!found) {
            reading.unanswered.push_back(source->name());
            continue;
        }
        reading.answered.push_back(source->name());
        for (auto& inhibitor : *found)
            reading.inhibitors.push_back(std::move(inhibitor));
    }
    reading.active = !reading.inhibitors.empty();
    return reading;
}

LinuxActivityProbes::LightReading LinuxActivityProbes::readLight() {
    for (const auto& source : light_)
        if (auto lux = source->lux())
            return {lux, source->name()};
    return {};
}

} // namespace mirl
