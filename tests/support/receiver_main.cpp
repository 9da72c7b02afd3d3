// t2tk-test-receiver NAME [SERVER [LATE]]: the far end of a send, as a process
// of its own (a JACK client can be in one server only, and a test may need
// several). A JACK client NAME with a MIDI input "in" on SERVER ("-" or none:
// JACK_DEFAULT_SERVER's). LATE makes it a receiver that runs late: its period
// overruns by 600 ms once the LATE-th message has come, or, with "dumps", once
// each program dump has; with "stop-N" it stops after the N-th message, as a
// process stopped by SIGSTOP or a debugger does, until SIGCONT. Otherwise:
// it prints "ready PERIOD-US" once the input is there, then for each message
// that comes one line "ARRIVAL-US HEX...", the arrival on the server's clock:
// its frame, in microseconds. (Frames are the same for every client of a
// period, so no thread's lateness shows; a server that stalls stops them.)
// It ends when its standard input ends.
#include <jack/jack.h>
#include <jack/midiport.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

jack_client_t* g_client = nullptr;
jack_port_t* g_port = nullptr;
// The frame counter, unwrapped.
long long g_frames = 0;
jack_nframes_t g_last = 0;
// When to run late: after message g_lateAt (1-based), or after every program dump.
long g_lateAt = 0;
bool g_lateAtDumps = false;
long g_stopAt = 0;  // the message after which it stops, as SIGSTOP stops it
long g_count = 0;

// Each message as one line, written at once: nothing in it allocates, and the
// test reads the lines as they come.
extern "C" int Process(jack_nframes_t frames, void* /*unused*/)
{
    const jack_nframes_t now = jack_last_frame_time(g_client);
    g_frames += static_cast<jack_nframes_t>(now - g_last);
    g_last = now;
    const jack_nframes_t rate = jack_get_sample_rate(g_client);
    void* buffer = jack_port_get_buffer(g_port, frames);
    static char line[32 + 3 * 8192];
    for (std::uint32_t i = 0; i < jack_midi_get_event_count(buffer); ++i) {
        jack_midi_event_t event{};
        if (jack_midi_event_get(&event, buffer, i) != 0) {
            continue;
        }
        int length = std::snprintf(line, 32, "%lld", (g_frames + event.time) * 1000000 / rate);
        for (std::size_t byte = 0; byte < event.size && byte < 8192; ++byte) {
            length += std::snprintf(line + length, 4, " %02x", event.buffer[byte]);
        }
        line[length++] = '\n';
        (void)!::write(STDOUT_FILENO, line, static_cast<std::size_t>(length));
        ++g_count;
        if (g_count == g_stopAt) {
            ::kill(::getpid(), SIGSTOP);  // every thread of it, until SIGCONT
        }
        if (g_count == g_lateAt || (g_lateAtDumps && event.size > 4 && event.buffer[4] == 0x11)) {
            ::usleep(600000);  // longer than any period, and than the spacing before the next message
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: t2tk-test-receiver NAME [SERVER [LATE]]\n");
        return 2;
    }
    if (argc > 3) {
        g_lateAtDumps = std::strcmp(argv[3], "dumps") == 0;
        g_lateAt = std::strtol(argv[3], nullptr, 10);
        if (std::strncmp(argv[3], "stop-", 5) == 0) {
            g_stopAt = std::strtol(argv[3] + 5, nullptr, 10);
        }
    }
    jack_status_t status{};
    g_client = argc > 2 && std::strcmp(argv[2], "-") != 0
                   ? jack_client_open(argv[1], static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status,
                                      argv[2])
                   : jack_client_open(argv[1], JackNoStartServer, &status);
    g_port = g_client != nullptr ? jack_port_register(g_client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0)
                                 : nullptr;
    if (g_port == nullptr) {
        std::printf("failed\n");
        return 1;
    }
    g_last = jack_frame_time(g_client);
    jack_set_process_callback(g_client, Process, nullptr);
    // Told of xruns, as most clients that show them are: such a client that
    // stops holds up the server's notices to every client until it goes on.
    jack_set_xrun_callback(g_client, [](void*) { return 0; }, nullptr);
    if (jack_activate(g_client) != 0) {
        std::printf("failed\n");
        return 1;
    }
    std::printf("ready %lld\n", static_cast<long long>(jack_get_buffer_size(g_client)) * 1000000 /
                                    jack_get_sample_rate(g_client));
    std::fflush(stdout);
    for (char ignored[64]; ::read(STDIN_FILENO, ignored, sizeof ignored) > 0;) {
    }
    jack_deactivate(g_client);
    jack_client_close(g_client);
    return 0;
}
