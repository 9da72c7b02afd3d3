#include "files/file_conversion.h"

#ifdef _WIN32
#include "files/utf16.h"
#endif

namespace t2tk {

std::string FileOutput::Write(const std::uint8_t* data, std::size_t size)
{
    const WriteError error = m_file.Write({data, size});
    m_warning = Describe(m_file.warning());
    return Describe(error);
}

ConversionResult ConvertAndWrite(const ConversionRequest& request, std::ostream& progress, std::ostream* aside)
{
    if (request.output.empty()) {
        return ConvertPresets(request, progress);
    }
    // What the output is gets settled before a preset is read, so that no
    // preset is taken for it and none is overwritten.
    FileOutput output(request.output);
    std::ostream& lines = aside != nullptr && output.IsStandardOutput() ? *aside : progress;
    ConversionResult result = ConvertPresets(request, lines, &output);
    if (!output.warning().empty()) {
        result.warnings.push_back("warning: " + output.warning());
    }
    return result;
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
