#pragma once

#include "core/settings/Settings.h"
#include "fade/BrightnessController.h"
#include "fade/GammaController.h"
#include "fade/NightShiftController.h"
#include "fade/ScreenOverlayController.h"
#include "platform/fake/FakeBacklight.h"
#include "platform/fake/FakeGammaRamps.h"
#include "platform/fake/FakeNightLight.h"
#include "platform/fake/MemoryRestoreState.h"
#include "platform/fake/MemorySettingsStore.h"
#include "runtime/Console.h"
#include "tests/support/RecordingEventSink.h"

namespace mirl::test {

/// A ScreenOverlayController with everything it fans out to: fake backlight, gamma ramps and
/// night light, settings in memory and a recording console and journal. `Surfaces` is where the
/// veil goes: FakeOverlaySurfaces in unit tests, QtOverlaySurfaces on a real display.
template <class Surfaces> struct OverlayWorld {
    MemorySettingsStore store;
    Settings settings{store};
    RecordingConsole console;
    RecordingEventSink events;
    MemoryRestoreState restoreState;
    FakeBacklight backlight;
    FakeGammaRamps ramps;
    FakeNightLight light;
    Surfaces surfaces;
    BrightnessController brightness{backlight, settings, events, restoreState};
    GammaController gamma{&ramps};
    NightShiftController nightShift{&light, console};
    ScreenOverlayController overlay{surfaces, settings, console, nightShift, brightness, gamma};
};

} // namespace mirl::test
