#pragma once
// On Windows, paths and texts travel as UTF-8 inside t2tk and as UTF-16 to and
// from the system, so that any name a user's folder has works.
#ifdef _WIN32

#include <string>
#include <string_view>

namespace t2tk {

std::wstring Utf16(std::string_view utf8);
std::string Utf8(std::wstring_view utf16);

}  // namespace t2tk

#endif
