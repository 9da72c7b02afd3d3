#pragma once
// What the dialog says after a conversion.

#include <functional>
#include <string>
#include <string_view>

namespace t2tk::app {

// E.g. "Wrote Thumpkrate.mid: 3 presets, programs 1 to 3." with notes when
// files past the 50th were left out or presets past program 50 all went to 50.
// Only the file name of outputPath is shown.
std::string DescribeConversion(std::string_view outputPath, int presets, int firstSlot, int filesLeftOut);

// Its first sentence, shorter where room is short: with fileName (none when
// empty) and, when programs is set, the programs: "Wrote kit.mid: 1 preset,
// program 5.", "Wrote 1 preset, program 5.", "Wrote 1 preset."
std::string WroteSentence(std::string_view fileName, int presets, int firstSlot, bool programs = true);
// And the notes after it, each a sentence after a space, or an empty text.
std::string ConversionNotes(int presets, int firstSlot, int filesLeftOut);

// E.g. "5 files past the 50th left out".
std::string LeftOutNotice(int filesLeftOut);

// The last part of a path.
std::string_view FileNameOf(std::string_view path);

// U+2026, what ElideMiddle puts in the place of what it leaves out.
inline constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

// text with its middle given up for an ellipsis (U+2026), as much of it kept
// as fits says will fit; text itself when it fits whole.
std::string ElideMiddle(std::string_view text, const std::function<bool(std::string_view)>& fits);

}  // namespace t2tk::app
