#include "cli/Printable.h"

#include <algorithm>
#include <cstdint>

#include "editor/Windows1250.h"

namespace lepotex::cli {

namespace {

void AppendEscaped(std::string& shown, uint8_t byte)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    shown += "\\x";
    shown += kHex[byte >> 4];
    shown += kHex[byte & 0xF];
}

// The length of the well-formed UTF-8 sequence at the start of `bytes` (no overlong form, no
// surrogate, nothing above U+10FFFF), 0 when there is none; `code` is its code point.
size_t Utf8Sequence(std::string_view bytes, char32_t& code)
{
    const auto lead = uint8_t(bytes[0]);
    const size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                        : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
    if (length == 0 || length > bytes.size())
        return 0;
    code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        const auto next = uint8_t(bytes[i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (next & 0x3F);
    }
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || (code >= 0xD800 && code < 0xE000) || code > 0x10FFFF)
        return 0;
    return length;
}

}  // namespace

std::string PrintableName(std::string_view bytes)
{
    std::string shown;
    while (!bytes.empty()) {
        char32_t code = 0;
        const size_t length = Utf8Sequence(bytes, code);
        if (length == 0 || code < 0x20 || (code >= 0x7F && code <= 0x9F)) {
            for (size_t i = 0; i < std::max<size_t>(length, 1); ++i)
                AppendEscaped(shown, uint8_t(bytes[i]));
            bytes.remove_prefix(std::max<size_t>(length, 1));
        } else {
            shown += bytes.substr(0, length);
            bytes.remove_prefix(length);
        }
    }
    return shown;
}

std::string Printable(std::string_view windows1250)
{
    std::string shown;
    for (const char c : windows1250) {
        const auto byte = uint8_t(c);
        const char16_t unicode = Windows1250ToUnicode(byte);
        if ((unicode < 0x20 && byte != '\t') || (unicode >= 0x7F && unicode <= 0x9F)) {
            AppendEscaped(shown, byte);
        } else {
            shown += Windows1250ToUtf8(std::string_view(&c, 1));
        }
    }
    return shown;
}

}  // namespace lepotex::cli
