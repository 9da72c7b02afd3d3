#include "files/file_conversion.h"

#ifdef _WIN32
#include "files/utf16.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace t2tk {

std::string FileOutput::Write(const std::uint8_t* data, std::size_t size)
{
    const WriteError error = m_file.Write({data, size});
    m_warnings.clear();
    for (const WriteError& warning : m_file.warnings()) {
        m_warnings.push_back(Describe(warning));
    }
    return Describe(error);
}

ConversionResult ConvertAndWrite(const ConversionRequest& request, std::ostream& progress, std::ostream* aside)
{
    if (const int preset = PresetAtStandardOutput(request.prefix, request.names); preset >= 0) {
        ConversionResult refused;
        refused.failure = PresetAtStandardOutputFailure(request.names[static_cast<std::size_t>(preset)], false);
        return refused;
    }
    if (request.output.empty()) {
        return ConvertPresets(request, progress);
    }
    // What the output is gets settled before a preset is read, so that no
    // preset is taken for it and none is overwritten.
    FileOutput output(request.output);
    std::ostream nowhere(nullptr);
    std::ostream& lines = !output.IsStandardOutput() ? progress : aside != nullptr ? *aside : nowhere;
    ConversionResult result = ConvertPresets(request, lines, &output);
    for (const std::string& warning : output.warnings()) {
        result.warnings.push_back("warning: " + warning);
    }
    return result;
}

int PresetAtStandardOutput(const std::string& prefix, const std::vector<std::string>& names)
{
#ifdef _WIN32
    // Not compared on Windows, whose shells only append to a file (>>).
    (void)prefix;
    (void)names;
#else
    struct stat output {};
    if (::fstat(STDOUT_FILENO, &output) != 0 || !S_ISREG(output.st_mode)) {
        return -1;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        struct stat preset {};
        if (::stat((prefix + names[i]).c_str(), &preset) == 0 && preset.st_dev == output.st_dev &&
            preset.st_ino == output.st_ino) {
            return static_cast<int>(i);
        }
    }
#endif
    return -1;
}

std::string PresetAtStandardOutputFailure(const std::string& name, bool list)
{
    return "will not overwrite preset \"" + Printable(name) + "\": standard output goes to it, and " +
           (list ? "the list" : "the progress lines") + " would go into it";
}

std::filesystem::path SystemPath(const std::string& path)
{
#ifdef _WIN32
    return Utf16(path);
#else
    return path;
#endif
}

}  // namespace t2tk
