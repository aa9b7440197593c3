#include "platform/linux/X11GammaRamps.h"

#include <QSocketNotifier>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cstring>

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
    bool changed = false;
    for (auto& ramp : readRamps(display_)) {
        auto known = std::find_if(originals_.begin(), originals_.end(),
                                  [&](const Saved& s) { return s.id == ramp.id; });
        if (known != originals_.end() && known->red.size() == ramp.red.size() &&
            (known->seen.empty() || known->seen == joined(ramp)))
            continue; // ours, as we left it
        if (known != originals_.end())
            originals_.erase(known);
        originals_.push_back({ramp.id, std::move(ramp.red), std::move(ramp.green), std::move(ramp.blue), {}});
        changed = true;
    }
    if (changed)
        remember();
}

void X11GammaRamps::noteWhatWasWritten() {
    for (const auto& ramp : readRamps(display_))
        for (Saved& s : originals_)
            if (s.id == ramp.id)
                s.seen = joined(ramp);
}

void X11GammaRamps::remember() {
    nlohmann::json crtcs = nlohmann::json::array();
    for (const Saved& s : originals_)
        crtcs.push_back({{"id", static_cast<unsigned long long>(s.id)},
                         {"size", static_cast<long long>(s.red.size())},
                         {"red", s.red},
                         {"green", s.green},
                         {"blue", s.blue}});
    restoreState_.remember(restore_parts::gamma, {{"display", DisplayString(display_)}, {"crtcs", crtcs}});
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

bool X11GammaRamps::restoreSnapshot(const nlohmann::json& part, const char* displayName) {
    Display* display = openDisplay(displayName);
    if (!display)
        return false;
    bool any = false;
    if (part.value("display", std::string()) == DisplayString(display)) {
        ErrorTrap trap(display);
        for (const auto& crtc : part.at("crtcs")) {
            const auto red = crtc.at("red").get<std::vector<std::uint16_t>>();
            const auto green = crtc.at("green").get<std::vector<std::uint16_t>>();
            const auto blue = crtc.at("blue").get<std::vector<std::uint16_t>>();
            if (red.size() != green.size() || red.size() != blue.size())
                continue;
            any = writeRamp(display, crtc.at("id").get<unsigned long>(), red, green, blue) || any;
        }
        any = any && !trap.failed();
    }
    XCloseDisplay(display);
    return any;
}

} // namespace mirl
