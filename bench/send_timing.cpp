// How closely a send keeps the module's schedule over JACK, and what the
// sender costs: the time between two messages' arrivals at a receiving client
// against the spacing the module needs, and the sending thread's processor
// time against the wall time.
// Needs a running JACK server (scripts/bench.sh starts one).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <thread>

#include "convert/conversion_request.h"
#include "convert/message_schedule.h"
#include "send/midi_port.h"
#include "send/sender.h"
#include "examples/fxp_builder.h"
#include "tests/support/midi_receiver.h"

namespace {

using Clock = std::chrono::steady_clock;

double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void BM_SendOnePreset(benchmark::State& state)
{
    t2tk::fxp::WriteFile("/tmp/t2tk-bench-kit.fxp", t2tk::fxp::Encode(t2tk::fxp::MakeKit("Kit", 1)));
    t2tk::ConversionRequest request;
    request.names = {"/tmp/t2tk-bench-kit.fxp"};
    request.keepMessages = true;
    std::ostream silent(nullptr);
    const std::vector<std::uint8_t> messages = t2tk::ConvertPresets(request, silent).messages;
    // Each message, and the spacing the module needs before it.
    const t2tk::SendSchedule schedule(messages);
    std::vector<std::vector<std::uint8_t>> sent;
    for (const t2tk::SendStep& step : schedule.steps()) {
        sent.emplace_back(step.message.bytes, step.message.bytes + step.message.length);
    }

    const t2tk::test::MidiReceiver receiver("t2tk-bench");
    t2tk::send::PortProblem problem;
    const auto port = t2tk::send::OpenOutputPort("t2tk-bench:in", problem);
    if (port == nullptr) {
        state.SkipWithError(problem.reason.c_str());
        return;
    }
    std::vector<double> errors;
    std::size_t lost = 0;
    double cpu = 0.0;
    double wall = 0.0;
    while (state.KeepRunning()) {
        const std::size_t before = receiver.Messages().size();
        const Clock::time_point start = Clock::now();
        const double cpuStart = ThreadSeconds();
        t2tk::send::SendMessages(*port, messages, std::stop_token());
        cpu += ThreadSeconds() - cpuStart;
        wall += std::chrono::duration<double, std::milli>(Clock::now() - start).count() / 1000.0;
        // Each message that came, against the spacing since the one before it
        // came (the first: since the start); one that did not come is lost.
        const std::vector<t2tk::test::Received> received = receiver.Messages();
        std::size_t next = 0;
        Clock::time_point previous = start;
        for (std::size_t i = before; i < received.size(); ++i) {
            const auto match = std::find(sent.begin() + static_cast<std::ptrdiff_t>(next), sent.end(), received[i].bytes);
            if (match == sent.end()) {
                continue;
            }
            const auto index = static_cast<std::size_t>(match - sent.begin());
            lost += index - next;
            next = index + 1;
            const auto late = received[i].arrival - (previous + schedule.steps()[index].spacing);
            errors.push_back(std::abs(std::chrono::duration<double, std::milli>(late).count()));
            previous = received[i].arrival;
        }
        lost += sent.size() - next;
    }
    std::sort(errors.begin(), errors.end());
    state.counters["median_ms"] = errors.empty() ? 0.0 : errors[errors.size() / 2];
    state.counters["largest_ms"] = errors.empty() ? 0.0 : errors.back();
    state.counters["cpu_percent"] = wall > 0.0 ? 100.0 * cpu / wall : 0.0;
    state.counters["messages"] = static_cast<double>(errors.size());
    state.counters["lost"] = static_cast<double>(lost);
}
BENCHMARK(BM_SendOnePreset)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
