#pragma once
// The glue algorithms written literally, one removal, join, replacement or deletion at a time
// (quadratic on a book), as the reference the linear engine is compared with.
#include <cstdint>
#include <string>
#include <vector>

#include "editor/TextEditor.h"
#include "engine/LineTests.h"
#include "settings/Settings.h"

namespace lepotex::literal {

// The work the literal forms may still do, in elementary steps (a line moved, a byte
// searched); past it they throw OverBudget. Unbounded unless set, per thread.
struct OverBudget {};
void SetBudget(int64_t steps);

// Stages 1 to 5 and the first replacement pass; returns the progress steps of each stage, and
// counts the page lines deleted, the hyphenated and the plain joins into `removals`.
std::vector<int64_t> Glue(WorkingList& list, const Settings& settings, int64_t (*removals)[3] = nullptr);
// One line-break rule: replace the first occurrence and search again from the start.
void ApplyLineBreakRule(WorkingList& list, const std::string& search, const std::string& replacement);
// The speech scan over the collected text; returns its progress steps.
int64_t JoinSpeechSpans(std::string& collected);

// The two commands literally, into an empty editor: the lines glued (or collected with a CR
// after each and scanned), each result line inserted with CR LF, then the in-place rules
// through the editor's replace-all. False when an insertion was refused.
bool GlueIntoEditor(WorkingList lines, const Settings& settings, TextEditor& out);
bool SpeechIntoEditor(const std::vector<std::string>& lines, TextEditor& out);

}  // namespace lepotex::literal
