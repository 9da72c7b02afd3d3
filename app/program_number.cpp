#include "app/program_number.h"

#include <algorithm>

#include "convert/conversion_request.h"

namespace t2tk::app {

std::optional<ProgramEntry> ReadProgramField(std::string_view text)
{
    if (text.empty()) {
        return std::nullopt;
    }
    int number = 0;
    for (const char c : text.substr(0, 3)) {
        number = number * 10 + (c - '0');
    }
    const int wanted = number - 1;
    const int slot = std::clamp(wanted, 0, kLastSlot);
    return ProgramEntry{slot, slot != wanted};
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
