#include "convert/conversion_report.h"

#include <cstdio>
#include <cstring>

namespace t2tk {

namespace {

void CopyText(char* target, std::size_t size, const char* text)
{
    std::snprintf(target, size, "%s", text != nullptr ? text : "");
}

}  // namespace

void ClearReport(ConversionReport* report)
{
    if (report == nullptr) {
        return;
    }
    report->failure = ConversionFailure::None;
    report->file[0] = '\0';
    report->reason[0] = '\0';
    report->presetCount = 0;
}

void ReportFailure(ConversionReport* report, ConversionFailure failure, const char* file, const char* reason)
{
    if (report == nullptr) {
        return;
    }
    report->failure = failure;
    CopyText(report->file, sizeof report->file, file);
    CopyText(report->reason, sizeof report->reason, reason);
}

void DescribeConversionFailure(const ConversionReport& report, char* text, std::size_t size)
{
    const char* what = "";
    switch (report.failure) {
    case ConversionFailure::None:
        CopyText(text, size, "");
        return;
    case ConversionFailure::TooManyPresets:
        std::snprintf(text, size, "%s", report.reason);
        return;
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
    }
    std::snprintf(text, size, "%s \"%s\": %s", what, report.file, report.reason);
}

}  // namespace t2tk
