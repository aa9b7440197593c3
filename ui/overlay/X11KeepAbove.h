#pragma once

#include <QObject>

#include <chrono>
#include <vector>

class QSocketNotifier;
class QTimer;
typedef struct _XDisplay Display;

namespace mirl {

/// Keeps some override-redirect windows above every other window on an X display. The window
/// manager restacks the windows it manages whenever one is mapped, raised on a click or made
/// full screen, and puts it above ours; so this watches the root window's children (its own
/// connection, SubstructureNotify) and, whenever another window is mapped or restacked, raises
/// ours again. Raises are throttled to one per 100 ms, so that another program doing the same
/// cannot make the two fight at full speed.
/// Thread rule: main thread, with a Qt event loop.
class X11KeepAbove final : public QObject {
public:
    /// Opens its own connection to the display named by DISPLAY; without one it does nothing.
    X11KeepAbove();
    ~X11KeepAbove() override;
    X11KeepAbove(const X11KeepAbove&) = delete;
    X11KeepAbove& operator=(const X11KeepAbove&) = delete;

    /// Starts or stops keeping one window (an X window id) above the others.
    void add(unsigned long window);
    void remove(unsigned long window);

private:
    void readEvents();
    void raiseSoon();
    void raiseNow();

    Display* display_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* timer_ = nullptr;
    std::vector<unsigned long> windows_;
    std::chrono::steady_clock::time_point lastRaise_{};
};

} // namespace mirl
