// The MIDI module on Linux: the ALSA sequencer's ports through RtMidi, and
// JACK's through a client of our own, in one numbered list.
#include <cstdlib>

#include "send/alsa_port.h"
#include "send/jack_port.h"
#include "send/midi_system.h"

namespace t2tk::send {

namespace {

class LinuxMidiSystem : public MidiSystem {
public:
    SystemPorts Ports() override
    {
        SystemPorts ports;
        std::string alsaReason;
        std::string jackReason;
        ports.list.names = ListAlsaPorts(alsaReason);
        for (const std::string& name : ports.list.names) {
            ports.keys.push_back("alsa:" + name);
        }
        m_jackFrom = ports.list.names.size();
        // A JACK port's name is the same on every user's server.
        const char* server = std::getenv("JACK_DEFAULT_SERVER");
        for (std::string& name : ListJackPorts(jackReason)) {
            ports.keys.push_back("jack:" + std::string(server != nullptr ? server : "default") + ":" + name);
            ports.list.names.push_back(std::move(name));
        }
        if (ports.list.names.empty()) {
            ports.list.reason = alsaReason + "; " + jackReason;
        }
        m_names = ports.list.names;
        return ports;
    }

    std::unique_ptr<MidiPort> Open(const std::string& name, SendError& failure) override
    {
        for (std::size_t i = 0; i < m_names.size(); ++i) {
            if (m_names[i] == name) {
                return i < m_jackFrom ? OpenAlsaPort(name, failure) : OpenJackPort(name, failure);
            }
        }
        failure = {SendProblem::Gone, name, {}};
        return nullptr;
    }

private:
    std::vector<std::string> m_names;  // as Ports() last gave them
    std::size_t m_jackFrom = 0;        // the first of JACK's among them
};

}  // namespace

}  // namespace t2tk::send

extern "C" t2tk::send::MidiSystem* t2tk_new_midi_system()
{
    return new t2tk::send::LinuxMidiSystem;
}
