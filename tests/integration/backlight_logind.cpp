// testenv: --x11 --system-bus
// testmain: qt
// timeout: 120
// The panel backlight against a fake sysfs tree, written through a logind mock (python3-dbusmock
// on the private system bus) that records Session.SetBrightness.

#include "fade/BrightnessController.h"
#include "platform/CompositeBacklight.h"
#include "platform/fake/MemoryRestoreState.h"
#include "platform/fake/MemorySettingsStore.h"
#include "platform/linux/DdcBacklight.h"
#include "platform/linux/SysfsBacklight.h"
#include "tests/support/DBusMock.h"
#include "tests/support/RecordingEventSink.h"
#include "tests/support/TestPaths.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

using namespace mirl;

namespace {

const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kSessionPath = QStringLiteral("/org/freedesktop/login1/session/auto");

void writeFile(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file) << text << '\n';
}

struct SetBrightnessCall {
    std::string subsystem, device;
    unsigned value;
    bool operator==(const SetBrightnessCall&) const = default;
};

std::ostream& operator<<(std::ostream& out, const SetBrightnessCall& c) {
    return out << c.subsystem << "/" << c.device << "=" << c.value;
}

/// logind as python3-dbusmock plays it, with a session "auto" whose SetBrightness is recorded.
class LogindMock : public test::DBusMock {
public:
    LogindMock() : DBusMock(Bus::system, {QStringLiteral("--template"), QStringLiteral("logind")}, kLogind) {}

    bool running() const { return ok(); }
    QString output() const { return QString::fromStdString(error()); }

    bool addSession() {
        return control(QStringLiteral("/org/freedesktop/login1"), QStringLiteral("AddSession"),
                       {QStringLiteral("auto"), QStringLiteral("seat0"), static_cast<quint32>(getuid()),
                        QStringLiteral("sleeper"), true}) &&
               control(kSessionPath, QStringLiteral("AddMethod"),
                       {QStringLiteral("org.freedesktop.login1.Session"), QStringLiteral("SetBrightness"),
                        QStringLiteral("ssu"), QString(), QString()});
    }

    std::vector<SetBrightnessCall> calls() {
        std::vector<SetBrightnessCall> out;
        for (const Call& call : recordedCalls(kSessionPath)) {
            if (call.method == QStringLiteral("SetBrightness"))
                out.push_back({call.args.at(0).toString().toStdString(),
                               call.args.at(1).toString().toStdString(), call.args.at(2).toUInt()});
        }
        return out;
    }
};

class BacklightLogind : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDBusConnection::systemBus().isConnected())
            << "the private system bus does not answer (DBUS_SYSTEM_BUS_ADDRESS)";
        device("intel_backlight", "raw", 1000, 800);
        device("acpi_video0", "firmware", 15, 12);
    }
    void device(const std::string& name, const std::string& type, int max, int actual) {
        const auto d = dir.path() / name;
        std::filesystem::create_directories(d);
        writeFile(d / "type", type);
        writeFile(d / "max_brightness", std::to_string(max));
        writeFile(d / "actual_brightness", std::to_string(actual));
        writeFile(d / "brightness", std::to_string(actual));
    }
    std::string brightnessFile(const std::string& name) {
        std::string text = test::readFile(dir.path() / name / "brightness");
        while (!text.empty() && text.back() == '\n')
            text.pop_back();
        return text;
    }

    test::TempDir dir;
};

} // namespace

TEST_F(BacklightLogind, ReadsTheFirstDeviceAndWritesEveryOneThroughLogind) {
    LogindMock logind;
    ASSERT_TRUE(logind.running()) << "python3-dbusmock's logind did not start: "
                                  << logind.output().toStdString();
    ASSERT_TRUE(logind.addSession()) << "the logind mock refused the session set-up";

    SysfsBacklight panel(dir.path());
    ASSERT_EQ(panel.devices().size(), 2u);
    EXPECT_EQ(panel.devices()[0].name, "acpi_video0") << "firmware interfaces come first";
    EXPECT_FLOAT_EQ(*panel.readLevel(), 12.0f / 15.0f);
    EXPECT_DOUBLE_EQ(panel.levelStep(), 1.0 / 15) << "one step of the device that answered";

    EXPECT_TRUE(panel.writeLevel(0.5f));
    EXPECT_TRUE(panel.writeLevel(0.0f));
    EXPECT_EQ(logind.calls(), (std::vector<SetBrightnessCall>{{"backlight", "acpi_video0", 8},
                                                              {"backlight", "intel_backlight", 500},
                                                              {"backlight", "acpi_video0", 1},
                                                              {"backlight", "intel_backlight", 10}}))
        << "0 is written as 1 % of the range";
    EXPECT_EQ(brightnessFile("intel_backlight"), "800") << "logind did the writing, not us";
}

TEST_F(BacklightLogind, TheControllerDimsAndPutsBackThroughLogind) {
    LogindMock logind;
    ASSERT_TRUE(logind.running()) << "python3-dbusmock's logind did not start: "
                                  << logind.output().toStdString();
    ASSERT_TRUE(logind.addSession());
    std::filesystem::remove_all(dir.path() / "acpi_video0");
    SysfsBacklight panel(dir.path());
    MemorySettingsStore store;
    Settings settings(store);
    test::RecordingEventSink events;
    MemoryRestoreState state;
    BrightnessController controller(panel, settings, events, state);
    controller.apply(0.75);
    controller.restore();
    EXPECT_EQ(logind.calls(), (std::vector<SetBrightnessCall>{{"backlight", "intel_backlight", 320},
                                                              {"backlight", "intel_backlight", 800}}));
}

TEST_F(BacklightLogind, EachDeviceIsDimmedAndPutBackFromItsOwnLevel) {
    LogindMock logind;
    ASSERT_TRUE(logind.running()) << "python3-dbusmock's logind did not start: "
                                  << logind.output().toStdString();
    ASSERT_TRUE(logind.addSession());
    device("intel_backlight", "raw", 1000, 500); // at half, beside acpi_video0 at 12 of 15
    SysfsBacklight panel(dir.path());
    MemorySettingsStore store;
    Settings settings(store);
    test::RecordingEventSink events;
    MemoryRestoreState state;
    BrightnessController controller(panel, settings, events, state);
    controller.apply(0.75);
    EXPECT_EQ(state.parts["backlight"]["displays"].size(), 2u);
    controller.restore();
    EXPECT_EQ(logind.calls(), (std::vector<SetBrightnessCall>{{"backlight", "acpi_video0", 5},
                                                              {"backlight", "intel_backlight", 200},
                                                              {"backlight", "acpi_video0", 12},
                                                              {"backlight", "intel_backlight", 500}}))
        << "each device back to its own level, not to the first one's";
}

TEST_F(BacklightLogind, WithoutLogindTheFileIsWrittenDirectly) {
    SysfsBacklight panel(dir.path());
    EXPECT_TRUE(panel.writeLevel(0.25f));
    EXPECT_EQ(brightnessFile("intel_backlight"), "250");
    EXPECT_EQ(brightnessFile("acpi_video0"), "4");
}

TEST_F(BacklightLogind, MissingOrBrokenDevicesGiveNoLevel) {
    std::filesystem::remove_all(dir.path() / "acpi_video0");
    writeFile(dir.path() / "intel_backlight" / "max_brightness", "0");
    SysfsBacklight broken(dir.path());
    EXPECT_TRUE(broken.devices().empty());
    EXPECT_FALSE(broken.readLevel());
    SysfsBacklight absent(dir.path() / "nowhere");
    EXPECT_FALSE(absent.readLevel());
    EXPECT_FALSE(absent.writeLevel(0.5f));
}

TEST(DdcBacklight, WithoutMonitorsAnswersNothingAndGivesWayToThePanel) {
    DdcBacklight ddc;
    ddc.waitIdle();
    EXPECT_TRUE(ddc.libraryLoaded()) << "libddcutil could not be loaded";
    EXPECT_TRUE(ddc.monitors().empty()) << "the test machine has no DDC/CI monitor";
    EXPECT_FALSE(ddc.readLevel());
    EXPECT_FALSE(ddc.writeLevel(0.5f));
    SysfsBacklight nothing("/nonexistent");
    CompositeBacklight all({&nothing, &ddc});
    EXPECT_FALSE(all.readLevel());
    EXPECT_EQ(all.levelStep(), 0.0);
}
