#pragma once
// Structural checks of a conversion's output, shared by the tests and the fuzzers:
// each returns an empty text when all is well, else what is wrong.

#include <cstddef>
#include <cstdint>
#include <string>

namespace t2tk::test {

// The message stream of a batch of presets: one init request, then 30 messages
// per preset, each framed, of the length its type has, correctly summed, and
// with every data byte below 0x80.
std::string CheckMessages(const std::uint8_t* messages, std::size_t count, int presets);

// The MIDI file made of those messages: its fixed parts, one SysEx event per
// message with the right delta and length, the track length and the size.
std::string CheckMidiFile(const std::uint8_t* file, std::size_t size, const std::uint8_t* messages,
                          std::size_t count);

}  // namespace t2tk::test
