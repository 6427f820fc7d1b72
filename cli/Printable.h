#pragma once
// Windows-1250 text for a terminal.
#include <string>
#include <string_view>

namespace lepotex::cli {

// The text as UTF-8, with control characters other than the tab shown as \xNN, so that an
// escape sequence stored in a setting or a rule cannot drive the terminal.
std::string Printable(std::string_view windows1250);

}  // namespace lepotex::cli
