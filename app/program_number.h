#pragma once
// The program number as the dialog shows it: a field of 1 to 50 and a slider.

#include <optional>
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
    bool rewrite;  // the entry was out of range: show slot + 1 instead
};

// Reads at most the first three characters as a decimal number (each
// character's code less that of "0") and holds number - 1 within 0..49.
// An empty field changes nothing.
std::optional<ProgramEntry> ReadProgramField(std::string_view text);

// Every slot owns 100 slider positions; slot 49 also owns 4950.
int SlotFromSliderPosition(int position);
int SliderPositionForSlot(int slot);

// Where notches of the wheel (up: positive) move the slider from position:
// a program for each line the system scrolls a notch, held within the range.
int WheelSliderPosition(int position, int notches, int linesPerNotch);

}  // namespace t2tk::app
