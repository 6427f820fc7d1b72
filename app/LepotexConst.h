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
inline const QString SChangedMeanwhile =
    QStringLiteral("Soubor se mezitím změnil… Od otevření ho jiný program přepsal, nahradil nebo smazal (%1). "
                   "Přepsat ho textem z editoru? Jinak zůstane, jak je, a text v editoru zůstane neuložený.");
inline const QString SCannotSave = QStringLiteral("Soubor %1 nelze uložit: %2.");
inline const QString SOldTextCopy =
    QStringLiteral("Vedle souboru %1 leží kopie jeho starého textu (%2), kterou zanechalo přerušené ukládání: soubor "
                   "může být zapsaný jen zčásti. Vrátit do souboru starý text z kopie a otevřít ho znovu?");
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
inline const QString SEncodingLabel = QStringLiteral("Kódování:");
inline const QString SSaveReplaced =
    QStringLiteral("Soubor %1 je uložen v kódování %2, které nezná všechny znaky textu: %3 znaků bylo nahrazeno podobnými "
                   "nebo otazníkem.");

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
inline const QString SCharsReplaced =
    QStringLiteral("\n- znaky, které kódování Windows-1250 nemá, nahrazené otazníkem: %1 (první je %2 na řádku %3)");
// What opening a file changed without losing anything.
inline const QString SLoadChanges = QStringLiteral("Soubor %1 (%2) se načetl se změnou:%3");
inline const QString SLongLinesSplit =
    QStringLiteral("\n- řádky delší než 32767 znaků rozdělené na více odstavců: %1");
// A text that did not load whole is not written over its own file by Ctrl+S.
inline const QString SSaveUnderNewName =
    QStringLiteral("\nUložit ho lze jen příkazem „Uložit jako...“, aby původní soubor zůstal celý.");
inline const QString SLinesCutAtNul = QStringLiteral("\n- řádky useknuté u znaku NUL: %1");
inline const QString SBytesAfterEndMark = QStringLiteral("\n- bajty za značkou konce souboru (Ctrl+Z): %1");

// Behind the glue's closing message, and the panel of what it decided.
inline const QString SGlueEditedSince =
    QStringLiteral("Text se od lepení změnil. Vrátit přesto text, jaký byl před lepením? Úpravy od lepení se ztratí.");
inline const QString SGlueUndoable = QStringLiteral(" Celý text před lepením vrátí příkaz „Vrátit lepení“ v nabídce Úpravy.");

inline const QString SCloseRefused = QStringLiteral("Počkejte, až příkaz doběhne.");
inline const QString SCannotOpenAtStart = QStringLiteral("Soubor %1 nelze otevřít: %2");
inline const QString SNotAFile =
    QStringLiteral("%1 není soubor, ale zařízení nebo roura: čtení z něj nemusí nikdy skončit, proto se neotevře.");

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
