#pragma once
// The layout of the module's SysEx messages, in one place: what the message
// stream writes, and what the sender and a saved file's check read.

#include <cstddef>
#include <cstdint>

namespace t2tk {

// Every message begins with this head, then its type.
inline constexpr std::uint8_t kMessageHead[] = {0xF0, 0x3E, 0x11, 0x00};
inline constexpr std::uint8_t kMessageEnd = 0xF7;

// Offsets in a message, counted from its 0xF0.
inline constexpr std::size_t kTypeOffset = 4;
inline constexpr std::size_t kCodeOffset = 5;    // a request's code; the bank of a dump
inline constexpr std::size_t kIndexOffset = 6;   // a dump's slot, voice or unit; the bank of a request
inline constexpr std::size_t kRecordOffset = 7;  // a dump's record; the slot of a request

// Message types (byte 4), request codes (byte 5 of a request), and the bank.
inline constexpr std::uint8_t kRequestType = 0x07;
inline constexpr std::uint8_t kVoiceDumpType = 0x10;
inline constexpr std::uint8_t kProgramDumpType = 0x11;
inline constexpr std::uint8_t kEffectDumpType = 0x15;
inline constexpr std::uint8_t kInitCode = 0x04;
inline constexpr std::uint8_t kStoreCode = 0x01;
inline constexpr std::uint8_t kBank = 0x30;

// Record sizes the dumps carry.
inline constexpr int kProgramHeaderSize = 40;
inline constexpr int kVoiceRecordSize = 109;
inline constexpr int kEffectRecordSize = 18;

// Whole lengths: the head, type, two bytes, the record, the checksum and 0xF7.
inline constexpr int kRequestLength = 10;
inline constexpr int kDumpFraming = 9;
inline constexpr int kProgramDumpLength = kProgramHeaderSize + kDumpFraming;
inline constexpr int kVoiceDumpLength = kVoiceRecordSize + kDumpFraming;
inline constexpr int kEffectDumpLength = kEffectRecordSize + kDumpFraming;

// One preset: a program dump, 24 voice dumps, 4 effect dumps and a store request.
inline constexpr int kPresetMessagesLength =
    kProgramDumpLength + 24 * kVoiceDumpLength + 4 * kEffectDumpLength + kRequestLength;

// The length a message of this type has, or 0 for a type the module does not take.
constexpr std::size_t MessageLength(std::uint8_t type)
{
    switch (type) {
    case kRequestType:
        return kRequestLength;
    case kProgramDumpType:
        return kProgramDumpLength;
    case kVoiceDumpType:
        return kVoiceDumpLength;
    case kEffectDumpType:
        return kEffectDumpLength;
    default:
        return 0;
    }
}

// True for a whole message of the module: its head, a known type and the
// length that type has, data bytes below 0x80, and in front of its 0xF7 the
// 7-bit sum of the bytes from the type byte on.
bool IsModuleMessage(const std::uint8_t* message, std::size_t length);

// What a status line tells of messages: a program dump, a store request.
inline bool IsProgramDump(const std::uint8_t* message, std::size_t length)
{
    return length > kIndexOffset && message[kTypeOffset] == kProgramDumpType;
}
inline bool IsStoreRequest(const std::uint8_t* message, std::size_t length)
{
    return length == kRequestLength && message[kTypeOffset] == kRequestType && message[kCodeOffset] == kStoreCode;
}

}  // namespace t2tk
