#pragma once
// Files of the program's own, its settings: written as a conversion's output
// is (a temporary file, flushed and renamed, links and owners looked after),
// but only ever to a regular file; read only from a regular file of at most
// limit bytes, found the same way, without waiting on a FIFO. A folder that
// is not there yet is made when the file is written, for its user alone.

#include <cstddef>
#include <string>
#include <string_view>

namespace t2tk {

struct OwnFile {
    bool found = false;    // it exists and was read
    std::string contents;
    std::string problem;   // why it could not be read, when it exists
};
OwnFile ReadOwnFile(const std::string& path, std::size_t limit);
// Returns why the file was not written, or an empty text.
std::string WriteOwnFile(const std::string& path, std::string_view contents);
// Why WriteOwnFile would fail now, as far as can be told, or an empty text.
std::string CheckOwnFile(const std::string& path);

}  // namespace t2tk
