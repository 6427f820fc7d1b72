#include "engine/EngineMessages.h"

#include <string_view>

#include "editor/Windows1250.h"

namespace lepotex::messages {

// Each message is converted on first use and kept.
#define LEPOTEX_MESSAGE(Name, utf8)                                    \
    const std::string& Name()                                          \
    {                                                                  \
        static const std::string bytes = Utf8ToWindows1250(utf8);      \
        return bytes;                                                  \
    }

LEPOTEX_MESSAGE(NothingToGlue, "Před lepením musíte do editoru načíst text ze souboru, nebo vložit ze schránky.")
LEPOTEX_MESSAGE(ReadOnlyText, "Text je jen pro čtení; nelze ho slepit.")
LEPOTEX_MESSAGE(GlueFinished, "Lepení ukončeno.")
LEPOTEX_MESSAGE(StageStarting, "Začínáme ...")
LEPOTEX_MESSAGE(StageIndentation, "Mažu odsazení")
LEPOTEX_MESSAGE(StagePageNumbers, "Mažu čísla stránek")
LEPOTEX_MESSAGE(StageHyphenation, "Mažu dělní slov")
LEPOTEX_MESSAGE(StageLineBreaks, "Lepím zlomy řádek")
LEPOTEX_MESSAGE(StageLayout, "Zkoumám rozvržení stránek")
LEPOTEX_MESSAGE(StageReindent, "Doplňuji odsazení")
LEPOTEX_MESSAGE(StageAutoReplace, "Automatická náhrada:")
LEPOTEX_MESSAGE(StageWriteBack, "A končíme")
LEPOTEX_MESSAGE(StageDone, "A je to ...")
LEPOTEX_MESSAGE(StageSpeech, "Lepím rozdělěnou přímou řeč.")

#undef LEPOTEX_MESSAGE

std::string ParagraphTooLong(int64_t paraNo, int64_t length, int32_t limit)
{
    return Utf8ToWindows1250("Odstavec č. " + std::to_string(paraNo) + " by po slepení měl " +
                             std::to_string(length) + " znaků; editor jich v odstavci dovolí nejvýše " +
                             std::to_string(limit) + ". Text zůstal beze změny.");
}

}  // namespace lepotex::messages
