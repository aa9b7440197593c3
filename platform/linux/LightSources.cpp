#include "platform/linux/LightSources.h"

#include "platform/linux/DBusCall.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace mirl {

namespace {

const QString kProxyService = QStringLiteral("net.hadess.SensorProxy");
const QString kProxyPath = QStringLiteral("/net/hadess/SensorProxy");
const QString kProxyInterface = QStringLiteral("net.hadess.SensorProxy");

/// A sysfs attribute as a finite number; nothing when absent or unreadable.
std::optional<double> readNumber(const std::filesystem::path& file) {
    std::ifstream in(file);
    if (!in)
        return std::nullopt;
    std::string text;
    if (!std::getline(in, text))
        return std::nullopt;
    try {
        std::size_t used = 0;
        const double v = std::stod(text, &used);
        if (!std::isfinite(v))
            return std::nullopt;
        return v;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

/// The attribute under either name form: "in_illuminance_<suffix>" or "in_illuminance0_<suffix>".
std::optional<double> readChannel(const std::filesystem::path& device, const std::string& suffix) {
    for (const char* stem : {"in_illuminance_", "in_illuminance0_"})
        if (auto v = readNumber(device / (stem + suffix)))
            return v;
    return std::nullopt;
}

} // namespace

std::optional<double> SensorProxyLight::lux() {
    const QDBusConnection bus = QDBusConnection::systemBus();
    const auto has =
        dbus::property(bus, kProxyService, kProxyPath, kProxyInterface, QStringLiteral("HasAmbientLight"));
    if (!has || !has->toBool())
        return std::nullopt;
    if (!dbus::call(bus, kProxyService, kProxyPath, kProxyInterface, QStringLiteral("ClaimLight")))
        return std::nullopt;
    std::optional<double> result;
    const auto unit =
        dbus::property(bus, kProxyService, kProxyPath, kProxyInterface, QStringLiteral("LightLevelUnit"));
    if (unit && unit->toString() == QLatin1String("lux")) {
        const auto level =
            dbus::property(bus, kProxyService, kProxyPath, kProxyInterface, QStringLiteral("LightLevel"));
        bool ok = false;
        const double v = level ? level->toDouble(&ok) : 0.0;
        if (ok && std::isfinite(v) && v >= 0)
            result = v;
    }
    dbus::call(bus, kProxyService, kProxyPath, kProxyInterface, QStringLiteral("ReleaseLight"));
    return result;
}

std::optional<double> SysfsLight::readDevice(const std::filesystem::path& device) {
    std::optional<double> lux = readChannel(device, "input");
    if (!lux) {
        const auto raw = readChannel(device, "raw");
        if (!raw)
            return std::nullopt;
        const double offset = readChannel(device, "offset").value_or(0.0);
        const double scale = readChannel(device, "scale").value_or(1.0);
        lux = (*raw + offset) * scale;
    }
    if (!std::isfinite(*lux) || *lux < 0)
        return std::nullopt;
    return lux;
}

std::optional<double> SysfsLight::lux() {
    std::error_code ec;
    std::vector<std::filesystem::path> devices;
    for (std::filesystem::directory_iterator it(root_, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().filename().string().rfind("iio:device", 0) == 0)
            devices.push_back(it->path());
    std::sort(devices.begin(), devices.end());
    for (const auto& device : devices)
        if (auto v = readDevice(device))
            return v;
    return std::nullopt;
}

} // namespace mirl
