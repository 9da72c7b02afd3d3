#pragma once
// The front ends' conversions with their files written: the request layer
// (convert/conversion_request.h) hands the core's bytes and the output's path
// to the writer here.

#include <filesystem>
#include <iostream>
#include <string>

#include "convert/conversion_output.h"
#include "convert/conversion_request.h"
#include "files/output_file.h"

namespace t2tk {

// The core's output, written by the file writer: what the core's
// ConvertFilesToMidi is handed in the programs.
class FileOutput : public ConversionOutput {
public:
    explicit FileOutput(const std::string& path) : m_file(path) {}
    bool IsPreset(std::FILE* preset) const override { return m_file.IsSameFileAs(preset); }
    bool IsStandardOutput() const { return m_file.IsStandardOutput(); }
    std::string Write(const std::uint8_t* data, std::size_t size) override;
    // What the writer said although it wrote.
    const std::string& warning() const { return m_warning; }

private:
    OutputFile m_file;
    std::string m_warning;
};

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
