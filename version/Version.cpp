#include "version/Version.h"

#include "LepotexVersion.h"

namespace lepotex {

std::string VersionText()
{
    std::string text = LEPOTEX_VERSION;
    if (*LEPOTEX_COMMIT)
        text += " (commit " LEPOTEX_COMMIT ")";
    return text;
}

std::string VersionLine(const char* program)
{
    return std::string(program) + " " + VersionText();
}

}  // namespace lepotex
