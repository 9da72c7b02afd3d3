// The MIDI ports on Windows: the system's own MIDI output API (WinMM), linked
// in directly (it costs a program nothing until a port is opened).
#include <windows.h>

#include <mmsystem.h>

#include <algorithm>

#include "files/utf16.h"
#include "send/midi_system.h"
#include "send/port_choice.h"

namespace t2tk::send {

namespace {

std::string ErrorText(MMRESULT result)
{
    wchar_t text[MAXERRORLENGTH] = {};
    ::midiOutGetErrorTextW(result, text, MAXERRORLENGTH);
    return Utf8(text);
}

// A message has left once the driver hands its buffer back (MHDR_DONE): the
// next one is due a spacing after that.
class WinMmPort : public PacedPort {
public:
    WinMmPort(HMIDIOUT out, HANDLE done, std::string name)
        : PacedPort(SteadyClock()), m_out(out), m_done(done), m_name(std::move(name))
    {
    }
    ~WinMmPort() override
    {
        ::midiOutReset(m_out);
        ::midiOutClose(m_out);
        ::CloseHandle(m_done);
    }
    WinMmPort(const WinMmPort&) = delete;
    WinMmPort& operator=(const WinMmPort&) = delete;

private:
    bool Deliver(std::span<const std::uint8_t> message, SendError& failure) override
    {
        bool taken = true;
        const std::size_t size = message.size();
        MIDIHDR header{};
        header.lpData = reinterpret_cast<LPSTR>(const_cast<std::uint8_t*>(message.data()));
        header.dwBufferLength = static_cast<DWORD>(size);
        MMRESULT result = ::midiOutPrepareHeader(m_out, &header, sizeof header);
        if (result == MMSYSERR_NOERROR) {
            ::ResetEvent(m_done);
            result = ::midiOutLongMsg(m_out, &header, sizeof header);
            // The driver says when it has the whole message (a SysEx of 118
            // bytes takes some 40 ms down a MIDI cable); it signals the event
            // it was opened with. Give it a second and the cable's time.
            const ULONGLONG deadline = ::GetTickCount64() + 1000 + size;
            while (result == MMSYSERR_NOERROR && (header.dwFlags & MHDR_DONE) == 0 && ::GetTickCount64() < deadline) {
                ::WaitForSingleObject(m_done, static_cast<DWORD>(deadline - ::GetTickCount64()));
            }
            if (result == MMSYSERR_NOERROR && (header.dwFlags & MHDR_DONE) == 0) {
                ::midiOutReset(m_out);  // hands the header back
                failure = {SendProblem::NotTaken, m_name, {}};
                taken = false;
            }
            // The header is the driver's until it hands it back.
            while (::midiOutUnprepareHeader(m_out, &header, sizeof header) == MIDIERR_STILLPLAYING) {
                ::WaitForSingleObject(m_done, 100);
            }
        }
        if (result != MMSYSERR_NOERROR) {
            failure = {SendProblem::Failed, m_name, ErrorText(result)};
            taken = false;
        }
        return taken;
    }

    HMIDIOUT m_out;
    HANDLE m_done;
    std::string m_name;
};

class WinMmSystem : public MidiSystem {
public:
    SystemPorts Ports() override
    {
        m_ports = ListDevices(::midiOutGetNumDevs(), [](unsigned device) -> std::optional<std::string> {
            MIDIOUTCAPSW caps{};
            if (::midiOutGetDevCapsW(device, &caps, sizeof caps) != MMSYSERR_NOERROR) {
                return std::nullopt;
            }
            return Utf8(caps.szPname);
        });
        SystemPorts ports;
        ports.list.names = m_ports.names;
        for (const std::string& name : m_ports.names) {
            ports.keys.push_back("winmm:" + name);
        }
        if (ports.list.names.empty()) {
            ports.list.reason = "Windows knows no MIDI output device";
        }
        return ports;
    }

    std::unique_ptr<MidiPort> Open(const std::string& name, SendError& failure) override
    {
        Ports();  // afresh: the devices may have moved in the list since
        const auto found = std::find(m_ports.names.begin(), m_ports.names.end(), name);
        if (found == m_ports.names.end()) {
            failure = {SendProblem::Gone, name, {}};
            return nullptr;
        }
        const auto index = static_cast<std::size_t>(found - m_ports.names.begin());
        HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HMIDIOUT out = nullptr;
        const MMRESULT result = ::midiOutOpen(&out, m_ports.devices[index], reinterpret_cast<DWORD_PTR>(done), 0,
                                              CALLBACK_EVENT);
        if (result != MMSYSERR_NOERROR) {
            ::CloseHandle(done);
            failure = {SendProblem::CannotOpen, name, ErrorText(result)};
            return nullptr;
        }
        return std::make_unique<WinMmPort>(out, done, name);
    }

private:
    DevicePorts m_ports;
};

}  // namespace

std::unique_ptr<MidiSystem> LoadMidiSystem(std::string& /*failure*/)
{
    return std::make_unique<WinMmSystem>();
}

}  // namespace t2tk::send
