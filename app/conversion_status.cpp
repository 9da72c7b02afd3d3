#include "app/conversion_status.h"

#include <algorithm>
#include <vector>

#include "convert/conversion_request.h"

namespace t2tk::app {

std::string DescribeConversion(std::string_view outputPath, int presets, int firstSlot, int filesLeftOut)
{
    return WroteSentence(FileNameOf(outputPath), presets, firstSlot) + ConversionNotes(presets, firstSlot, filesLeftOut);
}

std::string WroteSentence(std::string_view fileName, int presets, int firstSlot, bool programs)
{
    constexpr int lastProgram = kLastSlot + 1;
    const int first = firstSlot + 1;
    const int last = std::min(first + presets - 1, lastProgram);
    std::string text = fileName.empty() ? "Wrote " : "Wrote " + std::string(fileName) + ": ";
    text += presets == 1 ? "1 preset" : std::to_string(presets) + " presets";
    if (programs) {
        text += presets == 1 ? ", program " + std::to_string(first)
                             : ", programs " + std::to_string(first) + " to " + std::to_string(last);
    }
    return text + ".";
}

std::string ConversionNotes(int presets, int firstSlot, int filesLeftOut)
{
    constexpr int lastProgram = kLastSlot + 1;
    std::string text;
    if (filesLeftOut > 0) {
        text += " " + LeftOutNotice(filesLeftOut) + ".";
    }
    if (firstSlot + presets > lastProgram) {
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

std::string ElideMiddle(std::string_view text, const std::function<bool(std::string_view)>& fits)
{
    if (fits(text)) {
        return std::string(text);
    }
    // The characters' starts, so that no UTF-8 sequence is cut.
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            starts.push_back(i);
        }
    }
    starts.push_back(text.size());
    const auto withKept = [&](std::size_t kept) {
        const std::size_t characters = starts.size() - 1;
        const std::size_t head = (kept + 1) / 2;
        const std::size_t tail = kept / 2;
        return std::string(text.substr(0, starts[head])) + std::string(kEllipsis) +
               std::string(text.substr(starts[characters - tail]));
    };
    std::size_t low = 0;  // fits, or nothing does
    std::size_t high = starts.size() - 1;
    while (low + 1 < high) {
        const std::size_t middle = (low + high) / 2;
        (fits(withKept(middle)) ? low : high) = middle;
    }
    return withKept(low);
}

}  // namespace t2tk::app
