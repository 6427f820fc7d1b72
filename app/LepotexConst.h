#pragma once
// The texts of the main window, as the user reads them (UTF-8 in the source). The glue
// commands' own texts live with the engine (engine/EngineMessages.h).
#include <QString>

namespace lepotex::consts {

inline const QString SAppTitle = QStringLiteral("Lepotex");
inline const QString SCaption = QStringLiteral("Lepotex verze 1.2 (19.1.2003)");
inline const QString SNoName = QStringLiteral("bez jména");
inline const QString SNoFile = QStringLiteral("soubor není zadán");
inline const QString SFileChanged = QStringLiteral("Soubor se změnil. Mám ho zapsat?");
inline const QString SOverwriteFile = QStringLiteral("Přepsat soubor %1");
inline const QString SNotFound = QStringLiteral("Hledaný text '%1' nelze najít");

inline const QString SModified = QStringLiteral("Změněn");
inline const QString SUnmodified = QStringLiteral("---");
inline const QString SLines = QStringLiteral(" řádek");
inline const QString SSize = QStringLiteral("Velikost: ");
inline const QString SInsert = QStringLiteral("Vlož");
inline const QString SOverwrite = QStringLiteral("Přes");

inline const QString SOpenFilter = QStringLiteral("Textíky (*.txt);;RTF (*.rtf);;Všecko (*)");
inline const QString SSaveFilter = QStringLiteral("Textíky (*.txt);;Všecko (*)");
inline const QString SDefaultSuffix = QStringLiteral("txt");

// The message boxes.
inline const QString SConfirmTitle = QStringLiteral("Confirm");
inline const QString SInformationTitle = QStringLiteral("Information");
inline const QString SYes = QStringLiteral("&Yes");
inline const QString SNo = QStringLiteral("&No");
inline const QString SCancel = QStringLiteral("Cancel");
inline const QString SOk = QStringLiteral("OK");

// What opening a file left out by the file format's rules.
inline const QString SLoadLosses = QStringLiteral(
    "Soubor %1 nebyl načten celý:%2\nPři uložení se tyto části ztratí.");
inline const QString SLongLinesCut = QStringLiteral("\n- zkrácené dlouhé řádky (nad 32767 znaků): %1");
inline const QString SLinesCutAtNul = QStringLiteral("\n- řádky useknuté u znaku NUL: %1");
inline const QString SBytesAfterEndMark = QStringLiteral("\n- bajty za značkou konce souboru (Ctrl+Z): %1");

inline const QString SCloseRefused = QStringLiteral("Počkejte, až příkaz doběhne.");
inline const QString SCannotOpenAtStart = QStringLiteral("Soubor %1 nelze otevřít: %2");

// The find and replace dialogs, labelled as a Czech desktop labels them (without mnemonics,
// as the standard dialogs they stand for).
inline const QString SFindTitle = QStringLiteral("Najít");
inline const QString SReplaceTitle = QStringLiteral("Nahradit");
inline const QString SFindWhat = QStringLiteral("Najít:");
inline const QString SReplaceWith = QStringLiteral("Nahradit čím:");
inline const QString SFindNext = QStringLiteral("Najít další");
inline const QString SReplaceButton = QStringLiteral("Nahradit");
inline const QString SReplaceAll = QStringLiteral("Nahradit vše");
inline const QString SCancelButton = QStringLiteral("Storno");
inline const QString SWholeWord = QStringLiteral("Jen celá slova");
inline const QString SMatchCase = QStringLiteral("Rozlišovat velká a malá písmena");
inline const QString SDirection = QStringLiteral("Směr");
inline const QString SUp = QStringLiteral("Nahoru");
inline const QString SDown = QStringLiteral("Dolů");

}  // namespace lepotex::consts
