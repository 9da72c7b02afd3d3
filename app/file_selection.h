#pragma once
// What the open dialog of Convert... returns, split into a conversion request.

#include <string>
#include <string_view>
#include <vector>

namespace t2tk::app {

// The platform's folder separator, which ends a directory prefix, and all the
// characters that separate folders in a path there.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
inline constexpr const char* kPathSeparators = "\\/";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr const char* kPathSeparators = "/";
#endif

struct FileSelection {
    std::string prefix;              // empty, or a folder followed by the separator
    std::vector<std::string> names;  // 1 to MaxRequestFiles names, joined to the prefix when opened
    std::string suggestion;          // the suggested output file
    int leftOut = 0;                 // chosen names past the 50th
};

// result holds either one full path followed by two NULs, or a folder, a NUL,
// each chosen name followed by a NUL, and one more NUL. Bytes past its end
// count as NULs. Names past the 50th are left out.
FileSelection ParseFileSelection(std::string_view result);

// The text ParseFileSelection reads, for files chosen as full paths, wherever
// they lie: one path alone, or the folder all of them share (their nearest
// common ancestor, at worst the root) and each path relative to it, in the
// order chosen.
std::string BuildFileSelection(const std::vector<std::string>& paths);

}  // namespace t2tk::app
