#pragma once
// One run of t2tk-convert: arguments in, exit status out.

#include <ostream>

namespace t2tk::cli {

// Converts, and sends, as the arguments ask. Standard output carries only the
// conversion's own diagnostic lines (or the port list); errors and warnings go
// to err, and a send's progress too when errIsTerminal. Returns 0 when done, 1
// when the conversion or the send failed, 2 on a usage error, 128 + a signal
// that stopped a send.
int RunConverter(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool errIsTerminal = false);

}  // namespace t2tk::cli
