#include "app/LepotexMain.h"

#include <algorithm>

#include "app/FindDialog.h"
#include "app/LepotexConst.h"
#include "app/ReplaceDialog.h"
#include "editor/EditorErrors.h"
#include "editor/TextEditor.h"
#include "editor/Windows1250.h"
#include "editor/view/EditorView.h"

namespace lepotex {

namespace {

std::string ToBytes(const QString& text) { return EncodeWindows1250(text.toStdU16String()); }

// True when every character of `text` has a Windows-1250 byte of its own.
bool FitsCodePage(const QString& text)
{
    const auto codePoints = text.toUcs4();
    return std::all_of(codePoints.begin(), codePoints.end(), [](char32_t c) { return HasWindows1250Byte(c); });
}

}  // namespace

// ---- Find and replace -----------------------------------------------------------------------

void TLepotexFrm::actFindExecute()
{
    dlgFind->show();
    dlgFind->raise();
    dlgFind->activateWindow();
}

void TLepotexFrm::actFindNextExecute() { dlgFindFind(FindSender::FindNext); }

void TLepotexFrm::actReplaceExecute()
{
    dlgReplace->move(150, 150);
    dlgReplace->show();
    dlgReplace->raise();
    dlgReplace->activateWindow();
    searchOptions = SearchOptions{.matchCase = dlgReplace->MatchCase(), .wholeWord = dlgReplace->WholeWord()};
}

void TLepotexFrm::dlgFindFind(FindSender sender)
{
    if (sender == FindSender::ReplaceDialog) {
        // The replace dialog searches down with its own boxes as they are now; its text also
        // goes to the find dialog, for F3.
        dlgFind->SetFindText(dlgReplace->FindText());
        searchOptions = SearchOptions{.matchCase = dlgReplace->MatchCase(), .wholeWord = dlgReplace->WholeWord()};
    } else {
        searchOptions = SearchOptions{.backward = dlgFind->Up(), .matchCase = dlgFind->MatchCase(),
                                      .wholeWord = dlgFind->WholeWord()};
        dlgFind->close();
    }
    const QString text = dlgFind->FindText();
    // A character the code page cannot hold is in no text of the editor.
    const bool found = FitsCodePage(text) && Editor().Search(ToBytes(text), searchOptions);
    memoText->viewport()->update();
    if (!found)
        prompts->Inform(this, consts::SNotFound.arg(text));
}

void TLepotexFrm::dlgReplaceReplace(bool all)
{
    searchOptions = SearchOptions{.matchCase = dlgReplace->MatchCase(), .replace = !all, .replaceAll = all,
                                  .wholeWord = dlgReplace->WholeWord()};
    const QString text = dlgReplace->FindText();
    const QString replacement = dlgReplace->ReplaceText();
    if (!FitsCodePage(replacement))
        throw EEditorError(QStringLiteral("Náhradu „%1“ nelze zapsat v kódování Windows-1250.").arg(replacement).toStdString());
    const int32_t result = FitsCodePage(text) ? Editor().Replace(ToBytes(text), ToBytes(replacement), searchOptions) : -1;
    memoText->viewport()->update();
    memoRXChange();
    if (result == -1)
        prompts->Inform(this, consts::SNotFound.arg(text));
}

}  // namespace lepotex
