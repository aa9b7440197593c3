#include "platform/linux/SysfsBacklight.h"

#include <QDBusConnection>
#include <QDBusMessage>

#include <algorithm>
#include <fstream>

namespace mirl {

namespace {

std::optional<long long> readNumber(const std::filesystem::path& file) {
    std::ifstream in(file);
    long long value = 0;
    if (in >> value)
        return value;
    return std::nullopt;
}

int typeRank(const std::string& type) {
    if (type == "firmware")
        return 0;
    if (type == "platform")
        return 1;
    return 2;
}

} // namespace

SysfsBacklight::SysfsBacklight(std::filesystem::path root, std::string sessionPath)
    : root_(std::move(root)), sessionPath_(std::move(sessionPath)) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(root_, ec)) {
        const auto max = readNumber(entry.path() / "max_brightness");
        if (!max || *max <= 0)
            continue;
        std::string type;
        std::ifstream(entry.path() / "type") >> type;
        devices_.push_back({entry.path().filename().string(), type, *max});
    }
    std::sort(devices_.begin(), devices_.end(), [](const Device& a, const Device& b) {
        return std::pair(typeRank(a.type), a.name) < std::pair(typeRank(b.type), b.name);
    });
}

std::optional<float> SysfsBacklight::levelOf(const Device& device) const {
    auto raw = readNumber(root_ / device.name / "actual_brightness");
    if (!raw)
        raw = readNumber(root_ / device.name / "brightness");
    if (!raw)
        return std::nullopt;
    return static_cast<float>(
        std::clamp(static_cast<double>(*raw) / static_cast<double>(device.maxRaw), 0.0, 1.0));
}

std::optional<float> SysfsBacklight::readLevel() {
    for (const Device& device : devices_)
        if (auto level = levelOf(device)) {
            answered_ = &device;
            return level;
        }
    answered_ = nullptr;
    return std::nullopt;
}

double SysfsBacklight::levelStep() {
    return answered_ ? 1.0 / static_cast<double>(answered_->maxRaw) : 0;
}

bool SysfsBacklight::writeThroughLogind(const Device& device, long long raw) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QString::fromStdString(sessionPath_),
        QStringLiteral("org.freedesktop.login1.Session"), QStringLiteral("SetBrightness"));
    call << QStringLiteral("backlight") << QString::fromStdString(device.name) << static_cast<quint32>(raw);
    const QDBusMessage reply = bus.call(call, QDBus::Block, 500);
    return reply.type() == QDBusMessage::ReplyMessage;
}

bool SysfsBacklight::writeDevice(const Device& device, float level) {
    const long long raw = backlightRawValue(level, device.maxRaw);
    if (writeThroughLogind(device, raw))
        return true;
    std::ofstream out(root_ / device.name / "brightness");
    out << raw << '\n';
    out.flush();
    return static_cast<bool>(out);
}

bool SysfsBacklight::writeLevel(float level) {
    bool any = false;
    for (const Device& device : devices_)
        any = writeDevice(device, level) || any;
    return any;
}

std::vector<DisplayLevel> SysfsBacklight::readLevels() {
    std::vector<DisplayLevel> levels;
    for (const Device& device : devices_)
        if (auto level = levelOf(device))
            levels.push_back({idOf(device), *level});
    return levels;
}

std::vector<std::string> SysfsBacklight::writeLevels(const std::vector<DisplayLevel>& levels) {
    std::vector<std::string> took;
    for (const DisplayLevel& wanted : levels)
        for (const Device& device : devices_)
            if (idOf(device) == wanted.id && writeDevice(device, wanted.level))
                took.push_back(wanted.id);
    return took;
}

} // namespace mirl
