// The output writer on Windows, where paths arrive as UTF-8 and go to the
// system as UTF-16 (in their long form where they need it), so that any name
// a user's folder has works. A replaced file keeps its permissions (ACL) and
// attributes: ReplaceFileW carries them over.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "files/output_file.h"
#include "files/utf16.h"

namespace t2tk {

namespace {

// The temporary file of a replacement in progress, so that Ctrl-C, a closed
// console or a logoff takes it away. The lock keeps the handler from removing
// it while it is being renamed.
CRITICAL_SECTION g_lock;
std::wstring g_temporary;
bool g_haveTemporary = false;
INIT_ONCE g_lockMade = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK MakeLock(PINIT_ONCE, PVOID, PVOID*)
{
    ::InitializeCriticalSection(&g_lock);
    return TRUE;
}

BOOL WINAPI RemoveTemporary(DWORD /*event*/)
{
    ::EnterCriticalSection(&g_lock);
    if (g_haveTemporary) {
        ::DeleteFileW(g_temporary.c_str());  // gone once the process's handle closes
        g_haveTemporary = false;
    }
    ::LeaveCriticalSection(&g_lock);
    return FALSE;  // and the process ends as it would have
}

class TemporaryCleanup {
public:
    TemporaryCleanup()
    {
        ::InitOnceExecuteOnce(&g_lockMade, MakeLock, nullptr, nullptr);
        ::SetConsoleCtrlHandler(RemoveTemporary, TRUE);
    }
    ~TemporaryCleanup()
    {
        Set(false);
        ::SetConsoleCtrlHandler(RemoveTemporary, FALSE);
    }
    TemporaryCleanup(const TemporaryCleanup&) = delete;
    TemporaryCleanup& operator=(const TemporaryCleanup&) = delete;

    // A new file of a random, short name in folder.
    HANDLE Create(const std::wstring& folder)
    {
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            wchar_t name[16];
            std::swprintf(name, 16, L".t2tk-%06x", random() & 0xFFFFFFu);
            ::EnterCriticalSection(&g_lock);
            g_temporary = folder + L"\\" + name;
            HANDLE file = ::CreateFileW(g_temporary.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            g_haveTemporary = file != INVALID_HANDLE_VALUE;
            const DWORD error = ::GetLastError();
            ::LeaveCriticalSection(&g_lock);
            if (file != INVALID_HANDLE_VALUE || error != ERROR_FILE_EXISTS) {
                ::SetLastError(error);
                return file;
            }
        }
        return INVALID_HANDLE_VALUE;
    }
    // Gives the temporary file the output's name; false with the error set.
    static bool Keep(const std::wstring& target, bool replace)
    {
        ::EnterCriticalSection(&g_lock);
        const BOOL kept = replace ? ::ReplaceFileW(target.c_str(), g_temporary.c_str(), nullptr,
                                                   REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                                  : ::MoveFileExW(g_temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
        const DWORD error = ::GetLastError();
        g_haveTemporary = kept == 0;
        ::LeaveCriticalSection(&g_lock);
        ::SetLastError(error);
        return kept != 0;
    }
    static void Set(bool have)
    {
        ::EnterCriticalSection(&g_lock);
        if (!have && g_haveTemporary) {
            ::DeleteFileW(g_temporary.c_str());
        }
        g_haveTemporary = have;
        ::LeaveCriticalSection(&g_lock);
    }
};

// The system's words for an error, with the common ones as on other systems.
std::string ErrorText(DWORD error)
{
    switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return "another program is using it";
    case ERROR_ACCESS_DENIED:
        return std::strerror(EACCES);
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return std::strerror(ENOENT);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return std::strerror(ENOSPC);
    case ERROR_FILENAME_EXCED_RANGE:
        return std::strerror(ENAMETOOLONG);
    default:
        break;
    }
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::string words = length > 0 ? Utf8(std::wstring_view(text, length)) : "error " + std::to_string(error);
    ::LocalFree(text);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == '.')) {
        words.pop_back();
    }
    return words;
}

int Fail(ConversionReport* report, ConversionFailure failure, const char* path, const std::string& reason)
{
    ReportFailure(report, failure, path, reason.c_str());
    return -1;
}

bool WriteAll(HANDLE file, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (::WriteFile(file, data, chunk, &written, nullptr) == 0) {
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// The full path: the temporary file and the rename need to know the folder.
std::wstring FullPath(const std::wstring& path)
{
    std::wstring full(::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
    full.resize(::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr));
    return full.empty() ? path : full;
}

std::wstring FolderOf(const std::wstring& path)
{
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? L"." : path.substr(0, separator);
}

}  // namespace

OutputTarget::OutputTarget(const char* path, OutputUse use) : m_path(path), m_use(use)
{
    if (std::strcmp(path, "-") == 0) {
        m_kind = Kind::Descriptor;
    } else {
        const std::wstring target = SystemPath(path);
        m_attributes = ::GetFileAttributesW(target.c_str());
        if (m_attributes == INVALID_FILE_ATTRIBUTES) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_PATH_NOT_FOUND) {
                const std::string text(path);
                const std::size_t separator = text.find_last_of("\\/");
                Refuse(ConversionFailure::OutputFolder,
                       separator == std::string::npos ? "." : text.substr(0, separator).c_str(), ENOENT);
                return;
            }
            m_kind = Kind::Create;
        } else if ((m_attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            Refuse(ConversionFailure::OutputWrite, path, EISDIR);
            return;
        } else {
            // A disk file is replaced; a device (NUL, CON, COM1) or a pipe is
            // written in place.
            HANDLE file = ::CreateFileW(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                              nullptr, OPEN_EXISTING, 0, nullptr);
            BY_HANDLE_FILE_INFORMATION information{};
            if (file != INVALID_HANDLE_VALUE && ::GetFileType(file) == FILE_TYPE_DISK &&
                ::GetFileInformationByHandle(file, &information) != 0) {
                m_kind = Kind::Replace;
                m_regular = true;
                m_device = information.dwVolumeSerialNumber;
                m_inode = (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
            } else {
                m_kind = Kind::InPlace;
            }
            if (file != INVALID_HANDLE_VALUE) {
                ::CloseHandle(file);
            }
        }
    }
    if (m_use == OutputUse::RegularFile && m_kind != Kind::Replace && m_kind != Kind::Create) {
        Refuse(ConversionFailure::OutputWrite, path, 0, "it is not a regular file");
    }
}

void OutputTarget::Refuse(ConversionFailure failure, const char* file, int error, const char* reason)
{
    m_kind = Kind::Refused;
    m_failure = failure;
    std::snprintf(m_failedFile, sizeof m_failedFile, "%s", file);
    m_error = error;
    m_reason = reason;
}

bool OutputTarget::IsStandardOutput() const
{
    return m_kind == Kind::Descriptor;
}

bool OutputTarget::Is(std::FILE* preset) const
{
    BY_HANDLE_FILE_INFORMATION information{};
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the system's handle, as the C library keeps it
    const auto file = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(preset)));
    return m_regular && ::GetFileInformationByHandle(file, &information) != 0 &&
           information.dwVolumeSerialNumber == m_device &&
           ((static_cast<unsigned long long>(information.nFileIndexHigh) << 32) | information.nFileIndexLow) == m_inode;
}

int OutputTarget::Check(ConversionReport* report) const
{
    if (m_kind == Kind::Refused) {
        return Fail(report, m_failure, m_failedFile, m_reason != nullptr ? m_reason : std::strerror(m_error));
    }
    if (m_kind != Kind::Replace) {
        return 0;
    }
    if ((m_attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return Fail(report, ConversionFailure::OutputWrite, m_path, "it is read-only");
    }
    // A file another program holds open cannot be replaced.
    HANDLE file = ::CreateFileW(SystemPath(m_path).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, OPEN_EXISTING,
                                      0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return Fail(report, ConversionFailure::OutputWrite, m_path, ErrorText(::GetLastError()));
    }
    ::CloseHandle(file);
    return 0;
}

int OutputTarget::Write(const std::uint8_t* data, std::size_t size, ConversionReport* report)
{
    if (Check(report) != 0) {
        return -1;
    }
    if (m_kind == Kind::Descriptor) {
        std::fflush(stdout);
        ::_setmode(::_fileno(stdout), _O_BINARY);
        const bool written = std::fwrite(data, 1, size, stdout) == size && std::fflush(stdout) == 0;
        return written ? 0 : Fail(report, ConversionFailure::OutputWrite, m_path, std::strerror(errno));
    }
    const std::wstring target = SystemPath(m_path);
    if (m_kind == Kind::InPlace) {
        HANDLE file = ::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr);
        const bool written = file != INVALID_HANDLE_VALUE && WriteAll(file, data, size);
        const DWORD error = ::GetLastError();
        if (file != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file);
        }
        return written ? 0 : Fail(report, ConversionFailure::OutputWrite, m_path, ErrorText(error));
    }

    TemporaryCleanup cleanup;
    const std::wstring full = FullPath(target);
    const std::wstring folder = FolderOf(full);
    HANDLE file = cleanup.Create(folder);
    if (file == INVALID_HANDLE_VALUE) {
        const std::string text(m_path);
        const std::size_t separator = text.find_last_of("\\/");
        return Fail(report, ConversionFailure::OutputFolder,
                    separator == std::string::npos ? "." : text.substr(0, separator).c_str(), ErrorText(::GetLastError()));
    }
    // On disk before the rename, so that a power cut leaves the old file or the new one.
    bool ok = WriteAll(file, data, size) && ::FlushFileBuffers(file) != 0;
    DWORD error = ::GetLastError();
    if (::CloseHandle(file) == 0 && ok) {
        ok = false;
        error = ::GetLastError();
    }
    // ReplaceFileW carries the replaced file's permissions and attributes
    // over; the attributes are set beforehand too, for systems that do not.
    if (ok && m_kind == Kind::Replace) {
        ::SetFileAttributesW(g_temporary.c_str(), m_attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    if (ok && !TemporaryCleanup::Keep(full, m_kind == Kind::Replace)) {
        ok = false;
        error = ::GetLastError();
    }
    if (!ok) {
        TemporaryCleanup::Set(false);
        return Fail(report, ConversionFailure::OutputWrite, m_path, ErrorText(error));
    }
    return 0;
}

int ReadSmallFile(const char* path, std::size_t limit, std::string& contents)
{
    contents.clear();
    HANDLE file = ::CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        errno = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES;
        return -1;
    }
    LARGE_INTEGER size{};
    int result = ::GetFileType(file) == FILE_TYPE_DISK && ::GetFileSizeEx(file, &size) != 0 &&
                         static_cast<unsigned long long>(size.QuadPart) <= limit
                     ? 0
                     : 1;
    if (result == 0) {
        contents.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD got = 0;
        if (!contents.empty() &&
            (::ReadFile(file, contents.data(), static_cast<DWORD>(contents.size()), &got, nullptr) == 0)) {
            errno = EIO;
            result = -1;
        }
        contents.resize(result == 0 ? got : 0);
    }
    ::CloseHandle(file);
    return result;
}

std::FILE* OpenPreset(const char* path)
{
    const std::wstring wide = SystemPath(path);
    if (wide.size() >= 32767) {  // longer than even the long form takes
        errno = ENAMETOOLONG;
        return nullptr;
    }
    return ::_wfopen(wide.c_str(), L"rb");
}

}  // namespace t2tk
