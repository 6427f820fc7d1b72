#include "version/Version.h"

#include "LepotexVersion.h"

namespace lepotex {

std::string VersionLine(const char* program)
{
    std::string line = std::string(program) + " " LEPOTEX_VERSION;
    if (*LEPOTEX_COMMIT)
        line += " (commit " LEPOTEX_COMMIT ")";
    return line;
}

}  // namespace lepotex
