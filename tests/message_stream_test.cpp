#include <gtest/gtest.h>

#include "convert/convert.h"
#include "tests/support/test_support.h"

namespace t2tk {
namespace {

using test::Bytes;
using test::Concat;

Bytes Zeros(int count)
{
    return Bytes(static_cast<std::size_t>(count), 0);
}

TEST(MessageStream, RequestsCarryTheirWorkedChecksums)
{
    MessageBuffer.fillCount = 0;
    AppendInitRequest();
    AppendStoreRequest(0);
    AppendStoreRequest(49);
    EXPECT_EQ(test::MessageBytes(), (Concat({
                                        {0xF0, 0x3E, 0x11, 0x00, 0x07, 0x04, 0x30, 0x00, 0x3B, 0xF7},
                                        {0xF0, 0x3E, 0x11, 0x00, 0x07, 0x01, 0x30, 0x00, 0x38, 0xF7},
                                        {0xF0, 0x3E, 0x11, 0x00, 0x07, 0x01, 0x30, 0x31, 0x69, 0xF7},
                                    })));
}

TEST(MessageStream, ProgramDumpOfAnUnnamedPreset)
{
    std::uint8_t name[28] = {};
    std::uint8_t record[40];
    BuildProgramHeader(record, name);
    MessageBuffer.fillCount = 0;
    AppendProgramDump(record, 0);
    record[kCompatibilityByte] = 1;
    AppendProgramDump(record, 0);

    const Bytes head = {0xF0, 0x3E, 0x11, 0x00, 0x11, 0x30, 0x00};
    const Bytes settings = {0x64, 0x01, 0x64, 0x02, 0x64, 0x00, 0x64};
    EXPECT_EQ(test::MessageBytes(), Concat({head, Zeros(21), settings, Zeros(12), {0x54, 0xF7},  //
                                            head, Zeros(17), {0x01}, Zeros(3), settings, Zeros(12), {0x55, 0xF7}}));
}

TEST(MessageStream, EffectDumpsOfSilentUnits)
{
    std::uint8_t block[48] = {};
    std::uint8_t record[18];
    MessageBuffer.fillCount = 0;
    for (int unit = 0; unit < 4; ++unit) {
        BuildEffectRecord(block, record, unit);
        AppendEffectDump(record, unit);
    }
    const Bytes head = {0xF0, 0x3E, 0x11, 0x00, 0x15, 0x30};
    EXPECT_EQ(test::MessageBytes(), Concat({head, {0x00, 0x06, 0x01}, Zeros(16), {0x4C, 0xF7},  //
                                            head, {0x01, 0x06, 0x04}, Zeros(16), {0x50, 0xF7},  //
                                            head, {0x02, 0x00, 0x01}, Zeros(16), {0x48, 0xF7},  //
                                            head, {0x03, 0x00, 0x01}, Zeros(16), {0x49, 0xF7}}));
}

}  // namespace
}  // namespace t2tk
