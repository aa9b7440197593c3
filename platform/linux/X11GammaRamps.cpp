#include "platform/linux/X11GammaRamps.h"

#include <QSocketNotifier>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>

namespace mirl {

namespace {

// Xlib's error handler takes no user data, so the code of a trapped error has to live here;
// it is only touched on the main thread, inside an ErrorTrap.
int trappedErrorCode = 0;

int trapError(Display*, XErrorEvent* event) {
    trappedErrorCode = event->error_code;
    return 0;
}

/// Catches X errors of the calls made in its scope instead of letting Xlib end the process.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display) : display_(display) {
        XSync(display_, False);
        trappedErrorCode = 0;
        previous_ = XSetErrorHandler(trapError);
    }
    ~ErrorTrap() {
        XSync(display_, False);
        XSetErrorHandler(previous_);
    }
    bool failed() {
        XSync(display_, False);
        return trappedErrorCode != 0;
    }

private:
    Display* display_;
    int (*previous_)(Display*, XErrorEvent*) = nullptr;
};

struct CrtcRamp {
    unsigned long id;
    std::vector<std::uint16_t> red, green, blue;
};

std::vector<CrtcRamp> readRamps(Display* display) {
    std::vector<CrtcRamp> out;
    ErrorTrap trap(display);
    XRRScreenResources* res = XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (!res)
        return out;
    for (int i = 0; i < res->ncrtc; ++i) {
        const RRCrtc crtc = res->crtcs[i];
        const int size = XRRGetCrtcGammaSize(display, crtc);
        if (size < 2)
            continue;
        XRRCrtcGamma* gamma = XRRGetCrtcGamma(display, crtc);
        if (!gamma)
            continue;
        if (gamma->size == size) {
            CrtcRamp ramp{crtc, {}, {}, {}};
            ramp.red.assign(gamma->red, gamma->red + size);
            ramp.green.assign(gamma->green, gamma->green + size);
            ramp.blue.assign(gamma->blue, gamma->blue + size);
            out.push_back(std::move(ramp));
        }
        XRRFreeGamma(gamma);
    }
    XRRFreeScreenResources(res);
    return out;
}

bool writeRamp(Display* display, unsigned long crtc, const std::vector<std::uint16_t>& red,
               const std::vector<std::uint16_t>& green, const std::vector<std::uint16_t>& blue) {
    const int size = static_cast<int>(red.size());
    if (XRRGetCrtcGammaSize(display, crtc) != size)
        return false;
    XRRCrtcGamma* gamma = XRRAllocGamma(size);
    if (!gamma)
        return false;
    std::copy(red.begin(), red.end(), gamma->red);
    std::copy(green.begin(), green.end(), gamma->green);
    std::copy(blue.begin(), blue.end(), gamma->blue);
    XRRSetCrtcGamma(display, crtc, gamma);
    XRRFreeGamma(gamma);
    return true;
}

Display* openDisplay(const char* displayName) {
    Display* display = XOpenDisplay(displayName);
    if (!display)
        return nullptr;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase) || !XRRQueryVersion(display, &major, &minor) ||
        major < 1 || (major == 1 && minor < 2)) {
        XCloseDisplay(display);
        return nullptr;
    }
    return display;
}

} // namespace

std::unique_ptr<X11GammaRamps> X11GammaRamps::open(RestoreState& restoreState, Console& console,
                                                   const char* displayName) {
    Display* display = openDisplay(displayName);
    if (!display)
        return nullptr;
    if (readRamps(display).empty()) {
        XCloseDisplay(display);
        return nullptr;
    }
    return std::unique_ptr<X11GammaRamps>(new X11GammaRamps(display, restoreState, console));
}

X11GammaRamps::X11GammaRamps(Display* display, RestoreState& restoreState, Console& console)
    : display_(display), restoreState_(restoreState), console_(console) {
    int errorBase = 0;
    XRRQueryExtension(display_, &eventBase_, &errorBase);
    XRRSelectInput(display_, DefaultRootWindow(display_), RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask);
    XFlush(display_);
}

X11GammaRamps::~X11GammaRamps() {
    notifier_.reset();
    XCloseDisplay(display_);
}

void X11GammaRamps::setBrightness(double factor) {
    brightness_ = std::clamp(factor, 0.0, 1.0);
    write();
}

void X11GammaRamps::setWhitePoint(WhitePoint whitePoint) {
    whitePoint_ = whitePoint;
    write();
}

void X11GammaRamps::restoreAll() {
    brightness_ = 1.0;
    whitePoint_ = {};
    write();
}

namespace {
std::vector<std::uint16_t> joined(const CrtcRamp& r) {
    std::vector<std::uint16_t> all(r.red);
    all.insert(all.end(), r.green.begin(), r.green.end());
    all.insert(all.end(), r.blue.begin(), r.blue.end());
    return all;
}
} // namespace

void X11GammaRamps::syncOriginals() {
    std::vector<Saved> originals = originals_;
    bool changed = false;
    for (auto& ramp : readRamps(display_)) {
        auto known =
            std::find_if(originals.begin(), originals.end(), [&](const Saved& s) { return s.id == ramp.id; });
        if (known != originals.end() && known->red.size() == ramp.red.size() &&
            (known->seen.empty() || known->seen == joined(ramp)))
            continue; // ours, as we left it
        if (known != originals.end())
            originals.erase(known);
        originals.push_back({ramp.id, std::move(ramp.red), std::move(ramp.green), std::move(ramp.blue), {}});
        changed = true;
    }
    // Only ramps kept in the restore state are written: what a crash could not put back is
    // left alone.
    if (changed && remember(originals))
        originals_ = std::move(originals);
}

void X11GammaRamps::noteWhatWasWritten() {
    for (const auto& ramp : readRamps(display_))
        for (Saved& s : originals_)
            if (s.id == ramp.id)
                s.seen = joined(ramp);
}

bool X11GammaRamps::remember(const std::vector<Saved>& originals) {
    nlohmann::json crtcs = nlohmann::json::array();
    for (const Saved& s : originals)
        crtcs.push_back({{"id", static_cast<unsigned long long>(s.id)},
                         {"size", static_cast<long long>(s.red.size())},
                         {"red", s.red},
                         {"green", s.green},
                         {"blue", s.blue}});
    return restoreState_.remember(
        restore_parts::gamma,
        {{"display", DisplayString(display_)}, {"boot_id", bootId()}, {"crtcs", crtcs}});
}

void X11GammaRamps::write() {
    if (neutral() && originals_.empty())
        return;
    ErrorTrap trap(display_);
    // Kept before the first write, so that a crash leaves the way back behind; a ramp someone
    // else changed meanwhile is taken as the new original.
    syncOriginals();
    if (neutral()) {
        for (const Saved& s : originals_)
            writeRamp(display_, s.id, s.red, s.green, s.blue);
        originals_.clear();
        if (!trap.failed())
            restoreState_.forget(restore_parts::gamma);
        return;
    }
    for (const Saved& s : originals_)
        writeRamp(display_, s.id, scaleRamp(s.red, brightness_ * whitePoint_.red),
                  scaleRamp(s.green, brightness_ * whitePoint_.green),
                  scaleRamp(s.blue, brightness_ * whitePoint_.blue));
    noteWhatWasWritten();
}

void X11GammaRamps::startWatching() {
    notifier_ = std::make_unique<QSocketNotifier>(ConnectionNumber(display_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { processEvents(); });
}

void X11GammaRamps::processEvents() {
    if (handlingEvents_)
        return;
    handlingEvents_ = true;
    bool changed = false;
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == eventBase_ + RRScreenChangeNotify) {
            XRRUpdateConfiguration(&event);
            changed = true;
        } else if (event.type == eventBase_ + RRNotify) {
            changed = true;
        }
    }
    if (changed)
        screenChanged();
    handlingEvents_ = false;
}

void X11GammaRamps::screenChanged() {
    if (neutral())
        return;
    // CRTCs that are gone are dropped; new ones are kept as found before the next write.
    const auto present = readRamps(display_);
    std::erase_if(originals_, [&](const Saved& s) {
        return std::none_of(present.begin(), present.end(), [&](const CrtcRamp& r) { return r.id == s.id; });
    });
    write();
}

std::vector<X11GammaRamps::Crtc> X11GammaRamps::crtcs() const {
    std::vector<Crtc> out;
    for (const auto& ramp : readRamps(display_))
        out.push_back({ramp.id, static_cast<int>(ramp.red.size())});
    return out;
}

namespace {

/// The ramps of a gamma part, or nothing when it holds anything Mirl would not have kept.
std::optional<std::vector<CrtcRamp>> recordedRamps(const nlohmann::json& part) {
    if (!part.is_object() || !part.contains("crtcs") || !part["crtcs"].is_array() || part["crtcs"].empty())
        return std::nullopt;
    auto channel = [](const nlohmann::json& values,
                      std::size_t size) -> std::optional<std::vector<std::uint16_t>> {
        if (!values.is_array() || values.size() != size)
            return std::nullopt;
        std::vector<std::uint16_t> out;
        out.reserve(size);
        for (const auto& v : values) {
            if (!v.is_number_unsigned() || v.get<std::uint64_t>() > 65535)
                return std::nullopt;
            out.push_back(static_cast<std::uint16_t>(v.get<std::uint64_t>()));
        }
        if (!plausibleOriginalRamp(out))
            return std::nullopt;
        return out;
    };
    std::vector<CrtcRamp> ramps;
    for (const auto& crtc : part["crtcs"]) {
        if (!crtc.is_object() || !crtc.contains("id") || !crtc["id"].is_number_unsigned() ||
            !crtc.contains("size") || !crtc["size"].is_number_unsigned())
            return std::nullopt;
        const auto size = crtc["size"].get<std::uint64_t>();
        if (size < 2 || size > X11GammaRamps::kMaxRampSize || crtc["id"].get<std::uint64_t>() > 0xffffffffu)
            return std::nullopt;
        auto red = channel(crtc.value("red", nlohmann::json()), size);
        auto green = channel(crtc.value("green", nlohmann::json()), size);
        auto blue = channel(crtc.value("blue", nlohmann::json()), size);
        if (!red || !green || !blue)
            return std::nullopt;
        ramps.push_back(
            {crtc["id"].get<unsigned long>(), std::move(*red), std::move(*green), std::move(*blue)});
    }
    return ramps;
}

} // namespace

std::string X11GammaRamps::bootId() {
    std::ifstream in("/proc/sys/kernel/random/boot_id");
    std::string id;
    in >> id;
    return id;
}

Recovery X11GammaRamps::restoreSnapshot(const nlohmann::json& part, const char* displayName) {
    const auto ramps = recordedRamps(part);
    if (!ramps || !part.contains("display") || !part["display"].is_string())
        return Recovery::noLongerApplies;
    // The X server that held these ramps is gone with a reboot, and its ramps with it.
    if (part.contains("boot_id") && part["boot_id"] != bootId())
        return Recovery::noLongerApplies;
    Display* display = openDisplay(displayName);
    if (!display)
        return Recovery::notNow; // launched without a display: the next launch with one
    if (part["display"].get<std::string>() != DisplayString(display)) {
        XCloseDisplay(display);
        return Recovery::notNow; // another display than the one dimmed, which may still be there
    }
    bool any = false;
    {
        ErrorTrap trap(display);
        for (const CrtcRamp& ramp : *ramps)
            any = writeRamp(display, ramp.id, ramp.red, ramp.green, ramp.blue) || any;
        any = any && !trap.failed();
    }
    XCloseDisplay(display);
    return any ? Recovery::restored : Recovery::noLongerApplies;
}

} // namespace mirl
