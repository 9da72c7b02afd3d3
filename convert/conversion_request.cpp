#include "convert/conversion_request.h"

#include <cstdio>

#include "convert/convert.h"
#include "convert/output_file.h"

namespace t2tk {

namespace {

// Points the core's progress lines at a stream for as long as it lives.
class ProgressTo {
public:
    explicit ProgressTo(std::ostream& stream) : m_previous(ProgressLines) { ProgressLines = &stream; }
    ~ProgressTo() { ProgressLines = m_previous; }
    ProgressTo(const ProgressTo&) = delete;
    ProgressTo& operator=(const ProgressTo&) = delete;

private:
    std::ostream* m_previous;
};

std::string Describe(const ConversionReport& report)
{
    const char* what = "";
    switch (report.failure) {
    case ConversionFailure::None:
        return "";
    case ConversionFailure::TooManyPresets:
        return report.reason;
    case ConversionFailure::PresetOpen:
        what = "cannot open preset";
        break;
    case ConversionFailure::PresetRead:
        what = "cannot read preset";
        break;
    case ConversionFailure::OutputIsPreset:
        what = "will not overwrite preset";
        break;
    case ConversionFailure::OutputWrite:
        what = "cannot write";
        break;
    case ConversionFailure::OutputFolder:
        what = "cannot create a file in";
        break;
    case ConversionFailure::OutputLink:
        what = "will not follow";
        break;
    }
    return std::string(what) + " \"" + Printable(report.file) + "\": " + report.reason;
}

}  // namespace

NameList::NameList(const std::vector<std::string>& names)
{
    m_pointers.reserve(names.size() + 1);
    for (const std::string& name : names) {
        m_pointers.push_back(name.c_str());
    }
    m_pointers.push_back(nullptr);
}

ConversionResult Convert(const ConversionRequest& request, std::ostream& progress)
{
    static ConversionReport report;
    const NameList names(request.names);
    const auto convert = request.format == OutputFormat::SysEx ? ConvertFilesToSysEx : ConvertFilesToMidi;
    const int compatibility = request.compatibility ? 1 : 0;
    int status = 0;
    {
        const ProgressTo lines(progress);
        status = request.output.empty()
                     ? ConvertFilesToMessages(request.prefix.c_str(), names.data(), compatibility, request.firstSlot,
                                              &report)
                     : convert(request.prefix.c_str(), names.data(), request.output.c_str(), compatibility,
                               request.firstSlot, &report);
    }
    ConversionResult result;
    result.written = status == 0;
    result.failure = Describe(report);
    result.presets.assign(report.presets, report.presets + report.presetCount);
    if (request.keepMessages && status == 0) {
        result.messages.assign(MessageBuffer.bytes, MessageBuffer.bytes + MessageBuffer.fillCount);
    }
    return result;
}

bool IsStandardOutput(const std::string& path)
{
    return NamesStandardOutput(path.c_str());
}

std::string Printable(std::string_view name)
{
    std::string text;
    text.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        } else {
            text += c;
        }
    }
    return text;
}

}  // namespace t2tk
