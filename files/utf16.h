#pragma once
// On Windows, paths and texts travel as UTF-8 inside t2tk and as UTF-16 to and
// from the system, so that any name a user's folder has works.
#ifdef _WIN32

#include <string>
#include <string_view>

namespace t2tk {

std::wstring Utf16(std::string_view utf8);
std::string Utf8(std::wstring_view utf16);

// A UTF-8 path as the system's file functions take it: in UTF-16, and when it
// is too long for the classic limit of 260 characters, as a full path in the
// long form (\\?\C:\..., \\?\UNC\server\...), which reaches 32,767.
std::wstring SystemPath(std::string_view utf8);

}  // namespace t2tk

#endif
