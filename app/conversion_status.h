#pragma once
// The line the dialog shows after a conversion.

#include <string>
#include <string_view>

namespace t2tk::app {

// E.g. "Wrote Thumpkrate.mid: 3 presets, programs 1 to 3." with notes when
// files past the 50th were left out or presets past program 50 all went to 50.
std::string DescribeConversion(std::string_view outputPath, int presets, int firstSlot, int filesLeftOut);

}  // namespace t2tk::app
