// The conversion core for the web page: the presets the page reads are handed
// over in memory (files of the in-memory file system), converted through the
// same request layer as the native programs, and the file to download is laid
// out in memory too; the page never goes through the file writer. Plain C
// functions, called from the page's own JavaScript.
#include <emscripten/emscripten.h>

#include <string>
#include <vector>

#include "app/conversion_status.h"
#include "app/program_number.h"
#include "convert/conversion_request.h"
#include "convert/message_schedule.h"

using namespace t2tk;

namespace {

ConversionResult g_result;
std::vector<std::uint8_t> g_output;
SendSchedule g_schedule{{}};
std::string g_text;  // what the last function that returns text returned

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

// Converts the presets /presets/0 to /presets/<count - 1> into a MIDI file
// (or, with raw, the messages back to back). Returns 1, or 0 with the reason
// in t2tk_failure.
EMSCRIPTEN_KEEPALIVE int t2tk_convert(int count, int firstSlot, int compatibility, int raw)
{
    ConversionRequest request;
    for (int i = 0; i < count; ++i) {
        request.names.push_back("/presets/" + std::to_string(i));
    }
    request.keepMessages = true;
    request.compatibility = compatibility != 0;
    request.firstSlot = firstSlot;
    std::ostream silent(nullptr);
    g_result = ConvertPresets(request, silent);
    g_output = raw != 0 ? g_result.messages : MidiFileOf(g_result.messages);
    g_schedule = SendSchedule(g_result.messages);
    return g_result.written ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE const std::uint8_t* t2tk_output() { return g_output.data(); }
EMSCRIPTEN_KEEPALIVE int t2tk_output_size() { return static_cast<int>(g_output.size()); }
EMSCRIPTEN_KEEPALIVE const std::uint8_t* t2tk_messages() { return g_result.messages.data(); }
EMSCRIPTEN_KEEPALIVE const char* t2tk_failure() { return g_result.failure.c_str(); }

// The warning for preset i of the last conversion, read from a file called
// name; empty when it was complete.
EMSCRIPTEN_KEEPALIVE const char* t2tk_preset_warning(int i, const char* name)
{
    return Text(static_cast<std::size_t>(i) < g_result.presets.size()
                    ? IncompletePresetWarning(name, g_result.presets[static_cast<std::size_t>(i)])
                    : std::string());
}

// The line that says what was written, as the dialog's status line does.
EMSCRIPTEN_KEEPALIVE const char* t2tk_describe(const char* output, int presets, int firstSlot, int leftOut)
{
    return Text(app::DescribeConversion(output, presets, firstSlot, leftOut));
}

EMSCRIPTEN_KEEPALIVE const char* t2tk_overflow_warning(int firstProgram, int presets)
{
    return Text(ProgramOverflowWarning(firstProgram, presets));
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

// The send of the last conversion, one step a message: where it lies among the
// messages, the spacing before it (ms), the preset it belongs to, its program
// and name, whether it stores a preset, and the time left once it is out (ms).
EMSCRIPTEN_KEEPALIVE int t2tk_steps() { return static_cast<int>(g_schedule.steps().size()); }
EMSCRIPTEN_KEEPALIVE int t2tk_presets() { return g_schedule.presets(); }
EMSCRIPTEN_KEEPALIVE int t2tk_step_offset(int i)
{
    return static_cast<int>(g_schedule.steps()[static_cast<std::size_t>(i)].message.bytes - g_result.messages.data());
}
EMSCRIPTEN_KEEPALIVE int t2tk_step_length(int i)
{
    return static_cast<int>(g_schedule.steps()[static_cast<std::size_t>(i)].message.length);
}
EMSCRIPTEN_KEEPALIVE double t2tk_step_spacing(int i)
{
    return Milliseconds(g_schedule.steps()[static_cast<std::size_t>(i)].spacing);
}
EMSCRIPTEN_KEEPALIVE int t2tk_step_preset(int i) { return g_schedule.steps()[static_cast<std::size_t>(i)].preset; }
EMSCRIPTEN_KEEPALIVE int t2tk_step_program(int i) { return g_schedule.steps()[static_cast<std::size_t>(i)].program; }
EMSCRIPTEN_KEEPALIVE const char* t2tk_step_name(int i)
{
    return Text(Printable(g_schedule.steps()[static_cast<std::size_t>(i)].name));
}
EMSCRIPTEN_KEEPALIVE int t2tk_step_stores(int i) { return g_schedule.steps()[static_cast<std::size_t>(i)].storesPreset ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE double t2tk_left_after(int i) { return Milliseconds(g_schedule.LeftAfter(static_cast<std::size_t>(i))); }

// The program field: -1 when it is empty, else the slot, plus 100 when the
// field is to show slot + 1 instead of what was typed.
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
