#include "ui/overlay/QtOverlaySurfaces.h"

#include "platform/linux/X11Compositor.h"
#include "ui/overlay/OverlayWindow.h"
#include "ui/overlay/X11KeepAbove.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <X11/Xlib.h>

#include <cmath>

namespace mirl {

namespace {

class QtSurface final : public OverlaySurface {
public:
    QtSurface(const QRect& geometry, X11KeepAbove* keepAbove)
        : window_(new OverlayWindow(geometry)), keepAbove_(keepAbove) {
        window_->show();
        window_->raise();
        if (keepAbove_)
            keepAbove_->add(window_->winId());
    }
    ~QtSurface() override {
        forget();
        delete window_.data();
    }
    Frame frame() const override {
        const QRect g = window_ ? window_->geometry() : QRect();
        return {static_cast<double>(g.x()), static_cast<double>(g.y()), static_cast<double>(g.width()),
                static_cast<double>(g.height())};
    }
    void setOpacities(float orange, float dark) override {
        if (window_)
            window_->setOpacities(orange, dark);
    }
    void hide() override {
        forget();
        if (window_)
            window_->hide();
    }

private:
    void forget() {
        if (keepAbove_ && window_)
            keepAbove_->remove(window_->winId());
    }

    QPointer<OverlayWindow> window_;
    X11KeepAbove* keepAbove_;
};

} // namespace

QtOverlaySurfaces::QtOverlaySurfaces() {
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        x11_ = XOpenDisplay(nullptr);
        keepAbove_ = std::make_unique<X11KeepAbove>();
    }
}

QtOverlaySurfaces::~QtOverlaySurfaces() {
    if (x11_)
        XCloseDisplay(x11_);
}

std::vector<Frame> QtOverlaySurfaces::screens() {
    std::vector<Frame> out;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        out.push_back({static_cast<double>(g.x()), static_cast<double>(g.y()), static_cast<double>(g.width()),
                       static_cast<double>(g.height())});
    }
    return out;
}

bool QtOverlaySurfaces::translucencyAvailable() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return true; // Wayland compositors always composite
    return x11_ && x11CompositorRunning(x11_);
}

std::unique_ptr<OverlaySurface> QtOverlaySurfaces::create(std::size_t, const Frame& frame) {
    const QRect geometry(static_cast<int>(std::lround(frame.x)), static_cast<int>(std::lround(frame.y)),
                         static_cast<int>(std::lround(frame.width)),
                         static_cast<int>(std::lround(frame.height)));
    return std::make_unique<QtSurface>(geometry, keepAbove_.get());
}

Handle QtOverlaySurfaces::onScreensChanged(std::function<void()> changed) {
    auto* context = new QObject();
    auto notify = [context, changed] { QTimer::singleShot(0, context, changed); };
    auto watch = [context, notify](QScreen* screen) {
        QObject::connect(screen, &QScreen::geometryChanged, context, notify);
    };
    auto* app = qGuiApp;
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
    QObject::connect(app, &QGuiApplication::screenAdded, context, [watch, notify](QScreen* screen) {
        watch(screen);
        notify();
    });
    QObject::connect(app, &QGuiApplication::screenRemoved, context, notify);
    QPointer<QObject> guard(context);
    return Handle([guard] {
        if (guard)
            delete guard.data();
    });
}

} // namespace mirl
