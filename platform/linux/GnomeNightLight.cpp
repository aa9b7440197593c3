#include "platform/linux/GnomeNightLight.h"

#include "platform/GammaMath.h"

// GLib first: Qt defines "signals" as a keyword, which GLib uses as a field name.
#include <gio/gio.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include <algorithm>
#include <cmath>
#include <ctime>

namespace mirl {

namespace {

constexpr const char* kKeys[] = {"night-light-enabled", "night-light-temperature",
                                 "night-light-schedule-automatic", "night-light-schedule-from",
                                 "night-light-schedule-to"};

GSettings* openSettings() {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!source)
        return nullptr;
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, GnomeNightLight::kSchema, TRUE);
    if (!schema)
        return nullptr;
    bool complete = true;
    for (const char* key : kKeys)
        complete = complete && g_settings_schema_has_key(schema, key);
    g_settings_schema_unref(schema);
    return complete ? g_settings_new(GnomeNightLight::kSchema) : nullptr;
}

/// The user's own values: the text of each key's user value, or null when the default is in force.
nlohmann::json userValues(GSettings* settings) {
    nlohmann::json values = nlohmann::json::object();
    for (const char* key : kKeys) {
        GVariant* value = g_settings_get_user_value(settings, key);
        if (!value) {
            values[key] = nullptr;
            continue;
        }
        gchar* text = g_variant_print(value, TRUE);
        values[key] = std::string(text);
        g_free(text);
        g_variant_unref(value);
    }
    return values;
}

GSettingsSchema* lookUpSchema() {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    return source ? g_settings_schema_source_lookup(source, GnomeNightLight::kSchema, TRUE) : nullptr;
}

/// The value `text` gives `key`: of the key's type and within its range, else null. A new
/// reference, to be unref'd.
GVariant* parseValue(GSettingsSchema* schema, const char* key, const std::string& text) {
    if (!g_settings_schema_has_key(schema, key))
        return nullptr;
    GSettingsSchemaKey* schemaKey = g_settings_schema_get_key(schema, key);
    const GVariantType* type = g_settings_schema_key_get_value_type(schemaKey);
    GVariant* value = g_variant_parse(type, text.c_str(), nullptr, nullptr, nullptr);
    if (value &&
        !(g_variant_is_of_type(value, type) && g_settings_schema_key_range_check(schemaKey, value))) {
        g_variant_unref(value);
        value = nullptr;
    }
    g_settings_schema_key_unref(schemaKey);
    return value;
}

/// True when values holds only the keys Mirl keeps, each null (the default) or the text of a
/// value of the key's type within its range.
bool plausibleValues(const nlohmann::json& values) {
    if (!values.is_object())
        return false;
    GSettingsSchema* schema = lookUpSchema();
    if (!schema)
        return false;
    bool plausible = true;
    for (const auto& [key, value] : values.items()) {
        const bool kept =
            std::any_of(std::begin(kKeys), std::end(kKeys), [&](const char* k) { return key == k; });
        if (!kept || !(value.is_null() || value.is_string())) {
            plausible = false;
            break;
        }
        if (value.is_null())
            continue;
        GVariant* parsed = parseValue(schema, key.c_str(), value.get<std::string>());
        plausible = parsed != nullptr;
        if (parsed)
            g_variant_unref(parsed);
        if (!plausible)
            break;
    }
    g_settings_schema_unref(schema);
    return plausible;
}

bool putBack(GSettings* settings, const nlohmann::json& values) {
    GSettingsSchema* schema = lookUpSchema();
    if (!schema)
        return false;
    bool ok = true;
    for (const char* key : kKeys) {
        if (!values.contains(key) || values[key].is_null()) {
            g_settings_reset(settings, key);
            continue;
        }
        GVariant* value = parseValue(schema, key, values[key].get<std::string>());
        if (!value) {
            ok = false;
            continue;
        }
        ok = g_settings_set_value(settings, key, value) && ok;
        g_variant_unref(value);
    }
    g_settings_schema_unref(schema);
    g_settings_sync();
    return ok;
}

} // namespace

std::unique_ptr<GnomeNightLight> GnomeNightLight::open(RestoreState& restoreState, Console&) {
    GSettings* settings = openSettings();
    if (!settings)
        return nullptr;
    return std::unique_ptr<GnomeNightLight>(new GnomeNightLight(settings, restoreState));
}

bool GnomeNightLight::desktopAnswers() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() &&
           bus.interface()->isServiceRegistered(QStringLiteral("org.gnome.SettingsDaemon.Color")).value();
}

Recovery GnomeNightLight::restoreSnapshot(const nlohmann::json& part) {
    if (!part.is_object() || part.value("backend", std::string()) != "gnome" ||
        !plausibleValues(part["values"]))
        return Recovery::noLongerApplies;
    GSettings* settings = openSettings();
    if (!settings)
        return Recovery::noLongerApplies; // GNOME's colour settings are gone from this system
    const bool ok = putBack(settings, part["values"]);
    g_object_unref(settings);
    return ok ? Recovery::restored : Recovery::noLongerApplies;
}

GnomeNightLight::GnomeNightLight(GSettings* settings, RestoreState& restoreState)
    : settings_(settings), restoreState_(restoreState) {}

GnomeNightLight::~GnomeNightLight() {
    g_object_unref(settings_);
}

void GnomeNightLight::setStrength(float strength, bool commit) {
    strength_ = strength;
    if (active_ && commit)
        writeTemperature(false);
}

void GnomeNightLight::setEnabled(bool enabled) {
    if (enabled == active_) {
        if (enabled)
            writeTemperature(false);
        return;
    }
    if (enabled) {
        saved_ = userValues(settings_);
        if (!restoreState_.remember(restore_parts::nightLight, {{"backend", "gnome"}, {"values", saved_}}))
            return; // what could not be recorded is not changed

        // A manual schedule whose one-minute gap lies an hour behind now: on for the next 23 hours.
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        const double hour = local.tm_hour + local.tm_min / 60.0;
        const double from = std::fmod(hour + 23.0, 24.0);
        const double to = std::fmod(from + 24.0 - 1.0 / 60.0, 24.0);
        g_settings_set_boolean(settings_, "night-light-schedule-automatic", FALSE);
        g_settings_set_double(settings_, "night-light-schedule-from", from);
        g_settings_set_double(settings_, "night-light-schedule-to", to);
        active_ = true;
        writeTemperature(true);
        g_settings_set_boolean(settings_, "night-light-enabled", TRUE);
        g_settings_sync();
        return;
    }
    putBack(settings_, saved_);
    restoreState_.forget(restore_parts::nightLight);
    active_ = false;
    writtenKelvin_.reset();
}

void GnomeNightLight::writeTemperature(bool force) {
    const int kelvin = kelvinForStrength(strength_);
    if (!force && writtenKelvin_ && std::abs(*writtenKelvin_ - kelvin) < 25 &&
        !(kelvin == kWarmestKelvin && *writtenKelvin_ != kelvin))
        return;
    g_settings_set_uint(settings_, "night-light-temperature", static_cast<guint>(kelvin));
    g_settings_sync();
    writtenKelvin_ = kelvin;
}

} // namespace mirl
