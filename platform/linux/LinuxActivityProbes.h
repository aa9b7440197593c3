#pragma once

#include "platform/ActivityProbes.h"
#include "platform/linux/ProbeSources.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace mirl {

/// The activity probes on Linux: each probe asks its sources in order and takes the first answer
/// (idle: the X server unless the session is Wayland's, GNOME's and KDE's D-Bus idle monitors,
/// then the compositor's ext-idle-notify-v1 in a Wayland session)
/// (idle seconds, light) or the OR of all (media playback). Every failure gives the neutral
/// answer: no idle time (unknown, which callers read as neither input nor inactivity), no media
/// playback, no lux. Each D-Bus call waits at most 250 ms.
///
/// Thread rule: idleSeconds() is safe from any thread; the other probes are called on the main
/// thread.
class LinuxActivityProbes final : public ActivityProbes {
public:
    struct Options {
        /// Where the IIO devices live (a fake tree in tests).
        std::filesystem::path iioRoot = "/sys/bus/iio/devices";
        /// Our own application id, whose desktop inhibitions never count.
        std::string ownAppId = "mirl";
        /// Whether the X server's idle time means anything here: false in a Wayland session,
        /// where XWayland sees only X clients. Taken from the session's environment by default.
        bool useX11 = !isWaylandSession();
    };

    LinuxActivityProbes() : LinuxActivityProbes(Options{}) {}
    explicit LinuxActivityProbes(Options options);
    /// Probes over the given sources, in order (tests, and the doctor's view of one source).
    LinuxActivityProbes(std::vector<std::unique_ptr<IdleSource>> idle,
                        std::vector<std::unique_ptr<InhibitorSource>> inhibitors,
                        std::vector<std::unique_ptr<LightSource>> light);
    ~LinuxActivityProbes() override;

    std::optional<double> idleSeconds() override {
        auto reading = readIdle();
        return reading.source.empty() ? std::nullopt : std::optional(reading.seconds);
    }
    bool isMediaPlaybackActive() override { return readMedia().active; }
    std::optional<double> readAmbientLux() override { return readLight().lux; }

    struct IdleReading {
        double seconds = 0;
        std::string source; // empty: no source answered
    };
    struct MediaReading {
        bool active = false;
        std::vector<MediaInhibitor> inhibitors;
        std::vector<std::string> answered;   // sources that answered
        std::vector<std::string> unanswered; // sources that did not
    };
    struct LightReading {
        std::optional<double> lux;
        std::string source;
    };

    IdleReading readIdle();
    MediaReading readMedia();
    LightReading readLight();

    /// True when the session is a Wayland one (WAYLAND_DISPLAY or XDG_SESSION_TYPE=wayland).
    static bool isWaylandSession();

private:
    std::vector<std::unique_ptr<IdleSource>> idle_;
    std::vector<std::unique_ptr<InhibitorSource>> inhibitors_;
    std::vector<std::unique_ptr<LightSource>> light_;
};

} // namespace mirl
