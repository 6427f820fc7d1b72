#pragma once
// What lepotex-cli tells of a glue's decisions: the --changes file and the counts of -v.
#include <string>

#include "engine/GlueRecord.h"

namespace lepotex::cli {

// One line per decision after a header, UTF-8, tab-separated: kind, paragraph, column, old
// text, new text, then why (a break's reason) and "?" for a doubtful one. A backslash, tab, CR
// and LF in a text are written \\, \t, \r and \n.
std::string ChangesTable(const GlueRecord& record);
// Writes the table to `name` through a file beside it that then takes its name, so that a
// failed write leaves no half table; "-" is standard output. Throws std::runtime_error with
// the Czech reason.
void WriteChangesFile(const GlueRecord& record, const std::string& name);
// For -v: a line per kind that occurred, with the reasons of the breaks, and the layout the
// smart glue found; each line begins with `prefix`.
std::string ChangeSummary(const GlueRecord& record, const std::string& prefix);

}  // namespace lepotex::cli
