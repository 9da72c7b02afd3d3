#include "app/program_number.h"

#include <algorithm>

#include "convert/convert.h"

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
    return std::clamp(position / 100, 0, kLastSlot);
}

int SliderPositionForSlot(int slot)
{
    return slot * 100;
}

}  // namespace t2tk::app
