#include "app/conversion_status.h"

#include <algorithm>

#include "convert/conversion_request.h"

namespace t2tk::app {

std::string DescribeConversion(std::string_view outputPath, int presets, int firstSlot, int filesLeftOut)
{
    constexpr int lastProgram = kLastSlot + 1;
    const int first = firstSlot + 1;
    const int last = std::min(first + presets - 1, lastProgram);
    std::string text = "Wrote " + std::string(FileNameOf(outputPath)) + ": ";
    text += presets == 1 ? "1 preset, program " + std::to_string(first)
                         : std::to_string(presets) + " presets, programs " + std::to_string(first) + " to " +
                               std::to_string(last);
    text += ".";
    if (filesLeftOut > 0) {
        text += " " + LeftOutNotice(filesLeftOut) + ".";
    }
    if (first + presets - 1 > lastProgram) {
        text += " Presets past program 50 all went to program 50.";
    }
    return text;
}

std::string LeftOutNotice(int filesLeftOut)
{
    return std::to_string(filesLeftOut) + (filesLeftOut == 1 ? " file" : " files") + " past the 50th left out";
}

std::string_view FileNameOf(std::string_view path)
{
    return path.substr(path.find_last_of("/\\") + 1);
}

}  // namespace t2tk::app
