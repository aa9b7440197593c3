// testenv: --xorg --dbus
// timeout: 120
// Gamma ramps on an Xorg server with the dummy driver, whose CRTCs give back exactly what was
// written: composition, exact restore, re-application after a mode change, the restore by the
// next launch of mirl after the dimming process was killed (kept while there is no display),
// ramps in the restore state that are no ramps, and no dimming that could not be recorded.

#include "fade/GammaController.h"
#include "platform/RampNightLight.h"
#include "platform/fake/MemoryRestoreState.h"
#include "platform/linux/CrashRecovery.h"
#include "platform/linux/RestoreStateFile.h"
#include "platform/linux/X11GammaRamps.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#undef None
#undef Bool
#undef Status

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace mirl;

namespace {

struct Ramp {
    std::vector<std::uint16_t> red, green, blue;
    bool operator==(const Ramp&) const = default;
};

/// The test's own connection, to read and set ramps behind the backend's back.
class XServer {
public:
    XServer() : display_(XOpenDisplay(nullptr)) {}
    ~XServer() {
        if (display_)
            XCloseDisplay(display_);
    }
    Display* display() const { return display_; }

    std::vector<RRCrtc> crtcs() const {
        std::vector<RRCrtc> out;
        XRRScreenResources* res = XRRGetScreenResourcesCurrent(display_, DefaultRootWindow(display_));
        for (int i = 0; res && i < res->ncrtc; ++i)
            if (XRRGetCrtcGammaSize(display_, res->crtcs[i]) > 1)
                out.push_back(res->crtcs[i]);
        if (res)
            XRRFreeScreenResources(res);
        return out;
    }
    Ramp read(RRCrtc crtc) const {
        XRRCrtcGamma* g = XRRGetCrtcGamma(display_, crtc);
        Ramp r{{g->red, g->red + g->size}, {g->green, g->green + g->size}, {g->blue, g->blue + g->size}};
        XRRFreeGamma(g);
        return r;
    }
    void write(RRCrtc crtc, const Ramp& r) const {
        XRRCrtcGamma* g = XRRAllocGamma(static_cast<int>(r.red.size()));
        std::copy(r.red.begin(), r.red.end(), g->red);
        std::copy(r.green.begin(), r.green.end(), g->green);
        std::copy(r.blue.begin(), r.blue.end(), g->blue);
        XRRSetCrtcGamma(display_, crtc, g);
        XRRFreeGamma(g);
        XSync(display_, False);
    }

private:
    Display* display_;
};

/// A user ramp that is not the identity, different per channel, so that an exact restore
/// cannot be mistaken for a reset.
Ramp userRamp(std::size_t size) {
    Ramp r;
    for (std::size_t i = 0; i < size; ++i) {
        const double x = static_cast<double>(i) / static_cast<double>(size - 1);
        r.red.push_back(static_cast<std::uint16_t>(std::lround(65535 * std::pow(x, 0.9))));
        r.green.push_back(static_cast<std::uint16_t>(std::lround(60000 * std::pow(x, 1.1))));
        r.blue.push_back(static_cast<std::uint16_t>(std::lround(65000 * x)));
    }
    return r;
}

Ramp composed(const Ramp& original, double brightness, WhitePoint wp) {
    return {scaleRamp(original.red, brightness * wp.red), scaleRamp(original.green, brightness * wp.green),
            scaleRamp(original.blue, brightness * wp.blue)};
}

/// Runs the mirl program with its state under `home` (its restore state in home/Mirl), with
/// or without the display, until its launch is over (it answers on the session bus once
/// everything is built), then quits it; its console output.
std::string runMirl(const std::filesystem::path& home, bool withDisplay) {
    const std::string launch = "\"$0\" 2>&1 & pid=$!; "
                               "for i in $(seq 200); do \"$0\" status >/dev/null 2>&1 && break; "
                               "kill -0 $pid 2>/dev/null || break; sleep 0.1; done; "
                               "kill -TERM $pid 2>/dev/null; wait $pid";
    const std::string command = std::string(withDisplay ? "" : "env -u DISPLAY ") + "XDG_STATE_HOME='" +
                                home.string() + "' sh -c '" + launch + "' '" + MIRL_BINARY_DIR + "/bin/mirl'";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        EXPECT_EQ(pclose(pipe), 0) << out;
    }
    return out;
}

class GammaXorg : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(x.display(), nullptr)
            << "the Xorg test display does not answer (DISPLAY=" << std::getenv("DISPLAY") << ")";
        crtcs = x.crtcs();
        ASSERT_FALSE(crtcs.empty()) << "the dummy driver offers no CRTC with a gamma ramp";
        for (RRCrtc c : crtcs) {
            originals.push_back(userRamp(x.read(c).red.size()));
            x.write(c, originals.back());
            ASSERT_EQ(x.read(c), originals.back()) << "the CRTC does not give back what was written";
        }
    }
    void expectAll(const std::function<Ramp(const Ramp&)>& expected, const char* what) {
        for (std::size_t i = 0; i < crtcs.size(); ++i)
            EXPECT_EQ(x.read(crtcs[i]), expected(originals[i])) << what << ", CRTC " << crtcs[i];
    }

    XServer x;
    std::vector<RRCrtc> crtcs;
    std::vector<Ramp> originals;
    RecordingConsole console;
};

} // namespace

TEST_F(GammaXorg, DimmingAndWarmthComposeAndRestoreExactly) {
    MemoryRestoreState state;
    auto ramps = X11GammaRamps::open(state, console);
    ASSERT_TRUE(ramps);
    EXPECT_EQ(ramps->crtcs().size(), crtcs.size());
    GammaController gamma(ramps.get());
    RampNightLight warmth(*ramps);

    gamma.apply(0.75);
    const double top = static_cast<float>(1 - 0.65 * 0.75);
    expectAll([&](const Ramp& o) { return composed(o, top, {}); }, "dimmed");
    ASSERT_TRUE(state.holds(restore_parts::gamma)) << "originals kept before the first write";
    EXPECT_EQ(state.parts["gamma"]["crtcs"].size(), crtcs.size());
    EXPECT_EQ(state.parts["gamma"]["crtcs"][0]["red"].get<std::vector<std::uint16_t>>(), originals[0].red);

    warmth.setStrength(1.0f, true);
    warmth.setEnabled(true);
    const WhitePoint warm = whitePointForKelvin(3400);
    expectAll([&](const Ramp& o) { return composed(o, top, warm); }, "dimmed and warm");

    gamma.apply(1.4);
    expectAll([&](const Ramp& o) { return composed(o, static_cast<float>(0.35), warm); }, "darkest and warm");

    gamma.restore();
    expectAll([&](const Ramp& o) { return composed(o, 1.0, warm); }, "warm only");
    EXPECT_TRUE(state.holds(restore_parts::gamma));

    warmth.setEnabled(false);
    expectAll([](const Ramp& o) { return o; }, "restored");
    EXPECT_FALSE(state.holds(restore_parts::gamma));

    gamma.willTerminate();
    ramps->restoreAll();
    expectAll([](const Ramp& o) { return o; }, "a second restore changes nothing");
}

TEST_F(GammaXorg, QuitRestoresTheOriginalsInAnyState) {
    MemoryRestoreState state;
    auto ramps = X11GammaRamps::open(state, console);
    ASSERT_TRUE(ramps);
    GammaController gamma(ramps.get());
    RampNightLight warmth(*ramps);
    gamma.apply(0.5);
    warmth.setStrength(0.5f, true);
    warmth.setEnabled(true);
    gamma.willTerminate();
    expectAll([](const Ramp& o) { return o; }, "after quit");
    EXPECT_FALSE(state.holds(restore_parts::gamma));
}

TEST_F(GammaXorg, ARampChangedBySomeoneElseBecomesTheNewOriginal) {
    MemoryRestoreState state;
    auto ramps = X11GammaRamps::open(state, console);
    ASSERT_TRUE(ramps);
    ramps->setBrightness(0.5);
    // The desktop's own night light warms the first CRTC meanwhile.
    Ramp theirs = originals[0];
    theirs.blue = scaleRamp(theirs.blue, 0.6);
    x.write(crtcs[0], theirs);
    ramps->setBrightness(0.5);
    EXPECT_EQ(x.read(crtcs[0]), composed(theirs, 0.5, {})) << "their change is dimmed, not undone";
    EXPECT_EQ(state.parts["gamma"]["crtcs"].back()["blue"].get<std::vector<std::uint16_t>>(), theirs.blue)
        << "the restore state follows the new original";
    for (std::size_t i = 1; i < crtcs.size(); ++i)
        EXPECT_EQ(x.read(crtcs[i]), composed(originals[i], 0.5, {})) << "CRTC " << crtcs[i];
    ramps->restoreAll();
    EXPECT_EQ(x.read(crtcs[0]), theirs) << "their ramp stays after the restore";
    for (std::size_t i = 1; i < crtcs.size(); ++i)
        EXPECT_EQ(x.read(crtcs[i]), originals[i]) << "CRTC " << crtcs[i];
}

TEST_F(GammaXorg, ModeChangeWritesTheCompositionAgain) {
    MemoryRestoreState state;
    auto ramps = X11GammaRamps::open(state, console);
    ASSERT_TRUE(ramps);
    ramps->setBrightness(0.6);
    // A driver that resets ramps on a mode switch: the ramp goes back to the user's, then the
    // mode changes.
    for (std::size_t i = 0; i < crtcs.size(); ++i)
        x.write(crtcs[i], originals[i]);
    ASSERT_EQ(std::system("xrandr --output DUMMY0 --mode 1280x960"), 0) << "xrandr could not switch modes";
    bool reapplied = false;
    for (int i = 0; i < 100 && !reapplied; ++i) {
        ramps->processEvents();
        reapplied = x.read(crtcs[0]) == composed(originals[0], 0.6, {});
        if (!reapplied)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::system("xrandr --output DUMMY0 --mode 1280x1024");
    EXPECT_TRUE(reapplied) << "no RandR notification re-applied the ramps";
    ramps->restoreAll();
    expectAll([](const Ramp& o) { return o; }, "restored after the mode change");
}

TEST_F(GammaXorg, NextLaunchRestoresWhatAKilledProcessDimmed) {
    test::TempDir dir;
    const auto file = dir.path() / "Mirl" / "restore-state.json";
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The process that dims and is then killed mid-fade.
        close(ready[0]);
        RecordingConsole childConsole;
        RestoreStateFile childState(file, childConsole);
        auto ramps = X11GammaRamps::open(childState, childConsole);
        if (!ramps)
            _exit(3);
        ramps->setBrightness(0.4);
        ramps->setWhitePoint(whitePointForKelvin(4000));
        char byte = 1;
        if (write(ready[1], &byte, 1) != 1)
            _exit(4);
        pause();
        _exit(0);
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1) << "the dimming process did not get going";
    close(ready[0]);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    const WhitePoint wp = whitePointForKelvin(4000);
    expectAll([&](const Ramp& o) { return composed(o, 0.4, wp); },
              "the X server keeps a dead client's ramps");
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0) << "no restore state was left behind";
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // The next launch of mirl, without a display: the ramps cannot be put back yet, so they
    // stay recorded rather than being thrown away.
    const std::string out = runMirl(dir.path(), false);
    EXPECT_NE(out.find("cannot put back the gamma a previous run left changed yet; kept for later"),
              std::string::npos)
        << out;
    expectAll([&](const Ramp& o) { return composed(o, 0.4, wp); }, "nothing to put back without a display");
    ASSERT_TRUE(std::filesystem::exists(file));

    // The next launch with the display puts them back.
    EXPECT_NE(runMirl(dir.path(), true).find("put back the gamma a previous run left changed"),
              std::string::npos);
    expectAll([](const Ramp& o) { return o; }, "restored by the next launch");
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(runMirl(dir.path(), true).find("put back"), std::string::npos)
        << "a launch without a file does nothing";
}

TEST_F(GammaXorg, RampsThatAreNoRampsAreNotApplied) {
    test::TempDir dir;
    const auto file = dir.path() / "Mirl" / "restore-state.json";
    std::filesystem::create_directories(file.parent_path());
    const std::size_t size = originals[0].red.size();
    std::vector<std::uint16_t> zeros(size, 0), garbage(size);
    for (std::size_t i = 0; i < size; ++i)
        garbage[i] = static_cast<std::uint16_t>((i * 7919u) % 65536u);
    std::vector<std::uint16_t> rising(size);
    for (std::size_t i = 0; i < size; ++i)
        rising[i] = static_cast<std::uint16_t>(i * 65535 / (size - 1));
    struct Row {
        const char* name;
        std::vector<std::uint16_t> ramp;
        std::string bootId;
        long long rampSize;
    };
    for (const Row& row : {Row{"all zero", zeros, X11GammaRamps::bootId(), static_cast<long long>(size)},
                           Row{"garbage", garbage, X11GammaRamps::bootId(), static_cast<long long>(size)},
                           Row{"from another boot", rising, "another-boot", static_cast<long long>(size)},
                           Row{"size that does not match", rising, X11GammaRamps::bootId(), 3}}) {
        nlohmann::json crtcsJson = nlohmann::json::array();
        for (RRCrtc c : crtcs)
            crtcsJson.push_back({{"id", c},
                                 {"size", row.rampSize},
                                 {"red", row.ramp},
                                 {"green", row.ramp},
                                 {"blue", row.ramp}});
        std::ofstream(file) << nlohmann::json{{"gamma",
                                               {{
                                                    "display",
                                                    DisplayString(x.display()),
                                                },
                                                {"boot_id", row.bootId},
                                                {"crtcs", crtcsJson}}}}
                                   .dump();
        const std::string out = runMirl(dir.path(), true);
        EXPECT_NE(out.find("the gamma a previous run left changed no longer applies"), std::string::npos)
            << row.name << ": " << out;
        expectAll([](const Ramp& o) { return o; }, row.name);
        EXPECT_FALSE(std::filesystem::exists(file)) << row.name;
    }
}

TEST_F(GammaXorg, NothingIsDimmedWhenTheOriginalsCannotBeRecorded) {
    test::TempDir dir;
    std::ofstream(dir.path() / "state") << "a file where the state folder should be";
    RestoreStateFile state(dir.path() / "state" / "Mirl" / "restore-state.json", console);
    auto ramps = X11GammaRamps::open(state, console);
    ASSERT_TRUE(ramps);
    GammaController gamma(ramps.get());
    RampNightLight warmth(*ramps);
    gamma.apply(0.75);
    warmth.setStrength(1.0f, true);
    warmth.setEnabled(true);
    expectAll([](const Ramp& o) { return o; }, "a crash could not have put it back");
    ASSERT_EQ(console.lines().size(), 1u);
    EXPECT_EQ(console.lines()[0].rfind("Mirl: cannot record the gamma to put back", 0), 0u)
        << console.lines()[0];
    gamma.willTerminate();
    expectAll([](const Ramp& o) { return o; }, "after quit");
}
