#include "tests/support/DesktopReadings.h"

#include <QProcess>
#include <QString>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace mirl::test {

int sinkVolume() {
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("get-sink-volume"), QStringLiteral("spk")});
    pactl.waitForFinished(5000);
    const QString out = QString::fromUtf8(pactl.readAllStandardOutput());
    const auto at = out.indexOf(QLatin1Char('%'));
    if (at < 0)
        return -1;
    auto start = at;
    while (start > 0 && out.at(start - 1).isDigit())
        --start;
    return out.mid(start, at - start).toInt();
}

void setSinkVolume(int percent) {
    QProcess::execute(QStringLiteral("pactl"), {QStringLiteral("set-sink-volume"), QStringLiteral("spk"),
                                                QString::number(percent) + QLatin1Char('%')});
}

std::vector<std::uint16_t> redRamp() {
    std::vector<std::uint16_t> red;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return red;
    XRRScreenResources* res = XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    for (int i = 0; res && i < res->ncrtc && red.empty(); ++i) {
        if (XRRGetCrtcGammaSize(display, res->crtcs[i]) <= 1)
            continue;
        XRRCrtcGamma* gamma = XRRGetCrtcGamma(display, res->crtcs[i]);
        red.assign(gamma->red, gamma->red + gamma->size);
        XRRFreeGamma(gamma);
    }
    if (res)
        XRRFreeScreenResources(res);
    XCloseDisplay(display);
    return red;
}

} // namespace mirl::test
