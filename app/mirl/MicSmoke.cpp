#include "app/mirl/MicSmoke.h"

#include "detect/MicSelfTest.h"
#include "journal/DataFolder.h"
#include "platform/linux/PulseCaptureEngine.h"
#include "platform/linux/QtScheduler.h"
#include "platform/linux/XdgPaths.h"

#include <QCoreApplication>

#include <cstring>

namespace mirl {

bool micSmokeRequested(int argc, char** argv) {
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--mic-smoke") == 0) {
            return true;
        }
    }
    return false;
}

int runMicSmoke(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SystemClock clock;
    QtScheduler scheduler;
    StderrConsole console;
    std::optional<std::filesystem::path> log;
    if (const auto dataHome = xdg::dataHome()) {
        prepareDataFolder(*dataHome / "Mirl");
        log = *dataHome / "Mirl" / "mic-smoke.log";
    }
    PulseCaptureEngine engine(scheduler);
    MicSelfTest test({clock, scheduler, engine, console, log});
    std::optional<int> status;
    test.start([&status](MicSelfTest::Status s) {
        status = s;
        QCoreApplication::exit(s);
    });
    if (!status) {
        QCoreApplication::exec();
    }
    return status.value_or(MicSelfTest::engineFailed);
}

} // namespace mirl
