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

// A failure told by the system's error code.
WriteError Failed(WriteProblem problem, const std::string& file, DWORD error)
{
    WriteError failed{problem, file, 0, {}};
    switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        failed.problem = WriteProblem::InUse;
        break;
    case ERROR_ACCESS_DENIED:
        failed.error = EACCES;
        break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        failed.error = ENOENT;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        failed.error = ENOSPC;
        break;
    case ERROR_FILENAME_EXCED_RANGE:
        failed.error = ENAMETOOLONG;
        break;
    default:
        failed.detail = ErrorText(error);
        break;
    }
    return failed;
}

WriteError Failed(WriteProblem problem, const std::string& file, int error)
{
    return {problem, file, error, {}};
}

// The system's identity of an open file: its volume and index.
struct FileId {
    DWORD volume = 0;
    unsigned long long index = 0;
    bool operator==(const FileId&) const = default;
};

bool IdOf(HANDLE file, FileId& id)
{
    BY_HANDLE_FILE_INFORMATION information{};
    if (file == INVALID_HANDLE_VALUE || ::GetFileInformationByHandle(file, &information) == 0) {
        return false;
    }
    id = {information.dwVolumeSerialNumber,
          (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
    return true;
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

struct OutputFile::Decision {
    enum class Kind { Refused, StandardOutput, InPlace, Replace, Create };
    Kind kind = Kind::Refused;
    WriteError refusal;
    DWORD attributes = 0;
    bool regular = false;  // the output is a disk file that exists now
    FileId id;             // and which one it is
};

namespace {

using Kind = OutputFile::Decision::Kind;

std::string FolderText(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? "." : path.substr(0, separator);
}

}  // namespace

OutputFile::OutputFile(const std::string& path, OutputUse use)
    : m_path(path), m_use(use), m_decision(std::make_unique<Decision>())
{
    Decision& decision = *m_decision;
    FileId standardOutput;
    const bool haveStandardOutput = IdOf(::GetStdHandle(STD_OUTPUT_HANDLE), standardOutput);
    if (path == "-") {
        decision.kind = Kind::StandardOutput;
        decision.regular = haveStandardOutput && ::GetFileType(::GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_DISK;
        decision.id = standardOutput;
        return;
    }
    const std::wstring target = SystemPath(path);
    decision.attributes = ::GetFileAttributesW(target.c_str());
    if (decision.attributes == INVALID_FILE_ATTRIBUTES) {
        if (::GetLastError() == ERROR_PATH_NOT_FOUND) {
            decision.refusal = Failed(WriteProblem::CannotCreateIn, FolderText(path), ENOENT);
            return;
        }
        decision.kind = Kind::Create;
    } else if ((decision.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        decision.refusal = Failed(WriteProblem::System, path, EISDIR);
        return;
    } else {
        // A disk file is replaced; a device (NUL, CON, COM1) or a pipe is
        // written in place.
        HANDLE file = ::CreateFileW(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE && ::GetFileType(file) == FILE_TYPE_DISK && IdOf(file, decision.id)) {
            decision.kind = Kind::Replace;
            decision.regular = true;
        } else {
            decision.kind = Kind::InPlace;
        }
        if (file != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file);
        }
        // The very file standard output goes to is written there.
        if (decision.regular && haveStandardOutput && standardOutput == decision.id) {
            decision.kind = Kind::StandardOutput;
        }
    }
    if (use == OutputUse::OwnFile && decision.kind != Kind::Replace && decision.kind != Kind::Create) {
        decision.kind = Kind::Refused;
        decision.refusal = Failed(WriteProblem::NotRegular, path, 0);
    }
}

OutputFile::~OutputFile() = default;

bool OutputFile::IsStandardOutput() const
{
    return m_decision->kind == Kind::StandardOutput;
}

bool OutputFile::IsSameFileAs(std::FILE* file) const
{
    FileId id;
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the system's handle, as the C library keeps it
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
    return m_decision->regular && IdOf(handle, id) && id == m_decision->id;
}

WriteError OutputFile::WhyNotWritable() const
{
    const Decision& decision = *m_decision;
    if (decision.kind == Kind::Refused) {
        return decision.refusal;
    }
    if (decision.kind != Kind::Replace) {
        return {};
    }
    if ((decision.attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return Failed(WriteProblem::ReadOnly, m_path, 0);
    }
    // A file another program holds open cannot be replaced.
    HANDLE file =
        ::CreateFileW(SystemPath(m_path).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return Failed(WriteProblem::System, m_path, ::GetLastError());
    }
    ::CloseHandle(file);
    return {};
}

WriteError OutputFile::Write(std::span<const std::uint8_t> data)
{
    m_warnings.clear();
    if (WriteError refused = WhyNotWritable()) {
        return refused;
    }
    const Decision& decision = *m_decision;
    if (decision.kind == Kind::StandardOutput) {
        std::fflush(stdout);
        ::_setmode(::_fileno(stdout), _O_BINARY);
        const bool written = std::fwrite(data.data(), 1, data.size(), stdout) == data.size() && std::fflush(stdout) == 0;
        return written ? WriteError{} : Failed(WriteProblem::System, m_path, errno);
    }
    const std::wstring target = SystemPath(m_path);
    if (decision.kind == Kind::InPlace) {
        HANDLE file = ::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        const bool written = file != INVALID_HANDLE_VALUE && WriteAll(file, data.data(), data.size());
        const DWORD error = ::GetLastError();
        if (file != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file);
        }
        return written ? WriteError{} : Failed(WriteProblem::System, m_path, error);
    }

    TemporaryCleanup cleanup;
    const std::wstring full = FullPath(target);
    HANDLE file = cleanup.Create(FolderOf(full));
    if (file == INVALID_HANDLE_VALUE) {
        return Failed(WriteProblem::CannotCreateIn, FolderText(m_path), ::GetLastError());
    }
    // On disk before the rename, so that a power cut leaves the old file or the new one.
    bool ok = WriteAll(file, data.data(), data.size()) && ::FlushFileBuffers(file) != 0;
    DWORD error = ::GetLastError();
    if (::CloseHandle(file) == 0 && ok) {
        ok = false;
        error = ::GetLastError();
    }
    // ReplaceFileW carries the replaced file's permissions and attributes
    // over; the attributes are set beforehand too, for systems that do not.
    if (ok && decision.kind == Kind::Replace) {
        ::SetFileAttributesW(g_temporary.c_str(), decision.attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    if (ok && !TemporaryCleanup::Keep(full, decision.kind == Kind::Replace)) {
        ok = false;
        error = ::GetLastError();
    }
    if (!ok) {
        TemporaryCleanup::Set(false);
        return Failed(WriteProblem::System, m_path, error);
    }
    return {};
}

bool ReadOwnFileBytes(const std::string& path, std::size_t limit, std::string& contents, WriteError& problem)
{
    contents.clear();
    problem = {};
    HANDLE file = ::CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        // A folder is refused as if for want of permission: it is said as what it is.
        const DWORD attributes = ::GetFileAttributesW(SystemPath(path).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            problem = {WriteProblem::NotOwnFile, path, 0, std::to_string(limit)};
        } else if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            problem = Failed(WriteProblem::Unreadable, path, error);
        }
        return false;
    }
    LARGE_INTEGER size{};
    bool read = ::GetFileType(file) == FILE_TYPE_DISK && ::GetFileSizeEx(file, &size) != 0 &&
                static_cast<unsigned long long>(size.QuadPart) <= limit;
    if (!read) {
        problem = {WriteProblem::NotOwnFile, path, 0, std::to_string(limit)};
    } else {
        contents.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD got = 0;
        if (!contents.empty() &&
            ::ReadFile(file, contents.data(), static_cast<DWORD>(contents.size()), &got, nullptr) == 0) {
            problem = Failed(WriteProblem::Unreadable, path, ::GetLastError());
            read = false;
        }
        contents.resize(read ? got : 0);
    }
    ::CloseHandle(file);
    return read;
}

}  // namespace t2tk
