// mirl-doctor: tells a user what Mirl can do on this desktop.

#include "app/doctor/DoctorReport.h"
#include "runtime/Version.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <functional>

using namespace mirl;

int main(int argc, char** argv) {
    bool json = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) {
            json = true;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("Usage: mirl-doctor [--json]\nReports what Mirl can do on this desktop.\n");
            return 0;
        } else {
            std::fprintf(stderr, "mirl-doctor: unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    QCoreApplication app(argc, argv);

    const std::vector<std::function<doctor::Section()>> sections = {
        doctor::probesSection,
        doctor::audioSection,
        doctor::screenSection,
    };

    nlohmann::json report = {{"version", kVersion}};
    if (!json)
        std::printf("Mirl %s doctor\n", kVersion);
    for (const auto& make : sections) {
        doctor::Section section = make();
        report[section.title] = section.data;
        if (!json) {
            std::printf("\n[%s]\n", section.title.c_str());
            for (const auto& line : section.lines)
                std::printf("  %s\n", line.c_str());
        }
    }
    if (json)
        std::printf("%s\n", report.dump(2).c_str());
    return 0;
}
