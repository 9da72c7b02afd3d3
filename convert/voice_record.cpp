#include "convert/voice_record.h"

#include <cmath>
#include <cstring>

#include "convert/data_byte.h"

namespace t2tk {

namespace {

constexpr ScaledByte kScaledBytes[] = {
    {5, 3},   {6, 4},   {9, 6},   {10, 7},  {11, 8},  {13, 9},  {20, 14}, {21, 15},
    {26, 21}, {27, 23}, {28, 22}, {29, 27}, {30, 24}, {31, 25}, {36, 19}, {39, 31},
    {40, 32}, {41, 33}, {43, 34}, {44, 35}, {47, 39}, {53, 43}, {55, 44}, {58, 45},
    {63, 50}, {64, 51}, {66, 53}, {69, 56}, {70, 57}, {72, 59}, {75, 38},
};

// A coarse byte and the fine byte after it together hold a 14-bit value.
struct FineByte {
    int byte;
    int parameter;
};
constexpr FineByte kFineBytes[] = {{2, 2}, {17, 13}};

// Step values: the parameter times a factor, truncated. The odd factors (8.1,
// 24.01, 3.1) make 1.0 reach the top step and not stop one below it.
struct SteppedByte {
    int byte;
    int parameter;
    double factor;
};
constexpr SteppedByte kSteppedBytes[] = {
    {1, 1, 8.1},   {7, 5, 1.0},   {12, 8, 1.0},  {16, 12, 8.1}, {22, 16, 1.0},
    {32, 26, 1.0}, {37, 20, 50.0}, {45, 36, 1.0}, {77, 37, 24.01}, {94, 47, 3.1},
};

struct FixedByte {
    int byte;
    std::uint8_t value;
};
constexpr FixedByte kFixedBytes[] = {
    {42, 64}, {48, 64}, {49, 2}, {56, 1}, {59, 64}, {60, 64}, {61, 3}, {76, 1}, {79, 32}, {85, 1},
};

// Bytes that follow a curve of two slopes over the parameter.
struct CurvedByte {
    int byte;
    int parameter;
};
constexpr CurvedByte kCurvedBytes[] = {{67, 52}, {73, 58}};

// A byte that is 127 only while the byte it follows is at the top.
struct FlagByte {
    int byte;
    int source;
};
constexpr FlagByte kFlagBytes[] = {{65, 64}, {71, 70}};

constexpr std::uint8_t kStepTable[8] = {1, 2, 5, 3, 4, 6, 0, 0};
constexpr int kStepTableByte = 38;
constexpr int kStepTableParameter = 30;

constexpr int kSelectorByte = 86;
constexpr int kSelectorParameter = 42;
constexpr int kSelectedByte = 87;
constexpr int kSelectedParameter = 46;

constexpr int kIntegrityParameters[] = {5, 9, 16, 26, 36};

std::uint8_t Scaled(float x)
{
    return static_cast<std::uint8_t>(ScaleToDataByte(x));
}

// The part of x*128 below one step, as the lower seven bits of the 14-bit value.
std::uint8_t Fine(float x)
{
    const double steps = static_cast<double>(x) * 128.0;
    return Scaled(static_cast<float>(steps - std::floor(steps)));
}

// Rises with slope 126 to 84 at two thirds, then with slope 63 to 105.
std::uint8_t Curved(float x)
{
    const double p = static_cast<double>(x) * 3.0;
    const double value = p > 2.0 ? (p - 2.0) * 21.0 + 84.0 : p * 42.0;
    return ClampToDataByte(TruncToInt32(value));
}

// Every parameter some byte of the record is built from, from the tables above.
constexpr int kVoiceParameterCount = 87;
struct ReadParameters {
    bool read[kVoiceParameterCount] = {};
    constexpr ReadParameters()
    {
        for (const ScaledByte& b : kScaledBytes) {
            read[b.parameter] = true;
        }
        for (const FineByte& b : kFineBytes) {
            read[b.parameter] = true;
        }
        for (const SteppedByte& b : kSteppedBytes) {
            read[b.parameter] = true;
        }
        for (const CurvedByte& b : kCurvedBytes) {
            read[b.parameter] = true;
        }
        for (const int parameter : kIntegrityParameters) {
            read[parameter] = true;
        }
        read[kStepTableParameter] = true;
        read[kSelectorParameter] = true;
        read[kSelectedParameter] = true;
    }
};
constexpr ReadParameters kReadParameters;

}  // namespace

bool VoiceParameterRead(int index)
{
    return index >= 0 && index < kVoiceParameterCount && kReadParameters.read[index];
}

int BuildVoiceRecord(const std::uint8_t* block, std::uint8_t* record)
{
    const auto x = [block](int index) { return ReadParameter(block, index); };

    std::memset(record, 0, kVoiceRecordClearSize);
    record[89] = 64;

    // A voice whose switches do not add up to a whole number is taken as damaged.
    double sum = 0.0;
    for (const int parameter : kIntegrityParameters) {
        sum += static_cast<double>(x(parameter));
    }
    if (sum - std::floor(sum) != 0.0) {
        return -1;
    }

    FillScaledBytes(block, record, kScaledBytes);
    for (const FineByte& b : kFineBytes) {
        record[b.byte] = Scaled(x(b.parameter));
        record[b.byte + 1] = Fine(x(b.parameter));
    }
#pragma GCC unroll 16
    for (const SteppedByte& b : kSteppedBytes) {
        record[b.byte] = ClampToDataByte(TruncToInt32(static_cast<double>(x(b.parameter)) * b.factor));
    }
#pragma GCC unroll 16
    for (const FixedByte& b : kFixedBytes) {
        record[b.byte] = b.value;
    }
    for (const CurvedByte& b : kCurvedBytes) {
        record[b.byte] = Curved(x(b.parameter));
    }
    for (const FlagByte& b : kFlagBytes) {
        record[b.byte] = record[b.source] == 127 ? 127 : 0;
    }

    const std::int32_t step = TruncToInt32(static_cast<double>(x(kStepTableParameter)) * 5.5);
    record[kStepTableByte] = kStepTable[static_cast<std::uint32_t>(step) & 7U];

    const std::int32_t selector = TruncToInt32(static_cast<double>(x(kSelectorParameter)) * 5.1);
    if (selector <= 1) {
        record[kSelectorByte] = ClampToDataByte(selector);
        record[kSelectedByte] = Scaled(x(kSelectedParameter));
    } else {
        record[kSelectorByte] = 3;
    }
    return 0;
}

}  // namespace t2tk
