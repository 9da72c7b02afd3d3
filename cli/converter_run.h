#pragma once
// One run of t2tk-convert: arguments in, exit status out.

#include <ostream>

namespace t2tk::cli {

// Converts as the arguments ask. Standard output carries only the conversion's
// own diagnostic lines; errors and warnings go to err. Returns 0 when the file
// was written, 1 when the conversion failed (nothing written), 2 on a usage error.
int RunConverter(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace t2tk::cli
