#include "app/doctor/DoctorReport.h"
#include "platform/linux/PulseAudioControl.h"
#include "platform/linux/QtScheduler.h"

namespace mirl::doctor {

Section audioSection() {
    Section s{"audio", {}, {}};
    QtScheduler scheduler;
    PulseAudioControl audio(scheduler);
    const auto info = audio.serverInfo();
    if (!info) {
        s.lines.push_back("Sound server: not reachable (no PulseAudio or PipeWire pulse server answered); "
                          "Mirl cannot fade the volume or play the wake sound");
        s.data = {{"server", nullptr}};
        return s;
    }
    s.lines.push_back("Sound server: " + info->server + " " + info->version);
    const auto output = audio.defaultOutputDevice();
    const auto volume = audio.deviceVolume(output);
    if (output == 0) {
        s.lines.push_back("Default output: none");
    } else {
        s.lines.push_back("Default output: " + info->defaultOutputName + " (" + info->defaultOutputUid +
                          "), volume " +
                          (volume ? std::to_string(*volume) + "%" : std::string("unreadable")));
    }
    const auto inputs = audio.inputDevices();
    const auto defaultInput = audio.defaultInputDevice();
    s.lines.push_back(inputs.empty() ? "Inputs: none" : "Inputs (* = default):");
    nlohmann::json inputList = nlohmann::json::array();
    for (const auto& input : inputs) {
        const bool isDefault = input.id == defaultInput;
        s.lines.push_back(std::string(isDefault ? "  * " : "    ") + input.name + " (" + input.uid + ")");
        inputList.push_back({{"name", input.name}, {"uid", input.uid}, {"default", isDefault}});
    }
    const bool playing = audio.isOutputPlaying();
    s.lines.push_back(std::string("Something playing: ") + (playing ? "yes" : "no"));
    s.data = {{"server", info->server},
              {"version", info->version},
              {"default_output", info->defaultOutputUid},
              {"default_output_name", info->defaultOutputName},
              {"volume_percent", volume ? nlohmann::json(*volume) : nlohmann::json(nullptr)},
              {"inputs", inputList},
              {"default_input", info->defaultInputUid},
              {"playing", playing}};
    return s;
}

} // namespace mirl::doctor
