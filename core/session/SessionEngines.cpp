#include "core/session/SessionEngines.h"

namespace mirl {

SessionEngines::SessionEngines(Platform p, WakeSoundTiming wakeSoundTiming)
    : volumeMonitor(p.audio, p.logger), systemAudio(p.audio, volumeMonitor, p.scheduler, p.logger),
      baseline({p.overlay, p.brightness, p.nightShift, p.gamma, systemAudio}, p.probes, p.clock, p.logger,
               p.restoreState),
      timer(p.clock, p.scheduler, p.settings, p.logger, p.power, p.console),
      fader(p.clock, p.scheduler, p.settings, p.logger, p.probes),
      wakeSound(p.clock, p.scheduler, p.logger, p.console, p.players, p.resources, p.probes, wakeSoundTiming),
      alert(p.alertPanel, p.clock, p.scheduler, p.logger),
      detector({p.clock, p.scheduler, p.logger, p.settings, p.console, p.microphone, p.inputs, p.probes,
                p.playback, p.analysisQueue, p.bandQueue, p.recorderQueue, std::move(p.createRecording)},
               std::move(p.classifier)),
      orchestrator({p.clock, p.scheduler, p.settings, p.logger, p.console, p.probes, timer, fader, detector,
                    systemAudio, volumeMonitor, p.overlay, p.brightness, p.nightShift, wakeSound, baseline,
                    alert}) {}

} // namespace mirl
