#include "app/program_number.h"

#include <algorithm>

#include "convert/conversion_request.h"

namespace t2tk::app {

std::optional<ProgramEntry> ReadProgramField(std::string_view text)
{
    int number = 0;
    for (const char c : text.substr(0, 3)) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        number = number * 10 + (c - '0');
    }
    if (number == 0) {
        return std::nullopt;
    }
    const int slot = std::min(number - 1, kLastSlot);
    return ProgramEntry{slot, slot != number - 1};
}

std::string ProgramFieldText(int slot)
{
    return std::to_string(slot + 1);
}

int SlotFromSliderPosition(int position)
{
    return std::clamp(position / kSliderPositionsPerSlot, 0, kLastSlot);
}

int SliderPositionForSlot(int slot)
{
    return slot * kSliderPositionsPerSlot;
}

int WheelSliderPosition(int position, int notches, int linesPerNotch)
{
    return std::clamp(position + notches * linesPerNotch * kSliderPositionsPerSlot, 0, kSliderMaximum);
}

}  // namespace t2tk::app
