#pragma once
// Names from outside (files, ports) as a terminal or a page may show them.

#include <string>
#include <string_view>

namespace t2tk {

// A file name fit for a terminal: control characters (C0, DEL and C1) and bytes
// that are no UTF-8 are shown as \xNN, so that a crafted name cannot drive the
// terminal that a message about it lands on.
std::string Printable(std::string_view name);

}  // namespace t2tk
