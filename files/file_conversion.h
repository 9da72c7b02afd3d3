#pragma once
// The front ends' conversions with their files written: the request layer
// (convert/conversion_request.h) hands the core's bytes and the output's path
// to the writer here.

#include <filesystem>
#include <iostream>
#include <string>

#include "convert/conversion_request.h"

namespace t2tk {

// Converts as asked and writes the output, when there is one, with the file
// writer. The "initreq" and "storereq N" lines go to progress, or to aside
// when one is given and the output is the process's standard output ("-",
// /dev/stdout, /proc/self/fd/1 or the redirected file itself), which then
// carries the file alone.
ConversionResult ConvertAndWrite(const ConversionRequest& request, std::ostream& progress = std::cout,
                                 std::ostream* aside = nullptr);

// A path of UTF-8 as the system takes it (UTF-16 on Windows).
std::filesystem::path SystemPath(const std::string& path);

}  // namespace t2tk
