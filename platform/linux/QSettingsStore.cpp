#include "platform/linux/QSettingsStore.h"

#include "platform/linux/XdgPaths.h"

namespace mirl {

namespace {
QString qkey(std::string_view key) {
    return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}
} // namespace

QSettingsStore::QSettingsStore(const std::filesystem::path& file)
    : settings_(QString::fromStdString(file.string()), QSettings::IniFormat) {}

std::optional<std::filesystem::path> QSettingsStore::defaultFile() {
    if (auto config = xdg::configHome())
        return *config / "Mirl" / "Mirl.conf";
    return std::nullopt;
}

std::optional<SettingValue> QSettingsStore::read(std::string_view key) const {
    const QString k = qkey(key);
    if (!settings_.contains(k))
        return std::nullopt;
    const QVariant v = settings_.value(k);
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool();
    case QMetaType::Int:
    case QMetaType::LongLong:
        return static_cast<long long>(v.toLongLong());
    default:
        return v.toString().toStdString();
    }
}

void QSettingsStore::write(std::string_view key, const SettingValue& value) {
    QVariant v;
    if (auto* b = std::get_if<bool>(&value))
        v = *b;
    else if (auto* n = std::get_if<long long>(&value))
        v = static_cast<qlonglong>(*n);
    else
        v = QString::fromStdString(std::get<std::string>(value));
    settings_.setValue(qkey(key), v);
    settings_.sync();
}

void QSettingsStore::remove(std::string_view key) {
    settings_.remove(qkey(key));
    settings_.sync();
}

} // namespace mirl
