#include "app/mirl/MicSmoke.h"

#include "detect/MicSelfTest.h"
#include "journal/SessionLogger.h"
#include "platform/linux/PulseCaptureEngine.h"
#include "platform/linux/QtScheduler.h"
#include "platform/linux/XdgPaths.h"

#include <QCoreApplication>

namespace mirl {

int runMicSmoke() {
    SystemClock clock;
    QtScheduler scheduler;
    StderrConsole console;
    // The logger makes the data folder as every session does (0700); no session is opened.
    const auto dataHome = xdg::dataHome();
    SessionLogger folders(clock, dataHome ? std::optional(*dataHome / "Mirl") : std::nullopt,
                          xdg::osPrettyName());
    const auto dataFolder = folders.dataFolder();
    PulseCaptureEngine engine(scheduler);
    MicSelfTest test({clock, scheduler, engine, console,
                      dataFolder.empty() ? std::nullopt : std::optional(dataFolder / "mic-smoke.log")});
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
