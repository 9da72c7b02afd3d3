#pragma once
// The program number as the dialog shows it: a field of 1 to 50 and a slider.

#include <optional>
#include <string>
#include <string_view>

namespace t2tk::app {

inline constexpr int kSliderPositionsPerSlot = 100;
inline constexpr int kSliderMaximum = 4950;
// An arrow key moves the slider one program, a page key five.
inline constexpr int kSliderPagePrograms = 5;
// A wheel set to scroll pages moves the slider a page a notch.
inline constexpr int kWheelPageLines = kSliderPagePrograms;

struct ProgramEntry {
    int slot;      // 0..49
    bool rewrite;  // the number was above 50: show slot + 1 at once
};

// The field as the user types in it: the first three characters as a decimal
// number, leading zeros and all ("010" is 10), taken as typed from 1 to 50.
// What is empty, 0 ("00") or not digits changes nothing and stays as it is,
// since the next key may make a number of it; above 50 is 50 at once, as no
// further digit brings it back.
std::optional<ProgramEntry> ReadProgramField(std::string_view text);

// The field once the focus leaves it, and before a conversion: the program
// in use, 1 to 50.
std::string ProgramFieldText(int slot);

// Every slot owns 100 slider positions; slot 49 also owns 4950.
int SlotFromSliderPosition(int position);
int SliderPositionForSlot(int slot);

// Where notches of the wheel (up: positive) move the slider from position:
// a program for each line the system scrolls a notch, held within the range.
int WheelSliderPosition(int position, int notches, int linesPerNotch);

}  // namespace t2tk::app
