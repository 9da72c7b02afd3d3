#include "convert/midi_file.h"

#include <cstring>

#include "convert/message_schedule.h"
#include "convert/conversion_output.h"

namespace t2tk {

namespace {

constexpr std::uint8_t kHeader[] = {
    'M', 'T', 'h', 'd', 0x00, 0x00, 0x00, 0x06,  // header chunk of 6 bytes
    0x00, 0x00, 0x00, 0x01, 0x00, 0x30,          // format 0, one track, 48 ticks per quarter
    'M', 'T', 'r', 'k', 0x00, 0x00, 0x00, 0x00,  // track chunk, length patched at the end
};
constexpr std::size_t kTrackLengthOffset = 18;
constexpr std::size_t kTrackStart = sizeof kHeader;

constexpr std::uint8_t kTrackOpening[] = {
    0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08,  // 4/4
    0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,        // 500,000 us per quarter: 120 bpm
    0x00, 0xFF, 0x03, 0x10,                          // track name of 16 bytes
    'K', 'o', 'r', 'v', 'a', 'n', 'e', ' ', 'T', '2', 'T', 'K', ' ', '1', '.', '0',
};
constexpr std::uint8_t kEndOfTrack[] = {kFinalTicks, 0xFF, 0x2F, 0x00};

static_assert(sizeof kHeader + sizeof kTrackOpening + sizeof kEndOfTrack == kEmptyMidiFileSize);
static_assert(kProgramDumpTicks < 0x80 && kMessageTicks < 0x80 && kFinalTicks < 0x80, "one-byte delta times");

// The file is laid out here and written with one call.
std::uint8_t MidiFileImage[MidiFileCapacity(kMessageBufferSize)];

std::uint8_t* Put(std::uint8_t* out, const std::uint8_t* bytes, std::size_t size)
{
    std::memcpy(out, bytes, size);
    return out + size;
}

// Variable-length quantity, most significant group first. Our messages always
// take one byte; longer ones take as many as they need.
std::uint8_t* PutLength(std::uint8_t* out, std::size_t length)
{
    int shift = 0;
    while (shift < 28 && (length >> (shift + 7)) != 0) {
        shift += 7;
    }
    for (; shift > 0; shift -= 7) {
        *out++ = static_cast<std::uint8_t>(((length >> shift) & 0x7F) | 0x80);
    }
    *out++ = static_cast<std::uint8_t>(length & 0x7F);
    return out;
}

}  // namespace

std::size_t FormatMidiFile(const std::uint8_t* messages, std::size_t count, std::uint8_t* file)
{
    std::uint8_t* out = Put(file, kHeader, sizeof kHeader);
    out = Put(out, kTrackOpening, sizeof kTrackOpening);

    std::size_t position = 0;
    for (ScheduledMessage message{}; NextMessage(messages, count, position, message);) {
        *out++ = static_cast<std::uint8_t>(message.ticks);  // both delays fit one byte
        *out++ = 0xF0;
        out = PutLength(out, message.length - 1);
        out = Put(out, message.bytes + 1, message.length - 1);
    }
    out = Put(out, kEndOfTrack, sizeof kEndOfTrack);

    const auto size = static_cast<std::size_t>(out - file);
    const std::size_t trackLength = size - kTrackStart;
    for (int i = 0; i < 4; ++i) {
        file[kTrackLengthOffset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(trackLength >> (24 - 8 * i));
    }
    return size;
}

int WriteMidiFile(const std::uint8_t* messages, int count, ConversionOutput& output, ConversionReport* report)
{
    if (count < 0 || static_cast<std::size_t>(count) > kMessageBufferSize) {
        ReportFailure(report, ConversionFailure::Output, "", "more message bytes than a conversion holds");
        return -1;
    }
    const std::size_t size = FormatMidiFile(messages, static_cast<std::size_t>(count), MidiFileImage);
    if (const std::string failure = output.Write(MidiFileImage, size); !failure.empty()) {
        ReportFailure(report, ConversionFailure::Output, "", failure.c_str());
        return -1;
    }
    return 0;
}

}  // namespace t2tk
