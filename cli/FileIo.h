#pragma once
// Loading and saving for the sub-commands, with "-" for the standard streams.
#include <exception>
#include <iosfwd>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "editor/TextEncoding.h"

namespace lepotex {
class TextEditor;
class LoadedParagraphSink;
struct OddSettingsValue;
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
// The encoding is found from the bytes unless `encoding` is given. A file beside which a
// torn save left the copy of its old text is refused, naming the copy.
void LoadInto(TextEditor& editor, const std::string& name, std::optional<TextEncoding> encoding = std::nullopt);
// The same through TextEditor::LoadFromFileInto: true where `sink` took the book.
bool LoadInto(TextEditor& editor, const std::string& name, std::optional<TextEncoding> encoding,
              LoadedParagraphSink& sink);
// Tells on `err` what the last load changed or left out (over-long lines split, characters
// Windows-1250 lacks replaced by '?', text behind a NUL, the rest after an end-of-file mark):
// the result is what the program would have opened, but nothing is changed without a word.
void ReportLoadLosses(const TextEditor& editor, const std::string& name, std::ostream& err);
// Tells on `err` how many characters the last save could not write in its encoding.
void ReportSaveReplacements(const TextEditor& editor, const std::string& name, std::ostream& err);
// "kódování UTF-8, konce řádků LF": how the last load read the file, for -v.
std::string DescribeFormat(FileFormat format);
// Why a document that was not loaded faithfully may not be written over its file, in Czech.
std::string UnfaithfulLoadText(const TextEditor& editor);
// A character named for a message: itself in quotes and its code point.
std::string DescribeCharacter(char32_t character);
// Characters the editor's text has that its file format's encoding cannot write.
int64_t UnwritableCharacters(const TextEditor& editor);
// Why a file beside which a torn save left the copy of its old text is not worked on.
std::string OldTextCopyText(const std::string& copy);
// Saves as the program saves; "-" writes the same bytes to standard output. A file beside
// which a torn save left its old text is not written.
void SaveFrom(TextEditor& editor, const std::string& name);

// While it lives, the pages the system keeps of the file `output` (one a save will replace,
// other than `input`) are let go on a second thread. Otherwise the rename that drops the old
// file lets them go at the very end, one by one, and on a large book that costs as much as
// writing it.
class OldOutputRelease {
public:
    OldOutputRelease(const std::string& output, const std::string& input);

private:
    std::jthread thread;
};

// Tells on `err` of each stored settings value that did not read as what its key holds, and
// what it was read as: "lepotex-cli glue: upozornění: nastavení „Indent size“ …".
void ReportOddSettings(const std::vector<lepotex::OddSettingsValue>& odd, const std::string& command, std::ostream& err);

// Why a file could not be opened or read, in Czech, from the system's error code.
std::string FileErrorText(int error);

// Why loading or saving `name` failed, in Czech, from what the editor reported and what the
// file system says of the name now: "soubor neexistuje", "není soubor, ale složka",
// "přístup odepřen", "disk je plný", and for a save "složka „X“ neexistuje".
std::string LoadFailureText(const std::string& name, const std::exception& error);
std::string SaveFailureText(const std::string& name, const std::exception& error);
// An error of the editor core, in Czech, with the editor's own English text in parentheses
// for those who look it up: "odstavec by byl delší než 32767 bajtů (Current operation ...)".
std::string EditorFailureText(const std::exception& error);

}  // namespace lepotex::cli
