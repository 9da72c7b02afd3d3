#pragma once
// t2tk-convert --list: the programs a conversion, or a file t2tk wrote, would
// overwrite in the module, with the names the module will show, before
// anything is written or sent.

#include <ostream>

namespace t2tk::cli {

struct Options;

// Lists the programs of the presets and saved files the options name, one
// line a program in program order; with porcelain, tab-separated under a
// header line. Returns 0, or 1 when a file cannot be read or is refused,
// which err says.
int ListRun(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace t2tk::cli
