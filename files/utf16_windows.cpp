#include <windows.h>

#include "files/utf16.h"

namespace t2tk {

std::wstring Utf16(std::string_view utf8)
{
    const int size = static_cast<int>(utf8.size());
    std::wstring utf16(static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)),
                       L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, utf16.data(), static_cast<int>(utf16.size()));
    return utf16;
}

std::string Utf8(std::wstring_view utf16)
{
    const int size = static_cast<int>(utf16.size());
    std::string utf8(
        static_cast<std::size_t>(::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr)),
        '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, utf8.data(), static_cast<int>(utf8.size()), nullptr,
                          nullptr);
    return utf8;
}

std::wstring SystemPath(std::string_view utf8)
{
    std::wstring path = Utf16(utf8);
    // Room for a folder's own limit (248) too; the long form and device names stay as they are.
    if (path.size() < MAX_PATH - 12 || path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0) {
        return path;
    }
    std::wstring full(::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
    full.resize(::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr));
    if (full.rfind(L"\\\\", 0) == 0) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return L"\\\\?\\" + full;
}

}  // namespace t2tk
