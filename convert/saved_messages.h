#pragma once
// Files t2tk wrote, read back so that they can be sent again: a MIDI file or
// raw SysEx messages, told from a preset by what they begin with, not by
// their name. Only what the module takes is ever handed on.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "convert/message_layout.h"
#include "convert/midi_file.h"

namespace t2tk {

// The largest file t2tk writes: the MIDI file of one conversion's 50
// presets, each message an event two bytes longer than the message.
inline constexpr std::size_t kLargestSavedFile =
    kEmptyMidiFileSize + (kRequestLength + 2) + 50 * (kPresetMessagesLength + 30 * 2);

enum class FileKind {
    Preset,    // anything else: converted as a preset
    MidiFile,  // "MThd"
    SysEx,     // 0xF0: messages back to back
};

// What a file is, from its first bytes.
FileKind KindOfFile(std::span<const std::uint8_t> head);

// The module's messages in a saved file, back to back, in the order the file
// holds them; or, with no messages, why the file is not what t2tk writes:
// each message must be one of the module's (its head, a known type, the
// length it has, a right checksum), and they must come in t2tk's order (one
// init request, then 1 to 50 whole presets, each a program dump, the voice
// dumps of voices 1 to 24, the dumps of effect units 1 to 4 and the store
// request for the program of its dump, their programs following one another
// from the first, and those past the last program all to the last).
struct SavedMessages {
    std::vector<std::uint8_t> messages;
    std::string failure;
};
SavedMessages ReadSavedMessages(std::span<const std::uint8_t> file);

}  // namespace t2tk
