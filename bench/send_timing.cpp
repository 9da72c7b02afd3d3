// How closely a send keeps the module's schedule over JACK: each gap between
// two messages as the receiving client stamps them (the frame they arrive in),
// against the spacing the module needs; and the sending thread's processor
// time against the wall time. Measured idle and with every core kept busy.
// Needs a running JACK server (scripts/bench.sh starts one).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "convert/conversion_request.h"
#include "convert/message_schedule.h"
#include "send/midi_port.h"
#include "send/sender.h"
#include "examples/fxp_builder.h"
#include "tests/support/midi_receiver.h"
#include "tests/support/process.h"

namespace {

double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Every core spinning for as long as it lives.
class BusyCores {
public:
    BusyCores()
    {
        for (unsigned i = 0; i < std::max(1U, std::thread::hardware_concurrency()); ++i) {
            m_threads.emplace_back([this] {
                volatile unsigned long spin = 0;
                while (!m_stop.load(std::memory_order_relaxed)) {
                    spin = spin + 1;
                }
            });
        }
    }
    ~BusyCores()
    {
        m_stop = true;
        for (std::thread& thread : m_threads) {
            thread.join();
        }
    }
    BusyCores(const BusyCores&) = delete;
    BusyCores& operator=(const BusyCores&) = delete;

private:
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

// Kits written as presets under stem and converted as one request: its messages.
std::vector<std::uint8_t> KitMessages(int count, const std::string& stem)
{
    t2tk::ConversionRequest request;
    for (int i = 0; i < count; ++i) {
        request.names.push_back(stem + std::to_string(i) + ".fxp");
        t2tk::fxp::WriteFile(request.names.back(),
                             t2tk::fxp::Encode(t2tk::fxp::MakeKit("Kit " + std::to_string(i), static_cast<std::uint32_t>(i + 1))));
    }
    request.keepMessages = true;
    std::ostream silent(nullptr);
    return t2tk::ConvertPresets(request, silent).messages;
}

// t2tk's port to the receiver, or none, and then the benchmark says why.
std::unique_ptr<t2tk::send::MidiPort> OpenTo(const t2tk::test::MidiReceiver& receiver, const std::string& name,
                                             benchmark::State& state)
{
    t2tk::send::PortProblem problem;
    auto port = receiver.ready() ? t2tk::send::OpenOutputPort(name + ":in", problem) : nullptr;
    if (port == nullptr) {
        state.SkipWithError(receiver.ready() ? t2tk::send::Describe(problem.error).c_str() : "no JACK server answers");
    }
    return port;
}

void SendOnePreset(benchmark::State& state, bool loaded)
{
    const std::vector<std::uint8_t> messages = KitMessages(1, "/tmp/t2tk-bench-kit-");
    const std::size_t steps = t2tk::SendSchedule(messages).steps().size();
    const t2tk::test::MidiReceiver receiver("t2tk-bench");
    const auto port = OpenTo(receiver, "t2tk-bench", state);
    if (port == nullptr) {
        return;
    }
    std::vector<double> errors;
    std::size_t lost = 0;
    double cpu = 0.0;
    double wall = 0.0;
    while (state.KeepRunning()) {
        const std::optional<BusyCores> busy = loaded ? std::optional<BusyCores>(std::in_place) : std::nullopt;
        const std::size_t before = receiver.Messages().size();
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ThreadSeconds();
        const t2tk::send::SendResult result = t2tk::send::SendMessages(*port, messages, std::stop_token());
        cpu += ThreadSeconds() - cpuStart;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (result.ending != t2tk::send::SendEnding::Done) {
            state.SkipWithError(t2tk::send::DescribeEnding(result).c_str());
            return;
        }
        // This send's messages only: the first one's gap is the pause between sends.
        const std::vector<t2tk::test::Received> all = receiver.Messages();
        const std::vector<t2tk::test::Received> sent(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
        const std::vector<double> gaps = t2tk::test::GapErrors(sent);
        errors.insert(errors.end(), gaps.begin(), gaps.end());
        lost += steps - std::min(steps, sent.size());
    }
    std::sort(errors.begin(), errors.end());
    const double period = std::chrono::duration<double, std::milli>(receiver.Period()).count();
    state.counters["median_ms"] = errors.empty() ? 0.0 : errors[errors.size() / 2];
    state.counters["shortest_ms"] = errors.empty() ? 0.0 : errors.front();  // negative: early
    state.counters["latest_ms"] = errors.empty() ? 0.0 : errors.back();
    state.counters["short_1ms"] =
        static_cast<double>(std::count_if(errors.begin(), errors.end(), [](double e) { return e < -1.0; }));
    state.counters["short_period"] =
        static_cast<double>(std::count_if(errors.begin(), errors.end(), [period](double e) { return e < -period; }));
    state.counters["period_ms"] = period;
    state.counters["cpu_percent"] = wall > 0.0 ? 100.0 * cpu / wall : 0.0;
    state.counters["gaps"] = static_cast<double>(errors.size());
    state.counters["lost"] = static_cast<double>(lost);
}

// Fifty presets while stress-ng keeps the machine busy (processor, new
// processes, the disk), as a build does: the presets sent again, and at the
// receiver whether every program the account calls stored got its whole
// preset in its last try, in order.
void BM_SendFiftyBusy(benchmark::State& state)
{
    const std::vector<std::uint8_t> messages = KitMessages(50, "/tmp/t2tk-bench-kit-");
    // Each preset's 30 messages as the module must get them.
    std::vector<std::vector<std::uint8_t>> presets(50);
    const t2tk::SendSchedule schedule(messages);
    for (const t2tk::SendStep& step : schedule.steps()) {
        if (step.message.bytes[4] != 0x07 || step.message.bytes[5] != 0x04) {
            presets[static_cast<std::size_t>(step.preset - 1)].insert(presets[static_cast<std::size_t>(step.preset - 1)].end(),
                                                                       step.message.bytes,
                                                                       step.message.bytes + step.message.length);
        }
    }
    const t2tk::test::MidiReceiver receiver("t2tk-bench-fifty");
    const auto port = OpenTo(receiver, "t2tk-bench-fifty", state);
    if (port == nullptr) {
        return;
    }
    double repeats = 0;
    double stored = 0;
    double calledStoredNotWhole = 0;
    double endedWell = 0;
    std::size_t seen = 0;
    while (state.KeepRunning()) {
        const pid_t stress = t2tk::test::Spawn({"stress-ng", "--cpu", "4", "--fork", "4", "--hdd", "2", "--quiet"});
        const t2tk::send::SendResult result = t2tk::send::SendMessages(*port, messages, std::stop_token());
        ::kill(stress, SIGTERM);
        t2tk::test::Finish(stress);
        const std::vector<t2tk::test::Received> all = receiver.Messages();
        // The last try of each program at the receiver: from its last program dump on.
        std::map<int, std::vector<std::uint8_t>> last;
        int program = -1;
        for (std::size_t i = seen; i < all.size(); ++i) {
            const std::vector<std::uint8_t>& bytes = all[i].bytes;
            if (bytes.size() > 6 && bytes[4] == 0x11) {
                program = bytes[6];
                last[program].clear();
            }
            if (program >= 0 && !(bytes.size() > 5 && bytes[4] == 0x07 && bytes[5] == 0x04)) {
                last[program].insert(last[program].end(), bytes.begin(), bytes.end());
            }
        }
        seen = all.size();
        for (std::size_t i = 0; i < result.outcomes.size(); ++i) {
            repeats += result.outcomes[i].attempts - 1;
            if (result.outcomes[i].stored) {
                ++stored;
                calledStoredNotWhole += last[static_cast<int>(i)] == presets[i] ? 0 : 1;
            }
        }
        endedWell += result.ending == t2tk::send::SendEnding::Done ? 1 : 0;
    }
    state.counters["repeats"] = repeats;
    state.counters["stored"] = stored;
    state.counters["stored_not_whole"] = calledStoredNotWhole;
    state.counters["done"] = endedWell;
}

void BM_SendIdle(benchmark::State& state)
{
    SendOnePreset(state, false);
}
void BM_SendLoaded(benchmark::State& state)
{
    SendOnePreset(state, true);
}
BENCHMARK(BM_SendIdle)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SendLoaded)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
// Some seven minutes each: scripts/bench.sh runs it when asked (--long).
BENCHMARK(BM_SendFiftyBusy)->Iterations(1)->Repetitions(5)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
