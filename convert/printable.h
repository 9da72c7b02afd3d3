#pragma once
// Names from outside (files, ports) as a terminal or a page may show them.

#include <string>
#include <string_view>

namespace t2tk {

// A file name fit for a terminal or a page: control characters (C0, DEL and
// C1), bytes that are no UTF-8, and the marks that turn text around or take
// no room (U+202E and its kind) are shown as \xNN, so that a crafted name
// cannot drive the terminal a message about it lands on, nor read as another.
std::string Printable(std::string_view name);

}  // namespace t2tk
