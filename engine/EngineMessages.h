#pragma once
// The texts the glue commands show, as Windows-1250 bytes. They are written here in UTF-8
// and converted once, through the program's one Windows-1250 table.
#include <cstdint>
#include <string>

namespace lepotex::messages {

const std::string& NothingToGlue();      // refusal: fewer than two lines
const std::string& ReadOnlyText();       // refusal: the editor is read-only
const std::string& GlueFinished();       // closing message of both commands
std::string ParagraphTooLong(int64_t paraNo, int64_t length, int32_t limit);  // refusal

const std::string& StageStarting();
const std::string& StageIndentation();
const std::string& StagePageNumbers();
const std::string& StageHyphenation();
const std::string& StageLineBreaks();
const std::string& StageLayout();       // the smart glue's stages 1 to 4 in one
const std::string& StageReindent();
const std::string& StageAutoReplace();   // followed directly by the rule's search text
const std::string& StageWriteBack();
const std::string& StageDone();
const std::string& StageSpeech();

}  // namespace lepotex::messages
