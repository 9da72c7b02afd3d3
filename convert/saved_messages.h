#pragma once
// Files t2tk wrote, read back so that they can be sent again: a MIDI file or
// raw SysEx messages, told from a preset by what they begin with, not by
// their name. Only what the module takes is ever handed on.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace t2tk {

enum class FileKind {
    Preset,    // anything else: converted as a preset
    MidiFile,  // "MThd"
    SysEx,     // 0xF0: messages back to back
};

// What a file is, from its first bytes.
FileKind KindOfFile(std::span<const std::uint8_t> head);

// The module's messages in a saved file, back to back, in the order the file
// holds them; or, with no messages, why the file holds more or other than the
// module's messages (each must have their head, a known type, the length it
// has, and a right checksum).
struct SavedMessages {
    std::vector<std::uint8_t> messages;
    std::string failure;
};
SavedMessages ReadSavedMessages(std::span<const std::uint8_t> file);

}  // namespace t2tk
