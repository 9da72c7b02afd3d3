// Sending to a MIDI port: the choice of a port, and t2tk-convert --send as a
// process against a real MIDI system, a JACK server with the dummy driver.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include "send/port_choice.h"
#include "tests/support/midi_receiver.h"
#include "tests/support/test_support.h"

namespace t2tk {
namespace {

using namespace std::chrono_literals;

TEST(PortChoice, NumberWholeNameOrPartOfIt)
{
    const std::vector<std::string> ports = {"Midi Through:0", "Thumpkrate MIDI 1", "Thumpkrate MIDI 10"};
    const std::string list = "; the MIDI output ports are:\n0  Midi Through:0\n1  Thumpkrate MIDI 1\n2  Thumpkrate MIDI 10\n";
    const std::pair<const char*, std::string> cases[] = {
        // what is wanted, and the port chosen or why none is
        {"2", "2"},
        {"through", "0"},
        {"Thumpkrate MIDI 1", "1"},  // a whole name wins over the longer one it is part of
        {"thumpkrate", "\"thumpkrate\" matches several MIDI output ports" + list},
        {"synth", "\"synth\" matches no MIDI output port" + list},
        {"3", "there is no MIDI output port 3" + list},
    };
    for (const auto& [wanted, expected] : cases) {
        const send::PortChoice choice = send::ChoosePort(ports, wanted);
        EXPECT_EQ(choice.index ? std::to_string(*choice.index) : choice.failure, expected) << wanted;
    }
    EXPECT_EQ(send::ChoosePort({}, "1", "JACK: no server is running").failure,
              "no MIDI output ports found (JACK: no server is running)");
}

struct Outcome {
    int status;
    std::string err;
};

// t2tk-convert as a process of its own, in folder, its standard error kept in a file there.
class Converter {
public:
    Converter(const std::string& folder, std::vector<std::string> arguments) : m_err(folder + "/err-" + std::to_string(++s_runs))
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
        const test::Bytes err = test::ReadBytes(m_err);
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, std::string(err.begin(), err.end())};
    }

private:
    static inline int s_runs = 0;
    pid_t m_pid = -1;
    std::string m_err;
};

class SendTest : public ::testing::Test {
protected:
    test::TempDir dir;
    SendTest()
    {
        test::CopyExample("rock-kit.fxp", dir.File("a.fxp"));
        test::CopyExample("jazz-brushes.fxp", dir.File("b.fxp"));
    }
    // What the same conversion writes as raw messages.
    test::Bytes Expected(const std::vector<std::string>& presets, int firstSlot = 0, bool compatibility = false)
    {
        test::Convert(presets, dir.File("expected.syx"), firstSlot, compatibility, OutputFormat::SysEx);
        return test::ReadBytes(dir.File("expected.syx"));
    }
};

TEST_F(SendTest, OneAndTwoPresetsArriveWholeAndOnTime)
{
    const test::MidiReceiver one("t2tk-one");
    const test::MidiReceiver two("t2tk-two");
    const Converter toOne(dir.path(), {"--send", "one:in", "a.fxp"});
    const Converter toTwo(dir.path(), {"--send", "TWO:IN", "-p", "5", "-c", "-o", "both.mid", "a.fxp", "b.fxp"});
    EXPECT_EQ(toOne.Wait().status, 0);
    const Outcome run = toTwo.Wait();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(test::Joined(one.Messages()), Expected({dir.File("a.fxp")}));
    EXPECT_EQ(test::Joined(two.Messages()), Expected({dir.File("a.fxp"), dir.File("b.fxp")}, 4, true));
    EXPECT_EQ(test::ReadBytes(dir.File("both.mid")).size(), test::MidiFileSize(2));
    for (const test::MidiReceiver* receiver : {&one, &two}) {
        const auto [earliest, latest] = test::ScheduleErrors(receiver->Messages());
        EXPECT_GE(earliest, -5.0);
        EXPECT_LE(latest, 40.0);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("a.mid")));  // sending writes a file only with -o

    const Outcome wrong = Converter(dir.path(), {"--send", "nothing-like-it", "-o", "out.mid", "a.fxp"}).Wait();
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.err.find("matches no MIDI output port; the MIDI output ports are:\n"), std::string::npos);
    EXPECT_NE(wrong.err.find("t2tk-one:in\n"), std::string::npos) << wrong.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.mid")));  // the port is looked for first
}

TEST_F(SendTest, InterruptStopsBetweenMessagesAndSaysWhatWasStored)
{
    const test::MidiReceiver receiver("t2tk-stop");
    const Converter converter(dir.path(), {"--send", "stop", "a.fxp", "b.fxp"});
    ASSERT_TRUE(receiver.WaitFor(4, 5s));
    converter.Signal(SIGINT);
    const Outcome run = converter.Wait();
    EXPECT_EQ(run.status, 130);
    EXPECT_EQ(run.err, "t2tk-convert: stopped: 0 of 2 presets were stored completely\n");
    std::this_thread::sleep_for(100ms);
    const std::vector<test::Received> messages = receiver.Messages();
    const test::Bytes expected = Expected({dir.File("a.fxp"), dir.File("b.fxp")});
    const test::Bytes received = test::Joined(messages);
    EXPECT_EQ(received, test::Bytes(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(received.size())));
    EXPECT_LT(messages.size(), 10U);
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
