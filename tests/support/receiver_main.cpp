// t2tk-test-receiver NAME [SERVER]: the far end of a send, as a process of its
// own (a JACK client can be in one server only, and a test may need several).
// A JACK client NAME with a MIDI input "in" on SERVER (or JACK_DEFAULT_SERVER's):
// it prints "ready PERIOD-US" once the input is there, then for each message
// that comes one line "ARRIVAL-US HEX...", the arrival on the server's clock:
// its frame, in microseconds. (Frames are the same for every client of a
// period, so no thread's lateness shows; a server that stalls stops them.)
// It ends when its standard input ends.
#include <jack/jack.h>
#include <jack/midiport.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

jack_client_t* g_client = nullptr;
jack_port_t* g_port = nullptr;
int g_messages[2] = {-1, -1};  // the process callback hands each message to the main thread

// One message as it goes down the pipe: its arrival, its size, its bytes.
struct Head {
    long long arrival;
    std::uint32_t size;
};

// The frame counter, unwrapped.
long long g_frames = 0;
jack_nframes_t g_last = 0;

extern "C" int Process(jack_nframes_t frames, void* /*unused*/)
{
    const jack_nframes_t now = jack_last_frame_time(g_client);
    g_frames += static_cast<jack_nframes_t>(now - g_last);
    g_last = now;
    const jack_nframes_t rate = jack_get_sample_rate(g_client);
    void* buffer = jack_port_get_buffer(g_port, frames);
    const std::uint32_t count = jack_midi_get_event_count(buffer);
    for (std::uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event{};
        if (jack_midi_event_get(&event, buffer, i) != 0) {
            continue;
        }
        std::vector<unsigned char> record(sizeof(Head) + event.size);
        const Head head{(g_frames + event.time) * 1000000 / rate,
                        static_cast<std::uint32_t>(event.size)};
        std::copy_n(reinterpret_cast<const unsigned char*>(&head), sizeof head, record.begin());
        std::copy_n(event.buffer, event.size, record.begin() + sizeof head);
        (void)!::write(g_messages[1], record.data(), record.size());
    }
    return 0;
}

bool ReadAll(int descriptor, void* data, std::size_t size)
{
    auto* bytes = static_cast<unsigned char*>(data);
    while (size > 0) {
        const ssize_t got = ::read(descriptor, bytes, size);
        if (got <= 0) {
            return false;
        }
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || ::pipe(g_messages) != 0) {
        std::fprintf(stderr, "usage: t2tk-test-receiver NAME [SERVER]\n");
        return 2;
    }
    jack_status_t status{};
    g_client = argc > 2 ? jack_client_open(argv[1], static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                                           &status, argv[2])
                        : jack_client_open(argv[1], JackNoStartServer, &status);
    if (g_client == nullptr) {
        std::printf("failed\n");
        return 1;
    }
    g_port = jack_port_register(g_client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    g_last = jack_frame_time(g_client);
    jack_set_process_callback(g_client, Process, nullptr);
    if (g_port == nullptr || jack_activate(g_client) != 0) {
        std::printf("failed\n");
        return 1;
    }
    std::printf("ready %lld\n", static_cast<long long>(jack_get_buffer_size(g_client)) * 1000000 /
                                    jack_get_sample_rate(g_client));
    std::fflush(stdout);
    pollfd watched[2] = {{STDIN_FILENO, POLLIN, 0}, {g_messages[0], POLLIN, 0}};
    for (;;) {
        if (::poll(watched, 2, -1) < 0) {
            continue;
        }
        if (watched[1].revents != 0) {
            Head head{};
            std::vector<unsigned char> bytes;
            if (ReadAll(g_messages[0], &head, sizeof head)) {
                bytes.resize(head.size);
                ReadAll(g_messages[0], bytes.data(), bytes.size());
                std::printf("%lld", head.arrival);
                for (const unsigned char byte : bytes) {
                    std::printf(" %02x", byte);
                }
                std::printf("\n");
                std::fflush(stdout);
            }
        }
        if (watched[0].revents != 0) {
            char ignored[64];
            if (::read(STDIN_FILENO, ignored, sizeof ignored) <= 0) {
                break;
            }
        }
    }
    jack_deactivate(g_client);
    jack_client_close(g_client);
    return 0;
}
