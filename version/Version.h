#pragma once
// What a program of the project prints for --version.
#include <string>

namespace lepotex {

// "PROGRAM 1.2.0 (commit 1a2b3c4d5e)", without the parentheses where the commit is not known
// (sources outside a git checkout); a commit with "-dirty" was built from changed sources.
std::string VersionLine(const char* program);
// The same without the program's name: "1.2.0 (commit 1a2b3c4d5e)".
std::string VersionText();

}  // namespace lepotex
