#pragma once
// Conversion of Tolvin FXP presets into Thumpkrate SysEx messages and one MIDI file.
//
// Plain functions over fixed process-wide buffers: nothing here allocates on the
// way from preset to messages, and only one conversion runs at a time.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "convert/conversion_output.h"
#include "convert/conversion_report.h"
#include "convert/data_byte.h"
#include "convert/effect_record.h"
#include "convert/message_stream.h"
#include "convert/midi_file.h"
#include "convert/program_header.h"
#include "convert/program_slots.h"
#include "convert/voice_record.h"

namespace t2tk {

// The preset file being converted: a 56-byte big-endian FXP header, then the
// parameters as big-endian floats. Bytes past what the last read delivered are 0.
inline constexpr std::size_t kPresetImageSize = 10000;
inline constexpr std::size_t kPresetReadSize = 9000;
extern std::uint8_t PresetImage[kPresetImageSize];

inline constexpr std::size_t kByteSizeOffset = 4;
inline constexpr std::size_t kParameterCountOffset = 24;
inline constexpr std::size_t kProgramNameOffset = 28;
inline constexpr std::size_t kParametersOffset = 56;
// Parameters that lie inside the image.
inline constexpr std::uint32_t kImageParameters = (kPresetImageSize - kParametersOffset) / 4;
// A larger count is taken as no parameter list at all.
inline constexpr std::uint32_t kMaxParameterCount = 10000;

inline constexpr int kVoices = 24;
inline constexpr std::size_t kVoiceBlockOffset = 56;
inline constexpr std::size_t kVoiceBlockSize = 87 * 4;
inline constexpr int kEffectUnits = 4;
// The effect units follow the last voice.
inline constexpr std::size_t kEffectBlockOffset = kVoiceBlockOffset + kVoices * kVoiceBlockSize;
inline constexpr std::size_t kEffectBlockSize = 12 * 4;

// A preset read already (a pipe can be read only once): its bytes, taken as
// the bytes its file would give. A null bytes means: read the file.
struct PresetBytes {
    const std::uint8_t* bytes;
    std::size_t size;
};

// Converts the presets prefix+names[0], prefix+names[1], ... (names ends with a
// null entry) to one MIDI file at outputPath, which output writes (the front
// end hands in the writer it made for that path; without one nothing can be
// written). The first preset goes to firstSlot, each further one to the next
// slot, all held within 0..49. Returns 0, or -1 when a preset cannot be read,
// the output cannot be written, the output is one of the presets, or there are
// more presets than fit; then nothing is written and report (if given) says
// which file failed and why.
int ConvertFilesToMidi(const char* prefix, const char* const* names, const char* outputPath, int compatibility,
                       int firstSlot, ConversionReport* report = nullptr, const PresetBytes* readAlready = nullptr,
                       ConversionOutput* output = nullptr);

// As ConvertFilesToMidi, but writes the raw messages back to back, for
// librarians that send SysEx files.
int ConvertFilesToSysEx(const char* prefix, const char* const* names, const char* outputPath, int compatibility,
                        int firstSlot, ConversionReport* report = nullptr, const PresetBytes* readAlready = nullptr,
                        ConversionOutput* output = nullptr);

// As ConvertFilesToMidi, but writes no file: the messages stay in the message
// buffer, for a sender. (In all three, where readAlready, one entry per name
// or null, has bytes, that preset is taken from them instead of its file.)
int ConvertFilesToMessages(const char* prefix, const char* const* names, int compatibility, int firstSlot,
                           ConversionReport* report = nullptr, const PresetBytes* readAlready = nullptr);

// Appends the 30 messages of the preset in image (preceded by the init request
// when firstFile is nonzero). Always returns 0.
int AppendPresetMessages(std::uint8_t* image, int slot, int compatibility, int firstFile);

// Opens a preset for reading; the path is UTF-8 on every system.
std::FILE* OpenPreset(const char* path);

// Brings the image's header counts and parameters from file order to host
// order. Returns -1, having converted no parameter, when the count is above 10,000.
int SwapPresetByteOrder(std::uint8_t* image);

}  // namespace t2tk
