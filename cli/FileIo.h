#pragma once
// Loading and saving for the sub-commands, with "-" for the standard streams.
#include <iosfwd>
#include <string>

namespace lepotex {
class TextEditor;
}

namespace lepotex::cli {

inline constexpr char kStandardInputClosed[] = "standardní vstup je zavřený";
inline constexpr char kStandardOutputClosed[] = "standardní výstup je zavřený";

// Opens /dev/null on each of descriptors 0 to 2 that the caller left closed, before anything
// else is opened: otherwise the first file opened would take the place of standard output,
// and the text meant for it would go into that file. Called first thing in main.
void KeepStandardStreamsOpen();
// Whether descriptor 0, 1 or 2 was closed when the program started; reading or writing "-"
// is then an error, not an empty text or output into nothing.
bool StandardStreamClosed(int fd);

// Loads `name` into the editor as opening a file in the program does; "-" reads standard
// input through a temporary file, so the same byte rules apply. A character device (other
// than a terminal on standard input) is refused: reading /dev/zero, say, would never end.
void LoadInto(TextEditor& editor, const std::string& name);
// Tells on `err` what the last load left out by the file format's rules (over-long lines,
// text behind a NUL, the rest after an end-of-file mark): the result is what the program
// would have opened, but nothing is lost without a word.
void ReportLoadLosses(const TextEditor& editor, const std::string& name, std::ostream& err);
// Saves as the program saves; "-" writes the same bytes to standard output.
void SaveFrom(TextEditor& editor, const std::string& name);

// Why a file could not be opened or read, in Czech, from the system's error code.
std::string FileErrorText(int error);

}  // namespace lepotex::cli
