// Sending to a MIDI port: the choice of a port, the pacing, stops and failures
// against a clock and ports of the tests' own (no waiting), files sent again,
// and t2tk-convert --send as a process against a real MIDI system, a JACK
// server with the dummy driver.
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <pty.h>
#include <sys/stat.h>
#include <termios.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <set>
#include <future>
#include <thread>

#include "convert/saved_messages.h"
#include "send/port_choice.h"
#include "send/port_lock.h"
#include "tests/support/fake_ports.h"
#include "tests/support/midi_receiver.h"
#include "tests/support/process.h"
#include "tests/support/test_support.h"

// A lock's holder removes its file while it still holds it: a file let go
// first could be taken by one waiter while another makes a new one, and both
// would send. The tests' own unlinkat looks whether a lock file is free when
// it goes.
namespace {
bool g_lockRemovedFree = false;
}  // namespace

extern "C" int unlinkat(int folder, const char* path, int flags)  // NOLINT(readability-inconsistent-declaration-parameter-name)
{
    if (std::string_view(path).ends_with(".lock")) {
        const int probe = ::openat(folder, path, O_RDONLY | O_CLOEXEC);
        g_lockRemovedFree = g_lockRemovedFree || (probe >= 0 && ::flock(probe, LOCK_EX | LOCK_NB) == 0);
        if (probe >= 0) {
            ::close(probe);
        }
    }
    using Real = int (*)(int, const char*, int);
    static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "unlinkat"));
    return real(folder, path, flags);
}

namespace t2tk {
namespace {

using namespace std::chrono_literals;
using test::Bytes;

TEST(PortChoice, NumberWholeNameOrPartOfIt)
{
    const std::vector<std::string> ports = {"Midi Through:0", "Thumpkrate MIDI 1", "Thumpkrate MIDI 10",
                                            "K\xC3\xBC" "che:\xE3\x83\x89\xE3\x83\xA9\xE3\x83\xA0"};
    const std::pair<const char*, std::string> cases[] = {
        // what is wanted, and the port chosen or why none is ("+": and the ports are listed)
        {"2", "2"},
        {"through", "0"},
        {"Thumpkrate MIDI 1", "1"},  // a whole name wins over the longer one it is part of
        {"thumpkrate", "\"thumpkrate\" matches several MIDI output ports+"},
        {"synth", "\"synth\" matches no MIDI output port+"},
        {"4", "there is no MIDI output port 4+"},
        {"K\xC3\x9C" "CHE", "3"},  // KÜCHE finds Küche:ドラム, in any case beyond ASCII too
    };
    for (const auto& [wanted, expected] : cases) {
        const send::PortChoice choice = send::ChoosePort(ports, wanted);
        EXPECT_EQ(choice.index ? std::to_string(*choice.index) : choice.failure + (choice.listPorts ? "+" : ""),
                  expected)
            << wanted;
    }
    // A device that does not tell its name is left out, and the ones after it
    // keep their own numbers.
    const send::DevicePorts devices = send::ListDevices(3, [](unsigned device) -> std::optional<std::string> {
        return device == 1 ? std::nullopt : std::optional<std::string>("device " + std::to_string(device));
    });
    EXPECT_EQ(devices.names, (std::vector<std::string>{"device 0", "device 2"}));
    EXPECT_EQ(devices.devices, (std::vector<unsigned>{0, 2}));
}

// One sender per port: the lock lies in the user's own folder, is refused
// when that folder or the lock file is another user's, and goes with its holder.
TEST(PortLock, OneHolderAtATimeInTheUsersOwnFolder)
{
    const std::string key = "test:" + std::to_string(::getpid());
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.lock", send::PortLockHash(key));
    const std::string folder = "/tmp/t2tk-" + std::to_string(::geteuid());
    {
        send::LockResult held = send::LockPort(key, false, {});
        ASSERT_NE(held.lock, nullptr) << held.failure;
        struct stat status {};
        ASSERT_EQ(::stat(folder.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0700U);
        EXPECT_TRUE(send::LockPort(key, false, {}).busy);
        std::stop_source stop;
        stop.request_stop();
        EXPECT_TRUE(send::LockPort(key, true, stop.get_token()).stopped);
        // A wait ends when a stop comes from another thread, with no signal,
        // and takes the lock when its holder lets go.
        std::stop_source later;
        auto stopped = std::async(std::launch::async, [&] { return send::LockPort(key, true, later.get_token()); });
        later.request_stop();
        EXPECT_TRUE(stopped.get().stopped);
        auto next = std::async(std::launch::async, [&] { return send::LockPort(key, true, {}); });
        held.lock.reset();
        EXPECT_NE(next.get().lock, nullptr);
    }
    EXPECT_FALSE(g_lockRemovedFree) << "a lock file was let go before it was removed";
    EXPECT_FALSE(std::filesystem::exists(folder + "/" + name)) << "a lock no longer held is removed";
    if (::geteuid() != 0) {
        GTEST_SKIP() << "other users' folders and files need root";
    }
    // A lock file another user made in root's folder.
    const int planted = ::open((folder + "/" + name).c_str(), O_CREAT | O_WRONLY, 0600);
    const bool given = ::fchown(planted, 65534, 65534) == 0;
    ::close(planted);
    ASSERT_TRUE(given);
    EXPECT_EQ(send::LockPort(key, false, {}).failure,
              "cannot take turns at the MIDI port: the lock file " + folder + "/" + name + " is not this user's file: remove it");
    std::filesystem::remove(folder + "/" + name);
    // What another user (root) put where the user's lock folder goes.
    const std::string theirs = "/tmp/t2tk-65534";
    const std::pair<std::function<void()>, std::string> plantings[] = {
        {[&] { std::filesystem::create_directory(theirs); },
         "the lock folder /tmp/t2tk-65534 belongs to another user (0): remove it, or ask who made it"},
        {[&] { std::filesystem::create_directory_symlink("/tmp", theirs); },
         "the lock folder /tmp/t2tk-65534 is a link, not a folder of yours: remove it"},
    };
    for (const auto& [plant, why] : plantings) {
        std::filesystem::remove_all(theirs);
        plant();
        ASSERT_EQ(::seteuid(65534), 0);
        const send::LockResult refused = send::LockPort(key, false, {});
        ASSERT_EQ(::seteuid(0), 0);
        EXPECT_EQ(refused.failure, "cannot take turns at the MIDI port: " + why);
    }
    std::filesystem::remove_all(theirs);
}

// The ports that send once their system takes a message (ALSA, WinMM) wait out
// the spacing on the machine's steady clock: a stop ends that wait at once,
// asked for before it or in the middle of it, and nothing goes out.
TEST(PacedPort, AStopEndsItsWaitOnTheSteadyClock)
{
    // The steady clock, saying when a wait has begun.
    class Watched : public send::SendClock {
    public:
        std::promise<void> waiting;
        TimePoint Now() override { return send::SteadyClock().Now(); }
        bool WaitUntil(TimePoint deadline, const std::stop_token& stop) override
        {
            waiting.set_value();
            return send::SteadyClock().WaitUntil(deadline, stop);
        }
    };
    class Port : public send::PacedPort {
    public:
        explicit Port(send::SendClock& clock) : PacedPort(clock) {}
        int delivered = 0;
        bool Deliver(std::span<const std::uint8_t> /*message*/, send::SendError& /*failure*/) override
        {
            ++delivered;
            return true;
        }
    };
    for (const bool before : {true, false}) {
        Watched clock;
        Port port(clock);
        std::stop_source stop;
        if (before) {
            stop.request_stop();
        }
        auto sending = std::async(std::launch::async, [&] {
            send::SendClock::TimePoint left;
            send::SendError failure;
            return port.Send(Bytes{0xF0, 0xF7}, std::chrono::hours(1), stop.get_token(), left, failure);
        });
        clock.waiting.get_future().wait();
        stop.request_stop();
        // The time only keeps a wait that ignores the stop from holding the
        // suite for an hour: the process ends at once, failed.
        if (sending.wait_for(60s) != std::future_status::ready) {
            std::fprintf(stderr, "the wait went on after the stop\n");
            std::_Exit(1);
        }
        EXPECT_EQ(sending.get(), send::Departure::Stopped);
        EXPECT_EQ(port.delivered, 0);
    }
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
        std::map<int, std::chrono::microseconds> stalls;  // time a message takes to leave once handed over
        std::chrono::microseconds late;
    } cases[] = {
        {"on time", {}, {}},
        {"message 10 leaves 3 s after it is handed over (a stalled server, a driver that holds it)", {{10, 3s}}, {}},
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
            // From when the one before left: a message that left late moves the rest later.
            const auto gap = sent[i].at - (i == 0 ? start : sent[i - 1].at);
            const auto stall = c.stalls.contains(static_cast<int>(i)) ? c.stalls.at(static_cast<int>(i)) : std::chrono::microseconds{0};
            EXPECT_GE(gap, Spacing(sent[i].bytes)) << c.what << ", message " << i;
            if (c.late.count() == 0) {
                EXPECT_EQ(gap, Spacing(sent[i].bytes) + stall) << c.what << ", message " << i;
            }
        }
        EXPECT_EQ(joined, messages) << c.what;
        EXPECT_EQ(clock.Now() - sent.back().at, 500ms + c.late) << c.what << ": the module's time to store";
    }
}

// A stop or a failure ends a send between messages, with what the module
// stored; a preset with a message in doubt (the MIDI system ran late) is sent
// again whole, at most twice, and never stored with a message in doubt.
TEST_F(SenderTest, AStopAFailureOrADoubtEndsWithWhatWasStored)
{
    const Bytes first(messages.begin(), messages.begin() + 3009);  // the init request and the first preset
    const Bytes second(messages.begin() + 3009, messages.end());
    const struct {
        const char* what;
        int stopAt, failAt, goneAt;
        std::set<int> doubtAt;
        Bytes sent;
        send::SendEnding ending;
        int stored;
        std::string said;  // what the account adds: why it ended, the repeats
    } cases[] = {
        {"stopped at message 3", 3, -1, -1, {}, Bytes(messages.begin(), messages.begin() + 59 + 118 * 2),
         send::SendEnding::Stopped, 0, ""},
        {"stopped after the first store request", 35, -1, -1, {}, Bytes(), send::SendEnding::Stopped, 1, ""},
        {"stopped in the time to store the last", 60, -1, -1, {}, messages, send::SendEnding::Stopped, 2, ""},
        {"failed at message 40", -1, 40, -1, {}, Bytes(), send::SendEnding::PortFailed, 1,
         "the MIDI port \"Thump A\" is gone"},
        {"failed at the first store request", -1, 30, -1, {}, Bytes(messages.begin(), messages.begin() + 2999),
         send::SendEnding::PortFailed, 0, "the MIDI port \"Thump A\" is gone"},
        {"gone within the time to store the first", -1, -1, 31, {}, first, send::SendEnding::PortFailed, 1,
         "the MIDI port \"Thump A\" is gone"},
        {"a voice dump in doubt", -1, -1, -1, {5}, test::Concat({Bytes(first.begin(), first.begin() + 531), messages}),
         send::SendEnding::Done, 2, "program 5 sent again: the MIDI system ran late"},
        {"the store request in doubt", -1, -1, -1, {30}, test::Concat({first, messages}), send::SendEnding::Done, 2,
         "program 5 sent again: the MIDI system ran late"},
        {"every try of the first in doubt", -1, -1, -1, {5, 11, 17},
         test::Concat({Bytes(first.begin(), first.begin() + 531), Bytes(first.begin(), first.begin() + 531),
                       Bytes(first.begin(), first.begin() + 531), second}),
         send::SendEnding::RanLate, 1,
         "the MIDI system ran late at every try of program 5, which may still hold its earlier kit; "
         "program 5 sent again: the MIDI system ran late"},
        {"every try's store request in doubt", -1, -1, -1, {30, 61, 92}, test::Concat({first, first, first, second}),
         send::SendEnding::RanLate, 1,
         "the MIDI system ran late at every try of program 5, which may hold a broken kit; "
         "program 5 sent again: the MIDI system ran late"},
        {"every try of both in doubt, only the first's after its store request", -1, -1, -1,
         {30, 61, 92, 97, 103, 109}, Bytes(), send::SendEnding::RanLate, 0,
         "the MIDI system ran late at every try of programs 5 and 6: program 6 may still hold its earlier kit, "
         "program 5 may hold a broken kit; programs 5 and 6 sent again: the MIDI system ran late"},
        {"stopped after a store request in doubt", 31, -1, -1, {30}, test::Concat({first, Bytes(first.begin(), first.begin() + 10)}),
         send::SendEnding::Stopped, 0, "program 5 sent again: the MIDI system ran late; program 5 may hold a broken kit"},
    };
    for (const auto& c : cases) {
        std::stop_source stop;
        const std::size_t before = ports.Messages().size();
        const auto offset = static_cast<int>(before);  // the ports count every message of every send
        ports.stopAfter = &stop;
        ports.stopAt = c.stopAt < 0 ? -1 : offset + c.stopAt;
        ports.failAt = c.failAt < 0 ? -1 : offset + c.failAt;
        ports.goneAt = c.goneAt < 0 ? -1 : offset + c.goneAt;
        ports.doubtAt.clear();
        for (const int doubt : c.doubtAt) {
            ports.doubtAt.insert(offset + doubt);
        }
        const send::SendResult result = Send(stop.get_token());
        EXPECT_EQ(result.ending, c.ending) << c.what;
        std::vector<test::Sent> sent = ports.Messages();
        sent.erase(sent.begin(), sent.begin() + offset);
        // Tries again too keep the spacing, and the module's time to store after a store request.
        for (std::size_t i = 1; i < sent.size(); ++i) {
            const bool afterStore = sent[i - 1].bytes[4] == 0x07 && sent[i - 1].bytes[5] == 0x01;
            EXPECT_GE(sent[i].at - sent[i - 1].at,
                      std::max(Spacing(sent[i].bytes), afterStore ? std::chrono::microseconds(500ms) : 0us))
                << c.what << ", message " << i;
        }
        if (!c.sent.empty()) {
            EXPECT_TRUE(test::SameBytes(test::Concat(sent), c.sent)) << c.what;
        }
        EXPECT_EQ(result.stored, c.stored) << c.what;
        EXPECT_EQ(result.presets, 2);
        const std::string repeats = send::DescribeRepeats(result);
        std::string said = send::DescribeEnding(result);
        said += !said.empty() && !repeats.empty() ? "; " : "";
        EXPECT_EQ(said + repeats, c.said) << c.what;
    }
}

TEST_F(SenderTest, StatusTellsPresetProgramAndTimeLeft)
{
    const std::string sixteen = "Sixteen Char Kit";  // the most a program dump's name holds
    std::copy(sixteen.begin(), sixteen.end(), messages.begin() + 10 + 2999 + 8);
    std::vector<send::SendStatus> statuses;
    Send({}, &statuses);
    ASSERT_EQ(statuses.size(), 61U);
    const struct {
        std::size_t message;
        int preset, program;
        std::chrono::milliseconds left;
        const char* name;
    } cases[] = {
        {0, 1, 5, 17'000ms, "In Range"},  // the init request belongs to the first preset; then 1 + 29 x 0.25 s twice, and 0.5 s
        {1, 1, 5, 16'000ms, "In Range"},
        {31, 2, 6, 7'750ms, "Sixteen Char Kit"},
        {60, 2, 6, 500ms, "Sixteen Char Kit"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(statuses[c.message].message, static_cast<int>(c.message) + 1);
        EXPECT_EQ(statuses[c.message].preset, c.preset) << c.message;
        EXPECT_EQ(statuses[c.message].program, c.program) << c.message;
        EXPECT_EQ(statuses[c.message].left, c.left) << c.message;
        EXPECT_EQ(statuses[c.message].name, c.name) << c.message;
    }
    EXPECT_EQ(send::TimeLeft(statuses[0].left), "0:17");
}

// The messages of a .syx file, each on its own.
std::vector<Bytes> Split(const Bytes& syx)
{
    std::vector<Bytes> messages;
    for (auto start = syx.begin(); start != syx.end();) {
        const auto end = std::find(start, syx.end(), 0xF7) + 1;
        messages.emplace_back(start, end);
        start = end;
    }
    return messages;
}


// A file t2tk wrote is sent again as it is; anything that is not the module's
// messages in t2tk's order is refused, naming the first message that is not.
TEST(SavedMessages, OnlyWhatT2tkWritesIsSentAgain)
{
    const Bytes syx = test::ReadBytes(T2TK_CORPUS_DIR "/in-range.syx");  // what in-range.mid carries
    const std::vector<Bytes> in = Split(syx);                           // init, program, 24 voices, 4 effects, store
    Bytes badSum = syx;
    badSum[10 + 47] ^= 1;  // the program dump's checksum
    Bytes noted = test::ReadBytes(T2TK_CORPUS_DIR "/in-range.mid");
    noted.insert(noted.end() - 4, {0x00, 0x90, 0x3C, 0x40});  // a note before the end of the track
    noted[21] += 4;
    Bytes longDelta = test::ReadBytes(T2TK_CORPUS_DIR "/in-range.mid");
    longDelta.insert(longDelta.begin() + 22, {0x80, 0x80, 0x80});  // the first delta in four bytes: 80 80 80 00
    longDelta[21] += 3;
    // Presets to programs 48, 49 and 50 again, and 2 then 1; fifty, and one more.
    const test::TempDir dir;
    const auto converted = [&dir](int presets, int slot) {
        EXPECT_TRUE(test::ConvertToFile(std::vector<std::string>(presets, T2TK_CORPUS_DIR "/in-range.fxp"),
                                        dir.File("saved.syx"), slot, false, OutputFormat::SysEx)
                        .written);
        return test::ReadBytes(dir.File("saved.syx"));
    };
    const Bytes pastLast = converted(3, 47);
    const Bytes second = converted(1, 1);
    const Bytes fifty = converted(50, 0);
    const Bytes oneMore = test::Concat({fifty, Bytes(fifty.end() - (syx.size() - 10), fifty.end())});
    std::vector<Bytes> swapped = in;
    std::swap(swapped[2], swapped[3]);
    std::vector<Bytes> otherProgram = in;
    otherProgram.back()[7] = 4;  // the store request for program 5, its checksum with it
    otherProgram.back()[8] = static_cast<std::uint8_t>((otherProgram.back()[8] + 4) & 0x7F);
    const struct {
        const char* what;
        Bytes file;
        std::string failure;  // empty: its messages are the .syx, or the file's own
    } cases[] = {
        {"the .mid", test::ReadBytes(T2TK_CORPUS_DIR "/in-range.mid"), ""},
        {"the .syx", syx, ""},
        {"a delta of four bytes", longDelta, ""},
        {"programs 48, 49 and 50 again", pastLast, ""},
        {"fifty presets", fifty, ""},
        {"a wrong checksum", badSum, "message 2 (at byte 10) is not one of the module's messages"},
        {"a message cut short", Bytes(syx.begin(), syx.end() - 3),
         "message 31 (at byte 2999) is not one of the module's messages"},
        {"a note", noted, "message 32 (at byte 3129) is not one of the module's messages"},
        {"a header alone", Bytes(noted.begin(), noted.begin() + 14), "it holds no message for the module"},
        {"a MIDI file cut short", Bytes(noted.begin(), noted.begin() + 100), "the MIDI file ends inside a chunk"},
        {"no init request", Bytes(syx.begin() + 10, syx.end()),
         "message 1 (at byte 0) is out of place: t2tk writes an init request there"},
        {"programs 2 and 1", test::Concat({Bytes(second.begin(), second.end()), Bytes(syx.begin() + 10, syx.end())}),
         "message 32 (at byte 3009) is out of place: t2tk writes the program dump for program 3 there"},
        {"fifty-one presets", oneMore, "message 1502 (at byte 149960) is out of place: t2tk writes at most 50 presets"},
        {"an init request alone", in[0], "it holds no preset, only an init request"},
        {"two init requests", test::Concat({in[0], in[0]}),
         "message 2 (at byte 10) is out of place: t2tk writes a program dump there"},
        {"voices 2 and 1", test::Concat(swapped),
         "message 3 (at byte 59) is out of place: t2tk writes the voice dump of voice 1 there"},
        {"the store request of another program", test::Concat(otherProgram),
         "message 31 (at byte 2999) is out of place: t2tk writes the store request for program 1 there"},
        {"a preset without its store request", Bytes(syx.begin(), syx.end() - 10),
         "the file ends inside a preset: t2tk writes the store request for program 1 next"},
    };
    for (const auto& c : cases) {
        const SavedMessages saved = ReadSavedMessages(c.file);
        EXPECT_EQ(saved.failure, c.failure) << c.what;
        const bool own = c.failure.empty() && c.file[0] == 0xF0 && c.file.size() > syx.size();
        EXPECT_EQ(saved.messages, !c.failure.empty() ? Bytes{} : own ? c.file : syx) << c.what;
    }
    EXPECT_EQ(KindOfFile(test::ReadBytes(T2TK_CORPUS_DIR "/in-range.fxp")), FileKind::Preset);
}

struct Outcome {
    int status;
    std::string err;
};

// How a send of one preset to program 1 went. The MIDI system of a busy
// machine may run late in any send: the preset then goes again, whole, or
// ends not stored once every try ran late, the program keeping its earlier
// kit, or holding a broken one where a try's store request left before its
// doubt came. The account says which.
enum class Went { Once, Again, KeptEarlier, MayBeBroken };

const std::string kAgain = "; program 1 sent again: the MIDI system ran late";
const std::string kEveryTry = "the MIDI system ran late at every try of program 1, which ";

Went HowItWent(const std::string& err)
{
    return err.find(kEveryTry + "may hold a broken kit") != std::string::npos ? Went::MayBeBroken
           : err.find(kEveryTry) != std::string::npos                        ? Went::KeptEarlier
           : err.find(kAgain) != std::string::npos                           ? Went::Again
                                                                              : Went::Once;
}

bool Stored(Went went)
{
    return went == Went::Once || went == Went::Again;
}

// What t2tk-convert says of it at the end, when it says anything.
std::string SaidOfOne(Went went)
{
    return Stored(went) ? "t2tk-convert: sent: 1 of 1 preset was stored completely" +
                              (went == Went::Again ? kAgain : "") + "\n"
                        : "t2tk-convert: " + kEveryTry +
                              (went == Went::MayBeBroken ? "may hold a broken kit" : "may still hold its earlier kit") +
                              "; 0 of 1 preset was stored completely (not stored: program 1)" + kAgain + "\n";
}

// An account that a late MIDI system may have added "sent again" to.
std::string WithoutAgain(std::string err)
{
    if (const auto at = err.find(kAgain); at != std::string::npos) {
        err.erase(at, kAgain.size());
    }
    return err;
}

// How a converter process is started: its JACK server (empty: the tests'
// own), and its standard error and output when not a file and /dev/null.
struct Started {
    std::string server{};
    int err = -1;
    int out = -1;
};

// t2tk-convert as a process of its own, in folder, its standard error read as it comes.
class Converter {
public:
    Converter(const std::string& folder, std::vector<std::string> arguments, const Started& how = {})
    {
        arguments.insert(arguments.begin(), T2TK_CONVERT_EXE);
        if (!how.server.empty()) {
            arguments.insert(arguments.begin(), {"env", "JACK_DEFAULT_SERVER=" + how.server});
        }
        int err[2] = {-1, -1};
        if (how.err < 0 && ::pipe2(err, O_CLOEXEC) == 0) {
            m_err = err[0];
        }
        m_pid = test::Spawn(arguments, {.output = how.out, .error = how.err >= 0 ? how.err : err[1], .folder = folder});
        ::close(err[1]);
    }
    ~Converter() { ::close(m_err); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    void Signal(int signal) const { ::kill(m_pid, signal); }
    // Reads its standard error until it has said text; false when it ended first.
    bool Says(const std::string& text) const
    {
        char buffer[4096];
        for (ssize_t got = 0; m_said.find(text) == std::string::npos &&
                              (got = ::read(m_err, buffer, sizeof buffer)) > 0;) {
            m_said.append(buffer, static_cast<std::size_t>(got));
        }
        return m_said.find(text) != std::string::npos;
    }
    Outcome Wait() const
    {
        Says(std::string(1, '\0'));  // all of it, to its end
        return {test::Finish(m_pid), m_said};
    }

private:
    pid_t m_pid = -1;
    int m_err = -1;
    mutable std::string m_said;
};

// Skips a test that cannot send over JACK here, saying why.
#define T2TK_SKIP_WITHOUT_JACK(...)                                   \
    if (const std::string why = test::WhyNoJack(__VA_ARGS__); !why.empty()) { \
        GTEST_SKIP() << why;                                              \
    }

class SendTest : public ::testing::Test {
protected:
    void SetUp() override { T2TK_SKIP_WITHOUT_JACK() }

    test::TempDir dir;
    Bytes one;  // one preset's messages: 31, some 9 s on the module's schedule
    // Fifty presets', some 7 minutes: a send that holds the port for as long
    // as a test needs it, however slow the machine, and is then stopped.
    Bytes many;

    SendTest()
    {
        EXPECT_TRUE(test::ConvertToFile(std::vector<std::string>(50, T2TK_CORPUS_DIR "/in-range.fxp"),
                                        dir.File("many.syx"), 0, false, OutputFormat::SysEx)
                        .written);
        many = test::ReadBytes(dir.File("many.syx"));
        one = test::ReadBytes(T2TK_CORPUS_DIR "/in-range.syx");
        test::WriteBytes(dir.File("one.syx"), one);
        test::CopyExample("rock-kit.fxp", dir.File("a.fxp"));
    }
    // Every message arrived whole, none sooner than its spacing after the one
    // before it at the receiver, to the frame, as the account has it: sent
    // once; or again (each try begins with the init request), the last try
    // whole; store requests only where a try's left before its doubt came,
    // and in the try that stored it.
    static void ExpectSpaced(const test::MidiReceiver& receiver, const Bytes& sent, const std::string& what, Went went)
    {
        const std::vector<test::Received> received = receiver.Messages();
        const Bytes all = test::Concat(received);
        const auto count = [&received](std::uint8_t kind) {
            return std::count_if(received.begin(), received.end(), [kind](const test::Received& m) {
                return m.bytes.size() > 5 && m.bytes[4] == 0x07 && m.bytes[5] == kind;
            });
        };
        const auto tries = count(0x04);
        const auto stores = count(0x01);
        if (went == Went::Once) {
            EXPECT_TRUE(test::SameBytes(all, sent)) << what;
        } else if (went == Went::Again) {
            EXPECT_GT(tries, 1) << what << ": said to have gone again";
            EXPECT_TRUE(test::SameBytes(Bytes(all.end() - static_cast<std::ptrdiff_t>(std::min(sent.size(), all.size())),
                                              all.end()),
                                        sent))
                << what << ": the last try is the preset whole";
        }
        EXPECT_TRUE(went == Went::KeptEarlier ? stores == 0 : went == Went::Once ? stores == 1 : stores >= 1)
            << what << ": " << stores << " store requests";
        const std::vector<double> errors = test::GapErrors(received);
        for (std::size_t i = 0; i < errors.size(); ++i) {
            EXPECT_GE(errors[i], -0.01) << what << ": message " << i + 2 << " came early";
        }
    }
};

// Real sends, in real time, to receivers of the test's own: every message
// arrives whole, none sooner than the module's spacing after the one before,
// when nothing happens, when the JACK server stops for 3 s mid-send, and when
// the terminal that shows the progress line is stopped (Ctrl-S) for 3 s. The
// first also has a standard output that has gone: the send goes on, and the
// exit status says what was lost.
TEST_F(SendTest, NoMessageComesSoonerThanItsSpacing)
{
    test::JackServer server("stalled");
    T2TK_SKIP_WITHOUT_JACK(&server)
    const test::MidiReceiver idle("t2tk-idle");
    const test::MidiReceiver blocked("t2tk-blocked");
    const test::MidiReceiver stalled("t2tk-stalled", server.name());
    // A terminal for the second's standard error, stopped as Ctrl-S stops it.
    int terminal = -1;
    int side = -1;
    ASSERT_EQ(::openpty(&terminal, &side, nullptr, nullptr, nullptr), 0);
    int gone[2] = {-1, -1};
    ASSERT_EQ(::pipe(gone), 0);
    ::close(gone[0]);  // nobody reads standard output
    const Converter first(dir.path(), {"--send", "t2tk-idle:in", "a.fxp"}, Started{.out = gone[1]});
    ::close(gone[1]);
    const Converter second(dir.path(), {"--send", "t2tk-blocked:in", "one.syx"}, Started{.err = side});
    const Converter third(dir.path(), {"--send", "t2tk-stalled:in", "one.syx"}, Started{.server = server.name()});
    ASSERT_TRUE(blocked.WaitFor(5));
    ::tcflow(side, TCOOFF);
    ASSERT_TRUE(stalled.WaitFor(5));
    server.Signal(SIGSTOP);
    std::this_thread::sleep_for(3s);  // the stall itself
    server.Signal(SIGCONT);
    ::tcflow(side, TCOON);

    const Outcome idleRun = first.Wait();
    const Went idleWent = HowItWent(idleRun.err);
    EXPECT_EQ(idleRun.status, 1);
    EXPECT_EQ(idleRun.err, SaidOfOne(idleWent) + "t2tk-convert: cannot write standard output: Broken pipe\n");
    const int blockedStatus = second.Wait().status;
    std::string shown;  // on its terminal, the account last
    ::fcntl(terminal, F_SETFL, O_NONBLOCK);
    for (char buffer[4096]; const ssize_t got = ::read(terminal, buffer, sizeof buffer);) {
        if (got < 0) {
            break;
        }
        shown.append(buffer, static_cast<std::size_t>(got));
    }
    const Went blockedWent = HowItWent(shown);
    EXPECT_EQ(blockedStatus, Stored(blockedWent) ? 0 : 1) << shown;
    const Outcome stalledRun = third.Wait();
    const Went stalledWent = HowItWent(stalledRun.err);
    EXPECT_EQ(stalledRun.status, Stored(stalledWent) ? 0 : 1) << stalledRun.err;
    EXPECT_EQ(stalledRun.err, stalledWent == Went::Once ? "" : SaidOfOne(stalledWent));
    ASSERT_TRUE(test::ConvertToFile({dir.File("a.fxp")}, dir.File("a.syx"), 0, false, OutputFormat::SysEx).written);
    ExpectSpaced(idle, test::ReadBytes(dir.File("a.syx")), "idle", idleWent);
    ExpectSpaced(blocked, one, "the terminal stopped", blockedWent);
    ExpectSpaced(stalled, one, "the server stopped", stalledWent);
    EXPECT_TRUE(Stored(idleWent) || Stored(blockedWent) || Stored(stalledWent))
        << "every try of three sends ran late: rather a port that doubts too much";
    ::close(side);
    ::close(terminal);
}

// Messages that can no longer reach the port end the send with status 1 and
// the account: a connection cut, the receiver restarted under its name (a
// replug), the port gone for good, its JACK server ended or no longer
// answering. All at once, to ports of their own, each once its receiver has
// had two messages.
TEST_F(SendTest, ASendThatCannotReachThePortEndsWithTheAccount)
{
    const struct {
        const char* what;
        std::string failure;  // a receiver that leaves is gone, replugged or not
        bool ownServer;
    } cases[] = {
        {"cut", "the connection to the MIDI port \"t2tk-cut:in\" was cut", false},
        {"replug", "the MIDI port \"t2tk-replug:in\" is gone", false},
        {"gone", "the MIDI port \"t2tk-gone:in\" is gone", false},
        {"ended", "the JACK server of the MIDI port \"t2tk-ended:in\" has ended", true},
        {"silent", "the JACK server of the MIDI port \"t2tk-silent:in\" has stopped answering", true},
    };
    std::vector<std::unique_ptr<test::MidiReceiver>> receivers;
    std::vector<std::unique_ptr<test::JackServer>> servers;
    std::vector<std::unique_ptr<Converter>> converters;
    for (const auto& c : cases) {
        servers.push_back(c.ownServer ? std::make_unique<test::JackServer>(c.what) : nullptr);
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        const std::string name = "t2tk-" + std::string(c.what);
        if (c.ownServer) {
            T2TK_SKIP_WITHOUT_JACK(servers[i].get())
        }
        const std::string server = c.ownServer ? servers[i]->name() : std::string();
        receivers.push_back(std::make_unique<test::MidiReceiver>(name, server));
        converters.push_back(
            std::make_unique<Converter>(dir.path(), std::vector<std::string>{"--send", name + ":in", "one.syx"},
                                        Started{.server = server}));
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        ASSERT_TRUE(receivers[i]->WaitFor(2)) << cases[i].what << ": " << converters[i]->Wait().err;
        const std::string what = cases[i].what;
        if (what == "cut") {  // whichever t2tk client is connected to it, if any: every try may have run late
            (void)std::system("jack_lsp -c t2tk-cut:in | sed -n 's/^ \\{1,\\}//p' | "
                              "xargs -I{} jack_disconnect {} t2tk-cut:in");
        } else if (what == "ended") {
            servers[i]->Signal(SIGTERM);
        } else if (what == "silent") {
            servers[i]->Signal(SIGSTOP);
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
        // On a busy machine every try may run late before the port is lost.
        const Went went = HowItWent(run.err);
        const bool everyTryLate = !Stored(went);
        EXPECT_EQ(WithoutAgain(run.err),
                  everyTryLate ? WithoutAgain(SaidOfOne(went))
                               : "t2tk-convert: " + cases[i].failure +
                                     "; 0 of 1 preset was stored completely (not stored: program 1)\n")
            << cases[i].what;
    }
    // The server that stopped answering answers again, so that its receiver
    // can leave it and it can end as servers do, leaving no place taken in
    // JACK's registry.
    servers.back()->Signal(SIGCONT);
    receivers.clear();
    servers.clear();
}

// A receiver whose period overruns (it runs late once a message has come):
// what the converter handed over around then may be lost, so the preset goes
// again, whole, every spacing kept, one message a period at most. No store
// request follows a message known to be in doubt, and a preset whose every
// try runs late fails the send, naming its program. Side by side, each on a JACK
// server of its own that goes on without a late client, as JACK's default
// has it: a client late anywhere in a server's graph concerns every message
// of its period. (A server that waits for every client loses nothing.)
TEST_F(SendTest, ALateCycleIsNeverASilentLoss)
{
    const struct {
        const char* late;  // when the receiver runs late
        Went went;
        bool mayFail;  // a busy machine may make every try run late
    } cases[] = {
        {"4", Went::Again, true},
        {"dumps", Went::KeptEarlier, false},
        // Stopped for good: the server tells no client of its lateness while it stays stopped.
        {"stop-12", Went::KeptEarlier, false},
    };
    std::vector<std::unique_ptr<test::JackServer>> servers;
    std::vector<std::unique_ptr<test::MidiReceiver>> receivers;
    std::vector<std::unique_ptr<Converter>> converters;
    for (const auto& c : cases) {
        const std::string name = "t2tk-late-" + std::string(c.late);
        servers.push_back(std::make_unique<test::JackServer>(name, 128, false));
        T2TK_SKIP_WITHOUT_JACK(servers.back().get())
        receivers.push_back(std::make_unique<test::MidiReceiver>(name, servers.back()->name(), c.late));
        converters.push_back(std::make_unique<Converter>(dir.path(), std::vector<std::string>{"--send", name, "one.syx"},
                                                         Started{.server = servers.back()->name()}));
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Outcome run = converters[i]->Wait();
        receivers[i]->Signal(SIGCONT);
        const Went went = HowItWent(run.err);
        EXPECT_TRUE(went == cases[i].went || (cases[i].mayFail && !Stored(went))) << cases[i].late;
        EXPECT_EQ(run.status, Stored(went) ? 0 : 1) << cases[i].late;
        EXPECT_EQ(run.err, SaidOfOne(went)) << cases[i].late;
        ExpectSpaced(*receivers[i], one, cases[i].late, went);
    }
    receivers.clear();
    servers.clear();
}

// One t2tk at a time sends to a port: a second one refuses at once, or waits
// its turn with --wait, and a signal ends that wait at once. A signal stops a
// send between two messages.
TEST_F(SendTest, OneSenderAtATimeAndASignalStopsBetweenMessages)
{
    const test::MidiReceiver receiver("t2tk-turn");
    const Converter first(dir.path(), {"--send", "t2tk-turn", "many.syx"});
    ASSERT_TRUE(receiver.WaitFor(1));
    const Outcome second = Converter(dir.path(), {"--send", "t2tk-turn", "one.syx"}).Wait();
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(second.err, "t2tk-convert: another t2tk is sending to the MIDI port \"t2tk-turn:in\" (--wait waits for "
                          "it)\n");
    const std::string waits = "t2tk-convert: another t2tk is sending to the MIDI port \"t2tk-turn:in\"; waiting for "
                              "its turn\n";
    const Converter given(dir.path(), {"--send", "t2tk-turn", "--wait", "one.syx"});
    ASSERT_TRUE(given.Says(waits)) << given.Wait().err;
    given.Signal(SIGTERM);
    const Outcome givenUp = given.Wait();
    EXPECT_EQ(givenUp.status, 143);
    EXPECT_EQ(givenUp.err, waits + "t2tk-convert: stopped while waiting for the MIDI port; nothing was sent\n");
    EXPECT_TRUE(receiver.WaitFor(receiver.Messages().size() + 1)) << "the first no longer sends";

    const Converter waiting(dir.path(), {"--send", "t2tk-turn", "--wait", "a.fxp"});
    ASSERT_TRUE(waiting.Says(waits)) << waiting.Wait().err;
    first.Signal(SIGHUP);  // a closed terminal
    const Outcome stopped = first.Wait();
    EXPECT_EQ(stopped.status, 129);
    EXPECT_TRUE(stopped.err.starts_with("t2tk-convert: stopped: ") &&
                stopped.err.find(" of 50 presets were stored completely (not stored: programs ") != std::string::npos)
        << stopped.err;
    // A message after the first has ended is the waiting one's: its turn has come.
    ASSERT_TRUE(receiver.WaitFor(receiver.Messages().size() + 1));
    // A holder killed outright lets go as well: the last one waiting goes on.
    const Converter last(dir.path(), {"--send", "t2tk-turn", "--wait", "a.fxp"});
    ASSERT_TRUE(last.Says(waits)) << last.Wait().err;
    const std::size_t before = receiver.Messages().size();
    waiting.Signal(SIGKILL);
    EXPECT_EQ(waiting.Wait().status, -1);
    ASSERT_TRUE(receiver.WaitFor(before + 1)) << "the last one waits on";
    const std::vector<test::Received> after = receiver.Messages();
    ASSERT_GT(after.size(), before);
    EXPECT_EQ(after[before].bytes, Bytes(one.begin(), one.begin() + 10)) << "its init request";
    last.Signal(SIGINT);
    const Outcome interrupted = last.Wait();
    EXPECT_EQ(interrupted.status, 130);
    EXPECT_EQ(WithoutAgain(interrupted.err), waits + "t2tk-convert: stopped: 0 of 1 preset was stored completely (not stored: program 1)\n");
    // Whole messages of the first, then of the second, then of the third:
    // tries of each, however many each sent. The second and third send
    // another kit than the first, whose messages are then not theirs.
    ASSERT_TRUE(test::ConvertToFile({dir.File("a.fxp")}, dir.File("a.syx"), 0, false, OutputFormat::SysEx).written);
    const std::vector<Bytes> manys = Split(many);
    const std::vector<Bytes> kits = Split(test::ReadBytes(dir.File("a.syx")));
    // A try goes again from its preset's start: the init request for the first
    // preset, the program dump for the others. A try that runs late may lose
    // messages on the way: each is a later one of its try than the one before.
    const auto tries = [](auto from, auto to, const std::vector<Bytes>& file) {
        std::size_t next = 0;
        std::size_t start = 0;
        for (; from != to; ++from) {
            const Bytes& message = from->bytes;
            const auto found = std::find(file.begin() + static_cast<std::ptrdiff_t>(next), file.end(), message);
            if (message == file[start]) {
                next = start + 1;
            } else if (found != file.end()) {
                next = static_cast<std::size_t>(found - file.begin()) + 1;
                for (std::size_t i = start + 1; i < next; ++i) {
                    start = file[i][4] == 0x11 && i > 1 ? i : start;
                }
            } else {
                return false;
            }
        }
        return true;
    };
    const std::vector<test::Received> received = receiver.Messages();
    bool split = false;
    const auto at = [&received](std::size_t i) { return received.begin() + static_cast<std::ptrdiff_t>(i); };
    for (std::size_t second = 1; second < received.size() && !split; ++second) {
        for (std::size_t third = second + 1; third < received.size() && !split; ++third) {
            split = tries(received.begin(), at(second), manys) && tries(at(second), at(third), kits) &&
                    tries(at(third), received.end(), kits);
        }
    }
    EXPECT_TRUE(split) << received.size() << " messages";
}

// A port that goes while a sender waits its turn is looked for again by its
// name, and never taken for the port that now has its place in the list.
TEST_F(SendTest, AfterItsTurnTheSenderFindsThePortByName)
{
    test::JackServer server("turns");
    T2TK_SKIP_WITHOUT_JACK(&server)
    auto meant = std::make_unique<test::MidiReceiver>("t2tk-meant", server.name());
    const Converter first(dir.path(), {"--send", "0", "many.syx"}, Started{.server = server.name()});
    ASSERT_TRUE(meant->WaitFor(1));
    const Converter waiting(dir.path(), {"--send", "0", "--wait", "one.syx"}, Started{.server = server.name()});
    ASSERT_TRUE(waiting.Says("waiting for its turn")) << waiting.Wait().err;
    const test::MidiReceiver other("t2tk-other", server.name());  // second in the list
    meant = nullptr;  // "0" is the other one now; the first send fails
    EXPECT_EQ(first.Wait().status, 1);
    const Outcome run = waiting.Wait();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "t2tk-convert: another t2tk is sending to the MIDI port \"t2tk-meant:in\"; waiting for its "
                       "turn\nt2tk-convert: the MIDI port \"t2tk-meant:in\" is gone\n");
    EXPECT_TRUE(other.Messages().empty());
}

// What must not be sent is refused before anything goes out: a file that is
// not a complete preset (unless --send-incomplete says so). Port names, which
// other programs choose, are shown as file names are; a MIDI module that is
// there but broken is named.
TEST_F(SendTest, WhatCannotBeSentIsRefusedAndSaid)
{
    const test::MidiReceiver receiver("t2tk-whole");
    const test::MidiReceiver crafted("t2tk-\x1b]0;owned\x07");
    const Outcome incomplete = Converter(dir.path(), {"--send", "t2tk-whole", T2TK_CORPUS_DIR "/short-100.fxp"}).Wait();
    EXPECT_EQ(incomplete.status, 2);
    EXPECT_TRUE(incomplete.err.ends_with(
        "t2tk-convert: will not send: 1 of 1 file is not a complete Tolvin preset, and sending overwrites programs "
        "in the module; --send-incomplete sends them anyway\n"))
        << incomplete.err;
    EXPECT_TRUE(receiver.Messages().empty());

    const Outcome list = Converter(dir.path(), {"--send", "nothing-like-it", "a.fxp"}).Wait();
    EXPECT_NE(list.err.find("t2tk-\\x1B]0;owned\\x07:in\n"), std::string::npos) << list.err;

    // A saved file of exactly the largest size t2tk writes (50 presets in a
    // MIDI file) is taken, and found to go nowhere here; one byte more is
    // refused, as a MIDI file and as SysEx messages, before a port is looked for.
    ASSERT_TRUE(test::ConvertToFile(std::vector<std::string>(50, T2TK_CORPUS_DIR "/in-range.fxp"),
                                    dir.File("fifty.mid"), 0, false, OutputFormat::Midi)
                    .written);
    const Bytes fifty = test::ReadBytes(dir.File("fifty.mid"));
    ASSERT_EQ(fifty.size(), 153023U);
    test::WriteBytes(dir.File("past.mid"), test::Concat({fifty, Bytes(1, 0)}));
    test::WriteBytes(dir.File("past.syx"), test::Concat({many, Bytes(153024 - many.size(), 0)}));
    const std::pair<const char*, std::string> sizes[] = {
        {"fifty.mid", "t2tk-convert: \"nothing-like-it\" matches no MIDI output port; the MIDI output ports are:\n"},
        {"past.mid", "t2tk-convert: will not send \"past.mid\": it holds more than 153023 bytes, more than any file "
                     "t2tk writes\n"},
        {"past.syx", "t2tk-convert: will not send \"past.syx\": it holds more than 153023 bytes, more than any file "
                     "t2tk writes\n"},
    };
    for (const auto& [file, said] : sizes) {
        const Outcome run = Converter(dir.path(), {"--send", "nothing-like-it", file}).Wait();
        EXPECT_EQ(run.status, 1) << file;
        EXPECT_TRUE(run.err.starts_with(said)) << run.err;
    }

    // A module that cannot be loaded beside the program: its own failure, not
    // that of the place looked at next.
    const std::string alone = dir.File("alone");
    std::filesystem::create_directory(alone);
    std::filesystem::copy_file(T2TK_CONVERT_EXE, alone + "/t2tk-convert");
    test::WriteBytes(alone + "/libt2tk-midi.so", Bytes(4096, 'x'));
    const std::string run = "cd " + alone + " && env -u T2TK_MIDI_MODULE ./t2tk-convert --list-ports 2>err";
    EXPECT_EQ(std::system(run.c_str()), 1 << 8);
    const std::string said = test::ReadText(alone + "/err");
    EXPECT_NE(said.find(alone + "/libt2tk-midi.so: invalid ELF header"), std::string::npos) << said;
}

TEST_F(SendTest, NoMidiSystemIsSaid)
{
    if (std::filesystem::exists("/dev/snd/seq")) {
        GTEST_SKIP() << "this machine has an ALSA sequencer";
    }
    const Outcome run = Converter(dir.path(), {"--list-ports"}, Started{.server = "t2tk-no-such-server"}).Wait();
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with("t2tk-convert: no MIDI output ports found (ALSA: ")) << run.err;
    EXPECT_TRUE(run.err.ends_with("; JACK: no server is running)\n")) << run.err;
}

}  // namespace
}  // namespace t2tk
