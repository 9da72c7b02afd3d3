#pragma once
// The front ends' conversions with their files written: the request layer
// (convert/conversion_request.h) hands the core's bytes and the output's path
// to the writer here.

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

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
    const std::vector<std::string>& warnings() const { return m_warnings; }

private:
    OutputFile m_file;
    std::vector<std::string> m_warnings;
};

// Converts as asked and writes the output, when there is one, with the file
// writer. The "initreq" and "storereq N" lines go to progress, or to aside
// when one is given and the output is the process's standard output ("-",
// /dev/stdout, /proc/self/fd/1 or the redirected file itself), which then
// carries the file alone (and without aside they go nowhere). Refused before
// anything is read when standard output is one of the presets.
ConversionResult ConvertAndWrite(const ConversionRequest& request, std::ostream& progress = std::cout,
                                 std::ostream* aside = nullptr);

// Which of the presets (each opened as prefix + name) standard output is, a
// file that lines written there would go into while it is read; -1 for none.
int PresetAtStandardOutput(const std::string& prefix, const std::vector<std::string>& names);

// What a front end says of that preset.
// list: what would go into it is the list of programs, not the progress lines.
std::string PresetAtStandardOutputFailure(const std::string& name, bool list);

// A path of UTF-8 as the system takes it (UTF-16 on Windows).
std::filesystem::path SystemPath(const std::string& path);

}  // namespace t2tk
