#pragma once
// Loading and saving for the sub-commands, with "-" for the standard streams.
#include <string>

namespace lepotex {
class TextEditor;
}

namespace lepotex::cli {

// Loads `name` into the editor as opening a file in the program does; "-" reads standard
// input through a temporary file, so the same byte rules apply.
void LoadInto(TextEditor& editor, const std::string& name);
// Saves as the program saves; "-" writes the same bytes to standard output.
void SaveFrom(TextEditor& editor, const std::string& name);

}  // namespace lepotex::cli
