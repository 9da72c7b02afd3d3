// The MIDI ports on Windows: the system's own MIDI output API (WinMM).
#include <windows.h>

#include <mmsystem.h>

#include "convert/utf16.h"
#include "send/midi_port.h"
#include "send/port_choice.h"

namespace t2tk::send {

namespace {

std::string ErrorText(MMRESULT result)
{
    wchar_t text[MAXERRORLENGTH] = {};
    ::midiOutGetErrorTextW(result, text, MAXERRORLENGTH);
    return Utf8(text);
}

class WinMmPort : public MidiPort {
public:
    WinMmPort(HMIDIOUT out, std::string name) : m_out(out), m_name(std::move(name)) {}
    ~WinMmPort() override { ::midiOutClose(m_out); }
    WinMmPort(const WinMmPort&) = delete;
    WinMmPort& operator=(const WinMmPort&) = delete;

    bool Send(const std::uint8_t* message, std::size_t size, std::string& failure) override
    {
        MIDIHDR header{};
        header.lpData = reinterpret_cast<LPSTR>(const_cast<std::uint8_t*>(message));
        header.dwBufferLength = static_cast<DWORD>(size);
        MMRESULT result = ::midiOutPrepareHeader(m_out, &header, sizeof header);
        if (result == MMSYSERR_NOERROR) {
            result = ::midiOutLongMsg(m_out, &header, sizeof header);
            // The device tells when it has the whole message; a SysEx of 118
            // bytes takes some 40 ms down a MIDI cable.
            for (int waited = 0; result == MMSYSERR_NOERROR && (header.dwFlags & MHDR_DONE) == 0 && waited < 5000;
                 ++waited) {
                ::Sleep(1);
            }
            ::midiOutUnprepareHeader(m_out, &header, sizeof header);
        }
        if (result != MMSYSERR_NOERROR) {
            failure = "the MIDI port \"" + m_name + "\" failed: " + ErrorText(result);
            return false;
        }
        return true;
    }

private:
    HMIDIOUT m_out;
    std::string m_name;
};

}  // namespace

PortList ListOutputPorts()
{
    PortList list;
    const UINT count = ::midiOutGetNumDevs();
    for (UINT i = 0; i < count; ++i) {
        MIDIOUTCAPSW caps{};
        if (::midiOutGetDevCapsW(i, &caps, sizeof caps) == MMSYSERR_NOERROR) {
            list.names.push_back(Utf8(caps.szPname));
        }
    }
    if (list.names.empty()) {
        list.reason = "Windows knows no MIDI output device";
    }
    return list;
}

std::unique_ptr<MidiPort> OpenOutputPort(const std::string& wanted, std::string& failure)
{
    const PortList list = ListOutputPorts();
    const PortChoice choice = ChoosePort(list.names, wanted, list.reason);
    if (!choice.index) {
        failure = choice.failure;
        return nullptr;
    }
    HMIDIOUT out = nullptr;
    const MMRESULT result = ::midiOutOpen(&out, static_cast<UINT>(*choice.index), 0, 0, CALLBACK_NULL);
    if (result != MMSYSERR_NOERROR) {
        failure = "cannot open the MIDI port \"" + list.names[*choice.index] + "\": " + ErrorText(result);
        return nullptr;
    }
    return std::make_unique<WinMmPort>(out, list.names[*choice.index]);
}

}  // namespace t2tk::send
