// The conversion against its own floor: the same files read and the same
// number of bytes written the way the writer writes them, with no conversion.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "convert/conversion_request.h"
#include "convert/convert.h"
#include "examples/fxp_builder.h"
#include "files/file_conversion.h"

// Every operator new of the process is counted, so that a benchmark can show
// that the conversion allocates nothing. The replacement pairs malloc with
// free, which GCC takes for a mismatch once it inlines them.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
namespace {
std::atomic<long> g_allocations{0};
}

void* operator new(std::size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

namespace {

// A folder of 50 presets, made once.
class PresetFolder {
public:
    PresetFolder()
    {
        std::string pattern = "/tmp/t2tk-bench-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        m_path = pattern;
        for (int i = 0; i < 50; ++i) {
            m_presets.push_back(m_path + "/kit" + std::to_string(i) + ".fxp");
            t2tk::fxp::WriteFile(m_presets.back(), t2tk::fxp::Encode(t2tk::fxp::MakeKit("Kit", static_cast<std::uint32_t>(i))));
        }
        m_output = m_path + "/out.mid";
    }
    ~PresetFolder() { std::system(("rm -rf '" + m_path + "'").c_str()); }
    PresetFolder(const PresetFolder&) = delete;
    PresetFolder& operator=(const PresetFolder&) = delete;

    // The first count presets.
    std::vector<std::string> Presets(int count) const
    {
        return {m_presets.begin(), m_presets.begin() + count};
    }
    const std::string& Output() const { return m_output; }

private:
    std::string m_path;
    std::vector<std::string> m_presets;
    std::string m_output;
};

PresetFolder& Folder()
{
    static PresetFolder folder;
    return folder;
}

void BM_MapOnePreset(benchmark::State& state)
{
    const std::vector<std::uint8_t> preset = t2tk::fxp::Encode(t2tk::fxp::MakeKit("Kit", 1));
    std::uint8_t image[t2tk::kPresetImageSize] = {};
    std::memcpy(image, preset.data(), preset.size());
    const long allocationsBefore = g_allocations.load();
    while (state.KeepRunning()) {
        std::memcpy(t2tk::PresetImage, image, sizeof image);  // the mapping turns the image around in place
        t2tk::MessageBuffer.fillCount = 0;
        t2tk::AppendPresetMessages(t2tk::PresetImage, 0, 0, 1);
        benchmark::DoNotOptimize(t2tk::MessageBuffer.bytes[3000]);
    }
    state.counters["allocations"] =
        benchmark::Counter(static_cast<double>(g_allocations.load() - allocationsBefore), benchmark::Counter::kAvgIterations);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MapOnePreset);

void BM_Convert(benchmark::State& state)
{
    const std::vector<std::string> presets = Folder().Presets(static_cast<int>(state.range(0)));
    const t2tk::NameList names(presets);
    const long allocationsBefore = g_allocations.load();
    while (state.KeepRunning()) {
        // The output is settled before a preset is read, as the programs do.
        t2tk::FileOutput output(Folder().Output());
        if (t2tk::ConvertFilesToMidi("", names.data(), Folder().Output().c_str(), 0, 0, nullptr, nullptr, &output) != 0) {
            state.SkipWithError("conversion failed");
        }
    }
    state.counters["allocations"] =
        benchmark::Counter(static_cast<double>(g_allocations.load() - allocationsBefore), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_Convert)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMicrosecond);

// The same reads, and a file of the same size written beside the output,
// flushed to disk when sync is set, and renamed over it, as the writer does.
void Floor(benchmark::State& state, bool sync)
{
    const std::vector<std::string> presets = Folder().Presets(static_cast<int>(state.range(0)));
    static std::uint8_t buffer[t2tk::kPresetImageSize];
    const std::size_t fileSize = 73 + 3059 * static_cast<std::size_t>(state.range(0));
    static std::uint8_t file[73 + 3059 * 50];
    const std::string temp = Folder().Output() + ".floor.tmp";
    const std::string folder = Folder().Output().substr(0, Folder().Output().rfind('/'));
    while (state.KeepRunning()) {
        for (const std::string& preset : presets) {
            std::FILE* in = std::fopen(preset.c_str(), "rb");
            if (in == nullptr) {
                state.SkipWithError("cannot read a preset");
                return;
            }
            benchmark::DoNotOptimize(std::fread(buffer, 1, 9000, in));
            std::fclose(in);
        }
        const int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (out < 0 || ::write(out, file, fileSize) != static_cast<ssize_t>(fileSize) || (sync && ::fsync(out) != 0)) {
            state.SkipWithError("cannot write");
            return;
        }
        ::close(out);
        std::rename(temp.c_str(), Folder().Output().c_str());
        if (sync) {
            const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
            ::fsync(directory);
            ::close(directory);
        }
    }
}

void BM_Floor(benchmark::State& state)
{
    Floor(state, true);
}
void BM_FloorWithoutSync(benchmark::State& state)
{
    Floor(state, false);
}
BENCHMARK(BM_FloorWithoutSync)->Arg(50)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Floor)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    t2tk::ProgressLines = nullptr;  // the conversion's own lines would only fill the report
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
