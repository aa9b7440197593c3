#include "app/doctor/DoctorReport.h"

namespace mirl::doctor {

Section probesSection() {
    Section s{"probes", {"not examined yet"}, {{"status", "not examined yet"}}};
    return s;
}

} // namespace mirl::doctor
