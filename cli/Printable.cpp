#include "cli/Printable.h"

#include <cstdint>

#include "editor/Windows1250.h"

namespace lepotex::cli {

std::string Printable(std::string_view windows1250)
{
    std::string shown;
    for (const char c : windows1250) {
        const auto byte = uint8_t(c);
        const char16_t unicode = Windows1250ToUnicode(byte);
        if ((unicode < 0x20 && byte != '\t') || (unicode >= 0x7F && unicode <= 0x9F)) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0xF];
        } else {
            shown += Windows1250ToUtf8(std::string_view(&c, 1));
        }
    }
    return shown;
}

}  // namespace lepotex::cli
