// Sending to a MIDI port: the choice of a port, the pacing, stops and failures
// against a clock and ports of the tests' own (no waiting), files sent again,
// and t2tk-convert --send as a process against a real MIDI system, a JACK
// server with the dummy driver.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include "cli/send_run.h"
#include "convert/saved_messages.h"
#include "send/port_choice.h"
#include "tests/support/fake_ports.h"
#include "tests/support/midi_receiver.h"
#include "tests/support/test_support.h"

namespace t2tk {
namespace {

using namespace std::chrono_literals;
using test::Bytes;

TEST(PortChoice, NumberWholeNameOrPartOfIt)
{
    const std::vector<std::string> ports = {"Midi Through:0", "Thumpkrate MIDI 1", "Thumpkrate MIDI 10"};
    const std::pair<const char*, std::string> cases[] = {
        // what is wanted, and the port chosen or why none is ("+": and the ports are listed)
        {"2", "2"},
        {"through", "0"},
        {"Thumpkrate MIDI 1", "1"},  // a whole name wins over the longer one it is part of
        {"thumpkrate", "\"thumpkrate\" matches several MIDI output ports+"},
        {"synth", "\"synth\" matches no MIDI output port+"},
        {"3", "there is no MIDI output port 3+"},
    };
    for (const auto& [wanted, expected] : cases) {
        const send::PortChoice choice = send::ChoosePort(ports, wanted);
        EXPECT_EQ(choice.index ? std::to_string(*choice.index) : choice.failure + (choice.listPorts ? "+" : ""),
                  expected)
            << wanted;
    }
    EXPECT_EQ(send::ChoosePort({}, "1", "JACK: no server is running").failure,
              "no MIDI output ports found (JACK: no server is running)");
    // A device that does not tell its name is left out, and the ones after it
    // keep their own numbers.
    const send::DevicePorts devices = send::ListDevices(3, [](unsigned device) -> std::optional<std::string> {
        return device == 1 ? std::nullopt : std::optional<std::string>("device " + std::to_string(device));
    });
    EXPECT_EQ(devices.names, (std::vector<std::string>{"device 0", "device 2"}));
    EXPECT_EQ(devices.devices, (std::vector<unsigned>{0, 2}));
}

// The messages of two presets, and the spacing the module needs before each:
// a second before a program dump, a quarter of a second before the rest.
class SenderTest : public ::testing::Test {
protected:
    test::TempDir dir;
    test::FakeClock clock;
    test::FakePorts ports{clock};
    Bytes messages;

    SenderTest()
    {
        EXPECT_TRUE(test::ConvertToFile({T2TK_CORPUS_DIR "/in-range.fxp", T2TK_CORPUS_DIR "/edges.fxp"},
                                        dir.File("two.syx"), 4, false, OutputFormat::SysEx)
                        .written);
        messages = test::ReadBytes(dir.File("two.syx"));
    }
    send::SendResult Send(const std::stop_token& stop = {}, std::vector<send::SendStatus>* statuses = nullptr)
    {
        send::PortProblem problem;
        const auto port = ports.Open("Thump A", problem);
        return send::SendMessages(*port, messages, stop, [statuses](const send::SendStatus& status) {
            if (statuses != nullptr) {
                statuses->push_back(status);
            }
        }, clock);
    }
    static std::chrono::microseconds Spacing(const Bytes& message) { return message[4] == 0x11 ? 1000ms : 250ms; }
};

TEST_F(SenderTest, NoMessageFollowsAnotherSoonerThanTheModuleTakesIt)
{
    const struct {
        const char* what;
        std::map<int, std::chrono::microseconds> stalls;
        std::chrono::microseconds late;
    } cases[] = {
        {"on time", {}, {}},
        {"stopped for 3 s after message 10 (SIGSTOP, a suspended laptop)", {{10, 3s}}, {}},
        {"a busy machine that wakes 20 ms late", {}, 20ms},
    };
    for (const auto& c : cases) {
        const std::size_t before = ports.Messages().size();
        ports.stalls.clear();
        for (const auto& [message, time] : c.stalls) {
            ports.stalls[static_cast<int>(before) + message] = time;  // the ports count every message of every send
        }
        clock.WakeLateBy(c.late);
        const send::SendClock::TimePoint start = clock.Now();
        EXPECT_EQ(Send().ending, send::SendEnding::Done) << c.what;
        std::vector<test::Sent> sent = ports.Messages();
        sent.erase(sent.begin(), sent.begin() + static_cast<std::ptrdiff_t>(before));
        ASSERT_EQ(sent.size(), 61U) << c.what;  // the init request, then 30 a preset
        Bytes joined;
        for (std::size_t i = 0; i < sent.size(); ++i) {
            joined.insert(joined.end(), sent[i].bytes.begin(), sent[i].bytes.end());
            const auto gap = sent[i].at - (i == 0 ? start : sent[i - 1].at);
            // After the stall the next message goes at once: the rest move later.
            const auto wanted = c.stalls.contains(static_cast<int>(i) - 1) ? 3'000'000us : Spacing(sent[i].bytes);
            EXPECT_GE(gap, Spacing(sent[i].bytes)) << c.what << ", message " << i;
            if (c.late == std::chrono::microseconds{}) {
                EXPECT_EQ(gap, wanted) << c.what << ", message " << i;
            }
        }
        EXPECT_EQ(joined, messages) << c.what;
        EXPECT_EQ(clock.Now() - sent.back().at, 500ms + c.late) << c.what << ": the module's time to store";
    }
}

TEST_F(SenderTest, AStopOrAFailureEndsBetweenMessagesWithWhatWasStored)
{
    const struct {
        std::size_t sent;
        int stopAt, failAt;
        send::SendEnding ending;
        int stored;
    } cases[] = {
        {4, 3, -1, send::SendEnding::Stopped, 0},
        {36, 35, -1, send::SendEnding::Stopped, 1},   // the first preset's store request was message 30
        {61, 60, -1, send::SendEnding::Stopped, 2},   // in the module's time to store the last
        {40, -1, 40, send::SendEnding::PortFailed, 1},
        {30, -1, 30, send::SendEnding::PortFailed, 0},  // its store request never went out
    };
    for (const auto& c : cases) {
        std::stop_source stop;
        const std::size_t before = ports.Messages().size();
        const auto offset = static_cast<int>(before);  // the ports count every message of every send
        ports.stopAfter = &stop;
        ports.stopAt = c.stopAt < 0 ? -1 : offset + c.stopAt;
        ports.failAt = c.failAt < 0 ? -1 : offset + c.failAt;
        const send::SendResult result = Send(stop.get_token());
        EXPECT_EQ(result.ending, c.ending) << c.stopAt << " " << c.failAt;
        EXPECT_EQ(ports.Messages().size() - before, c.sent) << c.stopAt << " " << c.failAt;
        EXPECT_EQ(result.stored, c.stored) << c.stopAt << " " << c.failAt;
        EXPECT_EQ(result.presets, 2);
        if (c.ending == send::SendEnding::PortFailed) {
            EXPECT_EQ(result.failure, "the MIDI port \"Thump A\" is gone");
        }
        ports.stopAt = -1;
        ports.failAt = -1;
    }
}

TEST_F(SenderTest, StatusTellsPresetProgramAndTimeLeft)
{
    std::vector<send::SendStatus> statuses;
    Send({}, &statuses);
    ASSERT_EQ(statuses.size(), 61U);
    const struct {
        std::size_t message;
        int preset, program;
        std::chrono::milliseconds left;
    } cases[] = {
        {0, 1, 5, 17'000ms},  // the init request belongs to the first preset; then 1 + 29 x 0.25 s twice, and 0.5 s
        {1, 1, 5, 16'000ms},
        {31, 2, 6, 7'750ms},
        {60, 2, 6, 500ms},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(statuses[c.message].message, static_cast<int>(c.message) + 1);
        EXPECT_EQ(statuses[c.message].preset, c.preset) << c.message;
        EXPECT_EQ(statuses[c.message].program, c.program) << c.message;
        EXPECT_EQ(statuses[c.message].left, c.left) << c.message;
    }
    EXPECT_EQ(send::TimeLeft(statuses[0].left), "0:17");

    // A message that calls itself a program dump but ends before its slot is
    // never read past its end.
    messages = {0xF0, 0x3E, 0x11, 0x00, 0x11, 0xF7};
    statuses.clear();
    Send({}, &statuses);
    ASSERT_EQ(statuses.size(), 1U);
    EXPECT_EQ(statuses[0].program, 0);
}

// A file t2tk wrote is sent again as it is; anything that is not the module's
// is refused, naming the first message that is not.
TEST(SavedMessages, OnlyTheModulesMessagesAreSentAgain)
{
    const Bytes syx = test::ReadBytes(T2TK_CORPUS_DIR "/in-range.syx");  // what in-range.mid carries
    Bytes badSum = syx;
    badSum[10 + 47] ^= 1;  // the program dump's checksum
    Bytes noted = test::ReadBytes(T2TK_CORPUS_DIR "/in-range.mid");
    noted.insert(noted.end() - 4, {0x00, 0x90, 0x3C, 0x40});  // a note before the end of the track
    noted[21] += 4;
    const struct {
        const char* what;
        Bytes file;
        std::string failure;  // empty: its messages are the .syx
    } cases[] = {
        {"the .mid", test::ReadBytes(T2TK_CORPUS_DIR "/in-range.mid"), ""},
        {"the .syx", syx, ""},
        {"a wrong checksum", badSum, "message 2 (at byte 10) is not one of the module's messages"},
        {"a message cut short", Bytes(syx.begin(), syx.end() - 3),
         "message 31 (at byte 2999) is not one of the module's messages"},
        {"a note", noted, "message 32 (at byte 3129) is not one of the module's messages"},
        {"a header alone", Bytes(noted.begin(), noted.begin() + 14), "it holds no message for the module"},
        {"a MIDI file cut short", Bytes(noted.begin(), noted.begin() + 100), "the MIDI file ends inside a chunk"},
    };
    for (const auto& c : cases) {
        const SavedMessages saved = ReadSavedMessages(c.file);
        EXPECT_EQ(saved.failure, c.failure) << c.what;
        EXPECT_EQ(saved.messages, c.failure.empty() ? syx : Bytes{}) << c.what;
    }
    EXPECT_EQ(KindOfFile(test::ReadBytes(T2TK_CORPUS_DIR "/in-range.fxp")), FileKind::Preset);
}

TEST(ProgressLine, FitsTheTerminalItIsShownOn)
{
    const std::string line = "Sending R\xC3\xB6" "ck Kit to program 5 (1 of 4): message 12 of 121, 0:23 left";
    EXPECT_EQ(cli::ProgressLine(line, 200), line);
    EXPECT_EQ(cli::ProgressLine(line, 12), "Sending R\xC3\xB6" "c");  // 11 characters, one of them two bytes
    EXPECT_EQ(cli::ProgressLine(line, 1), "");
}

struct Outcome {
    int status;
    std::string err;
};

// t2tk-convert as a process of its own, in folder, its standard error kept in a file there.
class Converter {
public:
    Converter(const std::string& folder, std::vector<std::string> arguments)
        : m_err(folder + "/err-" + std::to_string(++s_runs))
    {
        arguments.insert(arguments.begin(), T2TK_CONVERT_EXE);
        std::vector<char*> argv;
        argv.reserve(arguments.size() + 1);
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
        posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
    }
    void Signal(int signal) const { ::kill(m_pid, signal); }
    Outcome Wait() const
    {
        int raw = 0;
        ::waitpid(m_pid, &raw, 0);
        const Bytes err = test::ReadBytes(m_err);
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, std::string(err.begin(), err.end())};
    }

private:
    static inline int s_runs = 0;
    pid_t m_pid = -1;
    std::string m_err;
};

// The messages of a file cut to its first count messages.
Bytes FirstMessages(const Bytes& messages, std::size_t count)
{
    std::size_t end = 0;
    for (std::size_t i = 0; i < count; ++i) {
        end = static_cast<std::size_t>(std::find(messages.begin() + static_cast<std::ptrdiff_t>(end), messages.end(), 0xF7) -
                                       messages.begin()) + 1;
    }
    return Bytes(messages.begin(), messages.begin() + static_cast<std::ptrdiff_t>(end));
}

class SendTest : public ::testing::Test {
protected:
    test::TempDir dir;
    Bytes two;  // two presets' messages: 61, some 17 s on the module's schedule

    SendTest()
    {
        EXPECT_TRUE(test::ConvertToFile({T2TK_CORPUS_DIR "/in-range.fxp", T2TK_CORPUS_DIR "/edges.fxp"},
                                        dir.File("two.syx"), 0, false, OutputFormat::SysEx)
                        .written);
        two = test::ReadBytes(dir.File("two.syx"));
        test::WriteBytes(dir.File("short.syx"), FirstMessages(two, 3));  // init, program dump, a voice: 1.5 s
        // An init request and the first store request: a send of a second.
        test::WriteBytes(dir.File("requests.syx"),
                         test::Concat({FirstMessages(two, 1), Bytes(two.begin() + 2999, two.begin() + 3009)}));
        test::CopyExample("rock-kit.fxp", dir.File("a.fxp"));
    }
};

// One real send, in real time: every byte arrives, each message on the
// module's schedule; a saved file goes as it is, a preset converted.
TEST_F(SendTest, ArrivesWholeAndOnTime)
{
    const test::MidiReceiver receiver("t2tk-one");
    const Outcome run = Converter(dir.path(), {"--send", "ONE:IN", "short.syx"}).Wait();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(test::Joined(receiver.Messages()), FirstMessages(two, 3));
    const auto [earliest, latest] = test::ScheduleErrors(receiver.Messages());
    EXPECT_GE(earliest, -5.0);
    EXPECT_LE(latest, 40.0);

    const Outcome wrong = Converter(dir.path(), {"--send", "nothing-like-it", "-o", "out.mid", "a.fxp"}).Wait();
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.err.find("matches no MIDI output port; the MIDI output ports are:\n"), std::string::npos);
    EXPECT_NE(wrong.err.find("t2tk-one:in\n"), std::string::npos) << wrong.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.mid")));  // the port is looked for first
}

// Messages that can no longer reach the port end the send with status 1 and
// the account: a connection cut, the receiver restarted under its name (a
// replug), the port gone for good. All three at once, to ports of their own.
TEST_F(SendTest, ASendThatCannotReachThePortEndsWithTheAccount)
{
    const struct {
        const char* what;
        std::vector<std::string> failures;  // a replug seen before its new port is there is a port gone
    } cases[] = {
        {"cut", {"the connection to the MIDI port \"t2tk-cut:in\" was cut"}},
        {"replug", {"the connection to the MIDI port \"t2tk-replug:in\" was cut",
                    "the MIDI port \"t2tk-replug:in\" is gone"}},
        {"gone", {"the MIDI port \"t2tk-gone:in\" is gone"}},
    };
    std::vector<std::unique_ptr<test::MidiReceiver>> receivers;
    std::vector<std::unique_ptr<Converter>> converters;
    for (const auto& c : cases) {
        receivers.push_back(std::make_unique<test::MidiReceiver>("t2tk-" + std::string(c.what)));
        converters.push_back(std::make_unique<Converter>(dir.path(), std::vector<std::string>{
                                                                         "--send", "t2tk-" + std::string(c.what) + ":in",
                                                                         "two.syx"}));
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        ASSERT_TRUE(receivers[i]->WaitFor(1, 5s)) << cases[i].what;
        const std::string what = cases[i].what;
        if (what == "cut") {  // whichever t2tk client is connected to it
            ASSERT_EQ(std::system("jack_lsp -c t2tk-cut:in | sed -n 's/^ \\{1,\\}//p' | "
                                  "xargs -I{} jack_disconnect {} t2tk-cut:in"), 0);
        } else {
            receivers[i] = nullptr;
            if (what == "replug") {
                receivers[i] = std::make_unique<test::MidiReceiver>("t2tk-replug");
            }
        }
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Outcome run = converters[i]->Wait();
        EXPECT_EQ(run.status, 1) << cases[i].what;
        const auto said = [&run](const std::string& failure) {
            return run.err == "t2tk-convert: " + failure + "; 0 of 2 presets were stored completely\n";
        };
        EXPECT_TRUE(std::any_of(cases[i].failures.begin(), cases[i].failures.end(), said))
            << cases[i].what << ": " << run.err;
    }
}

// One t2tk at a time sends to a port: a second one refuses at once, or waits
// its turn with --wait. A signal stops a send between two messages.
TEST_F(SendTest, OneSenderAtATimeAndASignalStopsBetweenMessages)
{
    const test::MidiReceiver receiver("t2tk-turn");
    const Converter first(dir.path(), {"--send", "t2tk-turn", "two.syx"});
    ASSERT_TRUE(receiver.WaitFor(1, 5s));
    const Outcome second = Converter(dir.path(), {"--send", "t2tk-turn", "requests.syx"}).Wait();
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(second.err, "t2tk-convert: another t2tk is sending to the MIDI port \"t2tk-turn:in\" (--wait waits for "
                          "it)\n");
    const Converter waiting(dir.path(), {"--send", "t2tk-turn", "--wait", "requests.syx"});
    std::this_thread::sleep_for(200ms);
    first.Signal(SIGHUP);  // a closed terminal
    const Outcome stopped = first.Wait();
    EXPECT_EQ(stopped.status, 129);
    EXPECT_EQ(stopped.err, "t2tk-convert: stopped: 0 of 2 presets were stored completely\n");
    EXPECT_EQ(waiting.Wait().status, 0);
    // Whole messages of the first, then all of the waiting one's.
    const Bytes received = test::Joined(receiver.Messages());
    const Bytes tail = test::ReadBytes(dir.File("requests.syx"));
    ASSERT_GT(received.size(), tail.size());
    const Bytes head(received.begin(), received.end() - static_cast<std::ptrdiff_t>(tail.size()));
    EXPECT_EQ(head, Bytes(two.begin(), two.begin() + static_cast<std::ptrdiff_t>(head.size())));
    EXPECT_EQ(Bytes(received.end() - static_cast<std::ptrdiff_t>(tail.size()), received.end()), tail);
}

TEST_F(SendTest, NoMidiSystemIsSaid)
{
    if (std::filesystem::exists("/dev/snd/seq")) {
        GTEST_SKIP() << "this machine has an ALSA sequencer";
    }
    ::setenv("JACK_DEFAULT_SERVER", "t2tk-no-such-server", 1);  // this test's process only
    const Outcome run = Converter(dir.path(), {"--list-ports"}).Wait();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "t2tk-convert: no MIDI output ports found (ALSA: open /dev/snd/seq failed: No such file or "
                       "directory; JACK: no server is running)\n");
}

}  // namespace
}  // namespace t2tk
