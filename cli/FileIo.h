#pragma once
// Loading and saving for the sub-commands, with "-" for the standard streams.
#include <iosfwd>
#include <string>

namespace lepotex {
class TextEditor;
}

namespace lepotex::cli {

// Loads `name` into the editor as opening a file in the program does; "-" reads standard
// input through a temporary file, so the same byte rules apply.
void LoadInto(TextEditor& editor, const std::string& name);
// Tells on `err` what the last load left out by the file format's rules (over-long lines,
// text behind a NUL, the rest after an end-of-file mark): the result is what the program
// would have opened, but nothing is lost without a word.
void ReportLoadLosses(const TextEditor& editor, const std::string& name, std::ostream& err);
// Saves as the program saves; "-" writes the same bytes to standard output.
void SaveFrom(TextEditor& editor, const std::string& name);

}  // namespace lepotex::cli
