#include "convert/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <filesystem>
#include <system_error>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace t2tk {

namespace {

// What the writer needs to know of the file system, with no allocation on
// POSIX systems; Windows has no stat() that tells files apart, so it asks
// std::filesystem there.
#ifdef _WIN32
namespace fs = std::filesystem;

// A new file for writing, failing with EEXIST when one is there: the C
// library of Windows does not know fopen's "x".
std::FILE* CreateNewFile(const char* path)
{
    const int descriptor = _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (descriptor < 0) {
        return nullptr;
    }
    std::FILE* file = _fdopen(descriptor, "wb");
    if (file == nullptr) {
        _close(descriptor);
    }
    return file;
}

bool ExistsAsOtherThanRegularFile(const char* path)
{
    std::error_code ignored;
    const fs::file_status status = fs::status(path, ignored);
    return fs::exists(status) && !fs::is_regular_file(status);
}

// Replaces target whole; false with errno set.
bool ReplaceFile(const char* source, const char* target)
{
    std::error_code error;
    fs::rename(source, target, error);
    errno = error ? error.value() : 0;
    return !error;
}

#else
std::FILE* CreateNewFile(const char* path)
{
    return std::fopen(path, "wbx");  // "x": fails instead of opening a file that is already there
}

bool ExistsAsOtherThanRegularFile(const char* path)
{
    struct stat status {};
    return ::stat(path, &status) == 0 && !S_ISREG(status.st_mode);
}

bool ReplaceFile(const char* source, const char* target)
{
    return std::rename(source, target) == 0;
}
#endif

int Fail(ConversionReport* report, const char* path, int error)
{
    ReportFailure(report, ConversionFailure::OutputWrite, path, std::strerror(error));
    return -1;
}

// Writes everything and closes the file; false with the reason in error.
bool WriteAndClose(std::FILE* file, const std::uint8_t* data, std::size_t size, int* error)
{
    bool ok = std::fwrite(data, 1, size, file) == size && std::fflush(file) == 0;
    if (!ok) {
        *error = errno;
    }
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
        std::FILE* file = CreateNewFile(temp);
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
        return Fail(report, path, errno);
    }
    int error = 0;
    if (!WriteAndClose(file, data, size, &error)) {
        return Fail(report, path, error);
    }
    return 0;
}

}  // namespace

int WriteOutputFile(const char* path, const std::uint8_t* data, std::size_t size, ConversionReport* report)
{
    if (ExistsAsOtherThanRegularFile(path)) {
        // A device or a pipe cannot be replaced by renaming; a directory fails here.
        return WriteInPlace(path, data, size, report);
    }

    char temp[kPathCapacity];
    std::FILE* file = CreateTemporaryBeside(path, temp, sizeof temp);
    if (file == nullptr) {
        return Fail(report, path, errno);
    }
    int error = 0;
    if (!WriteAndClose(file, data, size, &error)) {
        std::remove(temp);
        return Fail(report, path, error);
    }
    if (!ReplaceFile(temp, path)) {
        error = errno;
        std::remove(temp);
        return Fail(report, path, error);
    }
    return 0;
}

#ifdef _WIN32
// Windows' stat() has no file numbers, so the paths are compared there.
OutputIdentity::OutputIdentity(const char* outputPath) : m_outputPath(outputPath)
{
    std::error_code ignored;
    m_exists = fs::exists(outputPath, ignored);
}

bool OutputIdentity::Matches(const char* path, std::FILE* /*file*/) const
{
    std::error_code error;
    return m_exists && fs::equivalent(path, m_outputPath, error) && !error;
}
#else
// One stat() of the output and one fstat() of each preset already open.
OutputIdentity::OutputIdentity(const char* outputPath)
{
    struct stat status {};
    if (::stat(outputPath, &status) == 0) {
        m_exists = true;
        m_device = status.st_dev;
        m_inode = status.st_ino;
    }
}

bool OutputIdentity::Matches(const char* /*path*/, std::FILE* file) const
{
    struct stat status {};
    return m_exists && ::fstat(fileno(file), &status) == 0 && status.st_dev == m_device && status.st_ino == m_inode;
}
#endif

}  // namespace t2tk
