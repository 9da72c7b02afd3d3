#include "convert/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace t2tk {

namespace {

namespace fs = std::filesystem;

int Fail(ConversionReport* report, const char* path, const char* reason)
{
    ReportFailure(report, ConversionFailure::OutputWrite, path, reason);
    return -1;
}

// Writes everything and closes the file; false with errno set on any error.
bool WriteAndClose(std::FILE* file, const std::uint8_t* data, std::size_t size, int* error)
{
    bool ok = std::fwrite(data, 1, size, file) == size;
    if (ok && std::fflush(file) != 0) {
        ok = false;
    }
    *error = errno;
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        *error = errno;
    }
    return ok;
}

// Creates a new file beside path whose name no other file has; its name goes to temp.
std::FILE* CreateTemporaryBeside(const char* path, char* temp, std::size_t tempSize)
{
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
        const int length = std::snprintf(temp, tempSize, "%s.t2tk-%u.tmp", path, attempt);
        if (length < 0 || static_cast<std::size_t>(length) >= tempSize) {
            errno = ENAMETOOLONG;
            return nullptr;
        }
        // "x": fails instead of opening a file that is already there.
        std::FILE* file = std::fopen(temp, "wbx");
        if (file != nullptr || errno != EEXIST) {
            return file;
        }
    }
    return nullptr;
}

int WriteInPlace(const char* path, const std::uint8_t* data, std::size_t size, ConversionReport* report)
{
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return Fail(report, path, std::strerror(errno));
    }
    int error = 0;
    if (!WriteAndClose(file, data, size, &error)) {
        return Fail(report, path, std::strerror(error));
    }
    return 0;
}

}  // namespace

int WriteOutputFile(const char* path, const std::uint8_t* data, std::size_t size, ConversionReport* report)
{
    std::error_code ignored;
    const fs::file_status status = fs::status(path, ignored);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        // A device or a pipe cannot be replaced by renaming; a directory fails here.
        return WriteInPlace(path, data, size, report);
    }

    char temp[kPathCapacity];
    std::FILE* file = CreateTemporaryBeside(path, temp, sizeof temp);
    if (file == nullptr) {
        return Fail(report, path, std::strerror(errno));
    }
    int error = 0;
    if (!WriteAndClose(file, data, size, &error)) {
        std::remove(temp);
        return Fail(report, path, std::strerror(error));
    }
    std::error_code renameError;
    fs::rename(temp, path, renameError);
    if (renameError) {
        std::remove(temp);
        return Fail(report, path, renameError.message().c_str());
    }
    return 0;
}

bool IsSameFile(const char* first, const char* second)
{
    std::error_code error;
    return fs::equivalent(first, second, error) && !error;
}

}  // namespace t2tk
