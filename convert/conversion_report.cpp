#include "convert/conversion_report.h"

#include <cstdio>

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

}  // namespace t2tk
