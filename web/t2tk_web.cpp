// The conversion core for the web page: the presets the page reads are handed
// over in memory, converted through the same request layer as the native
// programs, and the file to download is laid out in memory too; the page
// links no file writer. Plain C functions, called from the page's own
// JavaScript, each called a few times a conversion at most.
#include <emscripten/emscripten.h>

#include <string>
#include <vector>

#include "app/program_number.h"
#include "convert/conversion_request.h"
#include "convert/message_schedule.h"

using namespace t2tk;

namespace {

std::vector<std::vector<std::uint8_t>> g_presets;  // what the page handed over
ConversionResult g_result;
std::vector<std::uint8_t> g_output;
SendSchedule g_schedule{{}};
std::vector<double> g_steps;  // the schedule, seven numbers a step
std::string g_text;           // what the last function that returns text returned

const char* Text(const std::string& text)
{
    g_text = text;
    return g_text.c_str();
}

double Milliseconds(std::chrono::microseconds time)
{
    return static_cast<double>(time.count()) / 1000.0;
}

}  // namespace

extern "C" {

// Room for preset i of size bytes, which the page writes there.
EMSCRIPTEN_KEEPALIVE std::uint8_t* t2tk_preset_space(int i, int size)
{
    if (g_presets.size() <= static_cast<std::size_t>(i)) {
        g_presets.resize(static_cast<std::size_t>(i) + 1);
    }
    auto& preset = g_presets[static_cast<std::size_t>(i)];
    preset.assign(static_cast<std::size_t>(size), 0);
    return preset.data();
}

// Converts the first count presets handed over into a MIDI file (or, with
// raw, the messages back to back). Returns 1, or 0 with the reason in
// t2tk_failure.
EMSCRIPTEN_KEEPALIVE int t2tk_convert(int count, int firstSlot, int compatibility, int raw)
{
    ConversionRequest request;
    for (int i = 0; i < count; ++i) {
        request.names.push_back("preset " + std::to_string(i + 1));
        request.readAlready.emplace_back(std::move(g_presets[static_cast<std::size_t>(i)]));
    }
    request.keepMessages = true;
    request.compatibility = compatibility != 0;
    request.firstSlot = firstSlot;
    std::ostream silent(nullptr);
    g_result = ConvertPresets(request, silent);
    g_output = raw != 0 ? g_result.messages : MidiFileOf(g_result.messages);
    g_schedule = SendSchedule(g_result.messages);
    g_steps.clear();
    for (std::size_t i = 0; i < g_schedule.steps().size(); ++i) {
        const SendStep& step = g_schedule.steps()[i];
        g_steps.insert(g_steps.end(),
                       {static_cast<double>(step.message.bytes - g_result.messages.data()),
                        static_cast<double>(step.message.length), Milliseconds(step.spacing),
                        static_cast<double>(step.preset), static_cast<double>(step.program),
                        step.storesPreset ? 1.0 : 0.0, Milliseconds(g_schedule.LeftAfter(i))});
    }
    return g_result.written ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE const std::uint8_t* t2tk_output() { return g_output.data(); }
EMSCRIPTEN_KEEPALIVE int t2tk_output_size() { return static_cast<int>(g_output.size()); }
EMSCRIPTEN_KEEPALIVE const std::uint8_t* t2tk_messages() { return g_result.messages.data(); }
EMSCRIPTEN_KEEPALIVE const char* t2tk_failure() { return g_result.failure.c_str(); }

// The send of the last conversion, seven numbers a step: where its message
// lies among the messages and its length, the spacing before it (ms), the
// preset it belongs to, its program, whether it stores a preset, and the
// time left once it is out (ms).
EMSCRIPTEN_KEEPALIVE const double* t2tk_steps() { return g_steps.data(); }
EMSCRIPTEN_KEEPALIVE int t2tk_step_count() { return static_cast<int>(g_schedule.steps().size()); }

// The name preset (1-based) of the last conversion carries in its program
// dump, shown as the page may show it.
EMSCRIPTEN_KEEPALIVE const char* t2tk_preset_name(int preset)
{
    for (const SendStep& step : g_schedule.steps()) {
        if (step.preset == preset) {
            return Text(Printable(step.name));
        }
    }
    return Text("");
}

// The warnings for preset i of the last conversion, read from a file called
// name, a line each; empty when the module takes it as it is.
EMSCRIPTEN_KEEPALIVE const char* t2tk_preset_warning(int i, const char* name)
{
    std::string lines;
    if (static_cast<std::size_t>(i) < g_result.presets.size()) {
        for (const std::string& warning : PresetWarnings(name, g_result.presets[static_cast<std::size_t>(i)])) {
            lines += (lines.empty() ? "" : "\n") + warning;
        }
    }
    return Text(lines);
}

// How many of the last conversion's files are not complete presets, said as
// the dialogs say it; empty when all are.
EMSCRIPTEN_KEEPALIVE const char* t2tk_incomplete()
{
    int incomplete = 0;
    for (const PresetSummary& preset : g_result.presets) {
        incomplete += IsCompletePreset(preset) ? 0 : 1;
    }
    return Text(incomplete == 0 ? std::string()
                                : IncompleteCount(incomplete, static_cast<int>(g_result.presets.size())));
}

// The name t2tk-convert would give the output: the one preset's name with
// .mid, or Thumpkrate.mid; .syx instead of .mid for the raw messages.
EMSCRIPTEN_KEEPALIVE const char* t2tk_output_name(const char* firstName, int count, int raw)
{
    std::string name = OutputPathFor(std::vector<std::string>(static_cast<std::size_t>(count), firstName));
    if (raw != 0) {
        name.replace(name.size() - 4, 4, ".syx");
    }
    return Text(name);
}

// The program field being typed in: -1 when it changes nothing yet (empty,
// 0, not digits), else the slot, plus 100 when the field is to show slot + 1
// at once instead of what was typed.
EMSCRIPTEN_KEEPALIVE int t2tk_read_program(const char* text)
{
    const std::optional<app::ProgramEntry> entry = app::ReadProgramField(text);
    return entry ? entry->slot + (entry->rewrite ? 100 : 0) : -1;
}
EMSCRIPTEN_KEEPALIVE int t2tk_slot_from_slider(int position) { return app::SlotFromSliderPosition(position); }
EMSCRIPTEN_KEEPALIVE int t2tk_slider_for_slot(int slot) { return app::SliderPositionForSlot(slot); }
EMSCRIPTEN_KEEPALIVE int t2tk_slider_maximum() { return app::kSliderMaximum; }
EMSCRIPTEN_KEEPALIVE int t2tk_slider_step() { return app::kSliderPositionsPerSlot; }

}  // extern "C"
