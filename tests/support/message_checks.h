#pragma once
// A structural check of a conversion's messages, shared by the tests and the
// fuzzers: an empty text when all is well, else what is wrong.

#include <cstddef>
#include <cstdint>
#include <string>

namespace t2tk::test {

// The message stream of a batch of presets: one init request, then 30 messages
// per preset in their order, each one the module takes (its head, the length
// its type has, data bytes below 0x80, its checksum), as the validator of
// saved files tells, and nothing after them.
std::string CheckMessages(const std::uint8_t* messages, std::size_t count, int presets);

}  // namespace t2tk::test
