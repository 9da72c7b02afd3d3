#include <gtest/gtest.h>

#include "convert/convert.h"
#include "files/file_conversion.h"
#include "tests/support/test_support.h"

namespace t2tk {
namespace {

using test::Bytes;

Bytes Format(const Bytes& messages)
{
    Bytes file(MidiFileCapacity(messages.size()));
    file.resize(FormatMidiFile(messages.data(), messages.size(), file.data()));
    return file;
}

Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t count)
{
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                 bytes.begin() + static_cast<std::ptrdiff_t>(offset + count));
}

std::uint32_t TrackLength(const Bytes& file)
{
    return (std::uint32_t{file[18]} << 24) | (std::uint32_t{file[19]} << 16) | (std::uint32_t{file[20]} << 8) |
           file[21];
}

TEST(MidiFile, LengthsAreVariableLengthQuantities)
{
    for (const auto& [length, expected] : std::initializer_list<std::pair<std::size_t, Bytes>>{
             {127, {0x7F}}, {128, {0x81, 0x00}}, {200, {0x81, 0x48}}, {20000, {0x81, 0x9C, 0x20}}}) {
        Bytes message(length + 1, 0x01);
        message.front() = 0xF0;
        message.back() = 0xF7;
        const Bytes file = Format(message);
        EXPECT_EQ(Slice(file, 58, expected.size() + 1), test::Concat({{0xF0}, expected})) << length;
        EXPECT_EQ(file.size(), 61 + 2 + expected.size() + length);
        EXPECT_EQ(TrackLength(file), file.size() - 22);
    }
}

TEST(MidiFile, WalkStopsWhereNoMessageBegins)
{
    // A program dump type byte gets a second's delta; a stray byte ends the walk;
    // a message without its end runs to the end of the buffer.
    EXPECT_EQ(Slice(Format({0xF0, 0x3E, 0x11, 0x00, 0x11, 0xF7, 0x42, 0xF0, 0xF7}), 57, 8),
              (Bytes{0x60, 0xF0, 0x05, 0x3E, 0x11, 0x00, 0x11, 0xF7}));
    EXPECT_EQ(Format({0xF0, 0x3E, 0x11, 0x00, 0x11, 0xF7, 0x42, 0xF0, 0xF7}).size(), 61U + 8U);
    EXPECT_EQ(Slice(Format({0xF0, 0x01, 0x02}), 57, 5), (Bytes{0x18, 0xF0, 0x02, 0x01, 0x02}));
}

TEST(MidiFile, WriterRefusesCountsOutsideTheBuffer)
{
    test::TempDir dir;
    FileOutput output(dir.File("out.mid"));
    for (const int count : {-1, static_cast<int>(kMessageBufferSize) + 1}) {
        ConversionReport report{};
        EXPECT_EQ(WriteMidiFile(MessageBuffer.bytes, count, output, &report), -1) << count;
        EXPECT_EQ(report.failure, ConversionFailure::Output);
    }
    EXPECT_TRUE(dir.List().empty()) << "nothing is written";
}

}  // namespace
}  // namespace t2tk
