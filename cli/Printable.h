#pragma once
// Windows-1250 text for a terminal.
#include <string>
#include <string_view>

namespace lepotex::cli {

// The text as UTF-8, with control characters other than the tab shown as \xNN, so that an
// escape sequence stored in a setting or a rule cannot drive the terminal.
std::string Printable(std::string_view windows1250);

// A file name or other text of the command line, which is bytes of any kind, for a
// terminal: UTF-8 as it is, but control characters (the newline and tab among them) and
// bytes that are no UTF-8 shown as \xNN, so that a name can neither drive the terminal nor
// forge a line of its own.
std::string PrintableName(std::string_view bytes);

}  // namespace lepotex::cli
