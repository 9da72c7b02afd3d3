#include "convert/message_stream.h"

#include <cstring>
#include <iostream>

namespace t2tk {

MessageBufferData MessageBuffer;
std::ostream* ProgressLines = &std::cout;

namespace {

// Stores the 7-bit sum of the bytes from the type byte up to the last data byte
// into the byte in front of the first byte (from offset 5 on) with bit 7 set.
void SetChecksum(std::uint8_t* message)
{
    // First the end, eight bytes at a time, then the sum: simple loops run
    // faster than one that tests the next byte before it adds this one.
    std::size_t end = 5;
    for (std::uint64_t word = 0;; end += 8) {
        std::memcpy(&word, message + end, sizeof word);
        if ((word & 0x8080808080808080U) != 0) {
            break;
        }
    }
    while ((message[end] & 0x80) == 0) {
        ++end;
    }
    unsigned sum = 0;
    for (std::size_t i = 4; i + 1 < end; ++i) {
        sum += message[i];
    }
    message[end - 1] = static_cast<std::uint8_t>(sum & 0x7F);
}

std::uint8_t* BeginMessage(std::uint8_t type, std::uint8_t byte5, std::uint8_t byte6)
{
    std::uint8_t* m = MessageBuffer.bytes + MessageBuffer.fillCount;
    std::memcpy(m, kMessageHead, sizeof kMessageHead);
    m[kTypeOffset] = type;
    m[kCodeOffset] = byte5;
    m[kIndexOffset] = byte6;
    return m;
}

void FinishMessage(std::uint8_t* m, int length)
{
    m[length - 2] = 0x7F;
    m[length - 1] = kMessageEnd;
    SetChecksum(m);
    MessageBuffer.fillCount += length;
}

void AppendRequest(std::uint8_t code, int slot)
{
    std::uint8_t* m = BeginMessage(kRequestType, code, kBank);
    m[kRecordOffset] = static_cast<std::uint8_t>(slot);
    FinishMessage(m, kRequestLength);
}

void AppendDump(std::uint8_t type, int index, const std::uint8_t* record, int recordSize)
{
    std::uint8_t* m = BeginMessage(type, kBank, static_cast<std::uint8_t>(index));
    std::memcpy(m + kRecordOffset, record, static_cast<std::size_t>(recordSize));
    FinishMessage(m, recordSize + kDumpFraming);
}

}  // namespace

bool IsModuleMessage(const std::uint8_t* message, std::size_t length)
{
    if (length <= kTypeOffset || std::memcmp(message, kMessageHead, sizeof kMessageHead) != 0 ||
        MessageLength(message[kTypeOffset]) != length || message[length - 1] != kMessageEnd) {
        return false;
    }
    unsigned sum = 0;
    for (std::size_t i = kTypeOffset; i + 2 < length; ++i) {
        if (message[i] >= 0x80) {
            return false;
        }
        sum += message[i];
    }
    return message[length - 2] == (sum & 0x7F);
}

void AppendInitRequest()
{
    if (ProgressLines != nullptr) {
        *ProgressLines << "initreq\n" << std::flush;  // each line as it comes, for scripts that follow them
    }
    AppendRequest(kInitCode, 0);
}

void AppendStoreRequest(int slot)
{
    if (ProgressLines != nullptr) {
        *ProgressLines << "storereq " << slot << '\n' << std::flush;
    }
    AppendRequest(kStoreCode, slot);
}

void AppendProgramDump(const std::uint8_t* record, int slot)
{
    AppendDump(kProgramDumpType, slot, record, kProgramHeaderSize);
}

void AppendVoiceDump(const std::uint8_t* record, int voiceIndex)
{
    AppendDump(kVoiceDumpType, voiceIndex, record, kVoiceRecordSize);
}

void AppendEffectDump(const std::uint8_t* record, int unitIndex)
{
    AppendDump(kEffectDumpType, unitIndex, record, kEffectRecordSize);
}

}  // namespace t2tk
