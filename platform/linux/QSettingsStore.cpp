#include "platform/linux/QSettingsStore.h"

#include "platform/linux/XdgPaths.h"
#include "runtime/PrivateFiles.h"

namespace mirl {

namespace {
QString qkey(std::string_view key) {
    return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}
} // namespace

QSettingsStore::QSettingsStore(const std::filesystem::path& file, Console* console) {
    if (auto why = irregularFile(file, maxFileBytes)) {
        if (console)
            console->line("Mirl: ignoring the settings file " + file.string() + ": " + *why +
                          "; the settings are the defaults for this run");
        return;
    }
    settings_ = std::make_unique<QSettings>(QString::fromStdString(file.string()), QSettings::IniFormat);
}

std::optional<std::filesystem::path> QSettingsStore::defaultFile() {
    if (auto config = xdg::configHome())
        return *config / "Mirl" / "Mirl.conf";
    return std::nullopt;
}

std::optional<SettingValue> QSettingsStore::read(std::string_view key) const {
    if (!settings_) {
        auto found = memory_.find(key);
        return found != memory_.end() ? std::optional(found->second) : std::nullopt;
    }
    const QString k = qkey(key);
    if (!settings_->contains(k))
        return std::nullopt;
    const QVariant v = settings_->value(k);
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
    if (!settings_) {
        memory_[std::string(key)] = value;
        return;
    }
    QVariant v;
    if (auto* b = std::get_if<bool>(&value))
        v = *b;
    else if (auto* n = std::get_if<long long>(&value))
        v = static_cast<qlonglong>(*n);
    else
        v = QString::fromStdString(std::get<std::string>(value));
    settings_->setValue(qkey(key), v);
    makePrivateFolder(std::filesystem::path(settings_->fileName().toStdString()).parent_path());
    settings_->sync();
}

void QSettingsStore::remove(std::string_view key) {
    if (!settings_) {
        memory_.erase(std::string(key));
        return;
    }
    settings_->remove(qkey(key));
    settings_->sync();
}

} // namespace mirl
