// testenv: --x11 --dbus
// testmain: qt
// timeout: 120
// The desktop night-light backends: GNOME's keys (on a compiled copy of their schema, in
// GLib's keyfile backend) are put back exactly; KWin's preview (python3-dbusmock on the
// private session bus) is renewed every 10 seconds and stopped.

#include "platform/fake/MemoryRestoreState.h"
#include "platform/linux/GnomeNightLight.h"
#include "platform/linux/KWinNightLight.h"
#include "platform/linux/NightLightBackends.h"
#include "runtime/VirtualScheduler.h"
#include "tests/support/TestPaths.h"

// GLib before anything that includes Qt: Qt's "signals" keyword is a field name in GLib.
#include <gio/gio.h>

#include "tests/support/DBusMock.h"

#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace mirl;

namespace {

const char* kSchemaXml = R"(<schemalist>
  <schema id="org.gnome.settings-daemon.plugins.color" path="/org/gnome/settings-daemon/plugins/color/">
    <key name="night-light-enabled" type="b"><default>false</default></key>
    <key name="night-light-temperature" type="u"><default>2700</default></key>
    <key name="night-light-schedule-automatic" type="b"><default>true</default></key>
    <key name="night-light-schedule-from" type="d"><default>20.0</default></key>
    <key name="night-light-schedule-to" type="d"><default>6.0</default></key>
  </schema>
</schemalist>
)";

/// A compiled copy of the colour plugin's schema, made before GLib looks for schemas.
class GnomeSchema : public testing::Environment {
public:
    void SetUp() override {
        const char* home = std::getenv("MIRL_TESTENV_DIR");
        ASSERT_NE(home, nullptr) << "not inside mirl-testenv";
        dir_ = std::filesystem::path(home) / "schemas";
        std::filesystem::create_directories(dir_);
        std::ofstream(dir_ / "org.gnome.settings-daemon.plugins.color.gschema.xml") << kSchemaXml;
        const std::string compile = "glib-compile-schemas " + dir_.string();
        ASSERT_EQ(std::system(compile.c_str()), 0) << "glib-compile-schemas failed";
        setenv("GSETTINGS_SCHEMA_DIR", dir_.c_str(), 1);
        setenv("GSETTINGS_BACKEND", "keyfile", 1);
    }

private:
    std::filesystem::path dir_;
};
const auto* const schemaEnvironment = testing::AddGlobalTestEnvironment(new GnomeSchema);

struct Keys {
    GSettings* s = g_settings_new(GnomeNightLight::kSchema);
    ~Keys() { g_object_unref(s); }
    bool userSet(const char* key) {
        GVariant* v = g_settings_get_user_value(s, key);
        if (v)
            g_variant_unref(v);
        return v != nullptr;
    }
};

} // namespace

TEST(GnomeNightLight, DrivesTheKeysAndPutsTheUsersValuesBack) {
    Keys keys;
    g_settings_set_boolean(keys.s, "night-light-enabled", TRUE);
    g_settings_set_uint(keys.s, "night-light-temperature", 4000);
    g_settings_set_double(keys.s, "night-light-schedule-from", 21.5);
    g_settings_sync();

    MemoryRestoreState state;
    RecordingConsole console;
    auto light = GnomeNightLight::open(state, console);
    ASSERT_TRUE(light) << "the compiled schema was not found";
    light->setStrength(0.5f, true);
    light->setEnabled(true);
    EXPECT_EQ(g_settings_get_uint(keys.s, "night-light-temperature"), 4950u);
    EXPECT_TRUE(g_settings_get_boolean(keys.s, "night-light-enabled"));
    EXPECT_FALSE(g_settings_get_boolean(keys.s, "night-light-schedule-automatic"));
    ASSERT_TRUE(state.holds(restore_parts::nightLight));
    EXPECT_EQ(state.parts["night_light"]["values"]["night-light-temperature"], "uint32 4000");

    light->setStrength(0.505f, true); // 4935 K: less than 25 K away, not written
    EXPECT_EQ(g_settings_get_uint(keys.s, "night-light-temperature"), 4950u);
    light->setStrength(1.0f, true);
    EXPECT_EQ(g_settings_get_uint(keys.s, "night-light-temperature"), 3400u);

    light->setEnabled(false);
    EXPECT_EQ(g_settings_get_uint(keys.s, "night-light-temperature"), 4000u);
    EXPECT_TRUE(g_settings_get_boolean(keys.s, "night-light-enabled"));
    EXPECT_DOUBLE_EQ(g_settings_get_double(keys.s, "night-light-schedule-from"), 21.5);
    EXPECT_FALSE(keys.userSet("night-light-schedule-automatic")) << "a key the user never set is reset";
    EXPECT_FALSE(keys.userSet("night-light-schedule-to"));
    EXPECT_FALSE(state.holds(restore_parts::nightLight));
}

TEST(GnomeNightLight, ValuesKeptByACrashedProcessComeBack) {
    Keys keys;
    g_settings_reset(keys.s, "night-light-enabled");
    g_settings_set_uint(keys.s, "night-light-temperature", 3900);
    g_settings_sync();
    MemoryRestoreState state;
    RecordingConsole console;
    {
        auto light = GnomeNightLight::open(state, console);
        ASSERT_TRUE(light);
        light->setStrength(1.0f, true);
        light->setEnabled(true);
        // The process dies here: nothing is put back.
    }
    ASSERT_TRUE(g_settings_get_boolean(keys.s, "night-light-enabled"));
    // Values no GNOME would hold are not written.
    for (const char* bad :
         {R"({"night-light-temperature": "uint32 5000000000"})", R"({"night-light-temperature": "'warm'"})",
          R"({"night-light-enabled": 1})", R"({"org.gnome.desktop.background": null})"}) {
        nlohmann::json part = state.parts["night_light"];
        part["values"].update(nlohmann::json::parse(bad));
        EXPECT_EQ(GnomeNightLight::restoreSnapshot(part), Recovery::noLongerApplies) << bad;
        EXPECT_TRUE(g_settings_get_boolean(keys.s, "night-light-enabled")) << bad;
    }
    ASSERT_EQ(GnomeNightLight::restoreSnapshot(state.parts["night_light"]), Recovery::restored);
    EXPECT_FALSE(keys.userSet("night-light-enabled"));
    EXPECT_EQ(g_settings_get_uint(keys.s, "night-light-temperature"), 3900u);
}

namespace {

/// KWin's ColorCorrect interface as python3-dbusmock plays it.
class KWinMock : public test::DBusMock {
public:
    KWinMock()
        : DBusMock(Bus::session,
                   {QStringLiteral("org.kde.KWin"), QStringLiteral("/ColorCorrect"),
                    QStringLiteral("org.kde.kwin.ColorCorrect")},
                   QStringLiteral("org.kde.KWin")) {
        if (running()) {
            addMethod("preview", "u");
            addMethod("stopPreview", "");
        }
    }
    bool running() const { return ok(); }
    QString output() const { return QString::fromStdString(error()); }

    /// The calls so far, "preview 3400" or "stopPreview", once count of them have arrived.
    std::vector<std::string> calls(std::size_t count) {
        std::vector<std::string> out;
        for (int i = 0; i < 100; ++i) {
            out = read();
            if (out.size() >= count)
                break;
            QThread::msleep(50);
        }
        return out;
    }

private:
    void addMethod(const char* name, const char* signature) {
        control(QStringLiteral("/ColorCorrect"), QStringLiteral("AddMethod"),
                {QStringLiteral("org.kde.kwin.ColorCorrect"), QString::fromLatin1(name),
                 QString::fromLatin1(signature), QString(), QString()});
    }
    std::vector<std::string> read() {
        std::vector<std::string> out;
        for (const Call& call : recordedCalls(QStringLiteral("/ColorCorrect"))) {
            std::string text = call.method.toStdString();
            if (!call.args.isEmpty())
                text += " " + std::to_string(call.args.at(0).toUInt());
            out.push_back(text);
        }
        return out;
    }
};

} // namespace

TEST(KWinNightLight, PreviewIsRenewedEveryTenSecondsAndStopped) {
    KWinMock kwin;
    ASSERT_TRUE(kwin.running()) << "python3-dbusmock did not start: " << kwin.output().toStdString();
    VirtualScheduler scheduler(TimePoint{});
    auto light = KWinNightLight::open(scheduler);
    ASSERT_TRUE(light) << "KWin's ColorCorrect mock was not recognised";
    light->setStrength(1.0f, true); // not enabled yet: nothing sent
    light->setEnabled(true);
    scheduler.advance(std::chrono::milliseconds(9999));
    EXPECT_EQ(kwin.calls(1), std::vector<std::string>{"preview 3400"});
    light->setStrength(0.5f, true);
    scheduler.advance(std::chrono::milliseconds(1));
    light->setEnabled(false);
    scheduler.advance(std::chrono::seconds(30));
    EXPECT_EQ(kwin.calls(4),
              (std::vector<std::string>{"preview 3400", "preview 4950", "preview 4950", "stopPreview"}));
}

TEST(NightLightBackends, PicksGnomeWhenItsColourPluginAnswers) {
    test::DBusMock gsd(test::DBusMock::Bus::session,
                       {QStringLiteral("org.gnome.SettingsDaemon.Color"),
                        QStringLiteral("/org/gnome/SettingsDaemon/Color"),
                        QStringLiteral("org.gnome.SettingsDaemon.Color")},
                       QStringLiteral("org.gnome.SettingsDaemon.Color"));
    ASSERT_TRUE(gsd.ok()) << gsd.error();
    VirtualScheduler scheduler(TimePoint{});
    MemoryRestoreState state;
    RecordingConsole console;
    auto light = chooseNightLight(nullptr, scheduler, state, console);
    ASSERT_TRUE(light);
    EXPECT_EQ(light->name(), "GNOME night light");
}

TEST(NightLightBackends, PicksKWinWhenItAnswersAndTheRampsOtherwise) {
    VirtualScheduler scheduler(TimePoint{});
    MemoryRestoreState state;
    RecordingConsole console;
    EXPECT_EQ(chooseNightLight(nullptr, scheduler, state, console), nullptr) << "no backend at all";
    {
        KWinMock kwin;
        ASSERT_TRUE(kwin.running());
        auto light = chooseNightLight(nullptr, scheduler, state, console);
        ASSERT_TRUE(light);
        EXPECT_EQ(light->name(), "KWin night light preview");
    }
}
