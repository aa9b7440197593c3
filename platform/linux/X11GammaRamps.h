#pragma once

#include "platform/GammaRamps.h"
#include "platform/RestoreState.h"
#include "runtime/Console.h"

#include <memory>
#include <vector>

class QSocketNotifier;
typedef struct _XDisplay Display;

namespace mirl {

/// Gamma ramps of every CRTC through XRandR (XRRGetCrtcGamma / XRRSetCrtcGamma) on a
/// connection of its own. Before the first change the original ramp of each CRTC is read and
/// kept, in memory and in the restore state; every write is original x brightness x white
/// point; when both halves are neutral again the originals go back exactly. After a RandR
/// screen change (a mode switch resets ramps on some drivers) the composition is written
/// again, and a CRTC that appeared meanwhile has its ramp kept as its original first. A ramp
/// that someone else changed since our last write (the desktop's own night light, a driver
/// reset) becomes the new original, so that Mirl neither undoes their change nor dims twice.
/// Thread rule: main thread.
class X11GammaRamps final : public GammaRamps {
public:
    struct Crtc {
        unsigned long id = 0;
        int size = 0;
    };

    /// Nothing when there is no X display, no RandR 1.2 or no CRTC with a gamma ramp.
    static std::unique_ptr<X11GammaRamps> open(RestoreState& restoreState, Console& console,
                                               const char* displayName = nullptr);
    ~X11GammaRamps() override;
    X11GammaRamps(const X11GammaRamps&) = delete;
    X11GammaRamps& operator=(const X11GammaRamps&) = delete;

    std::string name() const override { return "XRandR"; }
    void setBrightness(double factor) override;
    void setWhitePoint(WhitePoint whitePoint) override;
    void restoreAll() override;

    /// Watches RandR screen changes on the Qt event loop (needs a QCoreApplication).
    void startWatching();
    /// Handles pending X events; a RandR screen or CRTC change calls screenChanged().
    void processEvents();
    /// Re-reads the CRTCs and writes the composition again.
    void screenChanged();
    /// The CRTCs that carry a gamma ramp, with their ramp sizes.
    std::vector<Crtc> crtcs() const;

    /// The largest gamma ramp accepted from a restore state file.
    static constexpr std::size_t kMaxRampSize = 65536;

    /// Puts back ramps a crashed process kept in its restore state, on `displayName` ($DISPLAY
    /// when null): only on the display that was dimmed, in the same boot, and only for CRTCs
    /// with the same id and ramp size. Without that display (none, or another) the part is
    /// kept for later; ramps that are not plausible (out of range, not monotonic, near black)
    /// no longer apply.
    static Recovery restoreSnapshot(const nlohmann::json& part, const char* displayName = nullptr);
    /// This boot's identity (the kernel's boot_id), kept with the ramps.
    static std::string bootId();

private:
    struct Saved {
        unsigned long id = 0;
        std::vector<std::uint16_t> red, green, blue; // the original
        std::vector<std::uint16_t> seen;             // red, green, blue as read back after our last write
    };

    X11GammaRamps(Display* display, RestoreState& restoreState, Console& console);
    bool neutral() const { return brightness_ == 1.0 && whitePoint_.neutral(); }
    void syncOriginals();
    void noteWhatWasWritten();
    void write();
    bool remember(const std::vector<Saved>& originals);

    Display* display_;
    RestoreState& restoreState_;
    Console& console_;
    int eventBase_ = 0;
    std::vector<Saved> originals_; // empty while nothing of ours is in force
    double brightness_ = 1.0;
    WhitePoint whitePoint_;
    bool handlingEvents_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace mirl
