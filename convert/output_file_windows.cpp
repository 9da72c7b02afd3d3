// The output writer on Windows, where paths arrive as UTF-8 and go to the
// system as UTF-16, so that any name a user's folder has works.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

#include "convert/output_file.h"
#include "convert/utf16.h"

namespace t2tk {

namespace {

namespace fs = std::filesystem;

std::wstring Wide(const char* text)
{
    return Utf16(text);
}

int Fail(ConversionReport* report, ConversionFailure failure, const char* path, const char* reason)
{
    ReportFailure(report, failure, path, reason);
    return -1;
}

int FailWith(ConversionReport* report, const char* path, int error)
{
    return Fail(report, ConversionFailure::OutputWrite, path, std::strerror(error));
}

bool WriteAll(std::FILE* file, const std::uint8_t* data, std::size_t size)
{
    return std::fwrite(data, 1, size, file) == size && std::fflush(file) == 0;
}

int WriteInPlace(const char* path, const std::uint8_t* data, std::size_t size, ConversionReport* report)
{
    std::FILE* file = ::_wfopen(Wide(path).c_str(), L"wb");
    if (file == nullptr) {
        return FailWith(report, path, errno);
    }
    const bool written = WriteAll(file, data, size);
    const int error = errno;
    if (std::fclose(file) != 0 && written) {
        return FailWith(report, path, errno);
    }
    return written ? 0 : FailWith(report, path, error);
}

}  // namespace

bool NamesStandardOutput(const char* path)
{
    return std::strcmp(path, "-") == 0;
}

int WriteOutputFile(const char* path, const std::uint8_t* data, std::size_t size, ConversionReport* report)
{
    if (NamesStandardOutput(path)) {
        ::_setmode(::_fileno(stdout), _O_BINARY);
        return WriteAll(stdout, data, size) ? 0 : FailWith(report, path, errno);
    }
    const std::wstring target = Wide(path);
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        std::error_code ignored;
        if (!fs::is_regular_file(fs::path(target), ignored)) {
            // A device or a pipe cannot be replaced by renaming; a folder fails here.
            return WriteInPlace(path, data, size, report);
        }
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return Fail(report, ConversionFailure::OutputWrite, path, "it is read-only");
        }
    }

    // A new file of a random, short name in the output's folder.
    const fs::path folder = fs::path(target).parent_path();
    std::random_device random;
    std::wstring temporary;
    int descriptor = -1;
    for (int attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
        wchar_t name[16];
        std::swprintf(name, 16, L".t2tk-%06x", random() & 0xFFFFFFu);
        temporary = (folder / name).wstring();
        descriptor = ::_wopen(temporary.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (descriptor < 0 && errno != EEXIST) {
            break;
        }
    }
    if (descriptor < 0) {
        const std::string_view text(path);
        const std::size_t separator = text.find_last_of("\\/");
        const std::string shown = separator == std::string_view::npos ? "." : std::string(text.substr(0, separator));
        return Fail(report, ConversionFailure::OutputFolder, shown.c_str(), std::strerror(errno));
    }
    std::FILE* file = ::_fdopen(descriptor, "wb");
    bool ok = file != nullptr && WriteAll(file, data, size) && ::_commit(::_fileno(file)) == 0;
    int error = errno;
    if (file != nullptr ? std::fclose(file) != 0 : ::_close(descriptor) != 0) {
        ok = false;
        error = errno;
    }
    if (ok && ::MoveFileExW(temporary.c_str(), target.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        ok = false;
        error = EACCES;
    }
    if (!ok) {
        ::_wremove(temporary.c_str());
        return FailWith(report, path, error);
    }
    return 0;
}

std::FILE* OpenPreset(const char* path)
{
    return ::_wfopen(Wide(path).c_str(), L"rb");
}

// Windows' stat() has no file numbers, so the paths are compared there.
OutputIdentity::OutputIdentity(const char* outputPath) : m_outputPath(outputPath)
{
    std::error_code ignored;
    m_exists = fs::exists(fs::path(Wide(outputPath)), ignored);
}

bool OutputIdentity::Matches(const char* path, std::FILE* /*file*/) const
{
    std::error_code error;
    return m_exists && fs::equivalent(fs::path(Wide(path)), fs::path(Wide(m_outputPath)), error) && !error;
}

}  // namespace t2tk
