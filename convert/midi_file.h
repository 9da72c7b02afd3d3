#pragma once
// The Standard MIDI File that carries a conversion's messages: format 0, one
// track, 48 ticks per quarter note at 120 beats per minute, one SysEx event per
// message, a second before each program dump and a quarter second before every
// other message, so that the module has time to take each one in.

#include <cstddef>
#include <cstdint>

#include "convert/conversion_report.h"
#include "convert/message_stream.h"

namespace t2tk {

// File size for no messages: header, meter, tempo, track name, end of track.
inline constexpr std::size_t kEmptyMidiFileSize = 61;

// Room FormatMidiFile needs at most for count message bytes: an event adds
// at most two bytes to every two message bytes it carries.
constexpr std::size_t MidiFileCapacity(std::size_t count)
{
    return kEmptyMidiFileSize + 2 * count + 8;
}

// Lays out the file for count message bytes into file, which holds at least
// MidiFileCapacity(count) bytes; returns the file size. The walk takes a message
// from each 0xF0 to its first 0xF7 (or the end) and stops at any other byte
// where a message should begin.
std::size_t FormatMidiFile(const std::uint8_t* messages, std::size_t count, std::uint8_t* file);

class ConversionOutput;

// Writes the file for the first count bytes of messages (at most a message
// buffer's worth) to output. Returns 0, or -1 with the reason in report.
int WriteMidiFile(const std::uint8_t* messages, int count, ConversionOutput& output, ConversionReport* report = nullptr);

}  // namespace t2tk
