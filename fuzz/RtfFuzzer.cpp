// Any bytes must read as some text, without a crash, a hang or undefined behaviour, and the
// text must be valid UTF-16 (no lone surrogate).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/dialogs/RtfReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::u16string text = lepotex::RtfToText(std::string_view(reinterpret_cast<const char*>(data), size));
    if (text.size() > size)
        std::abort();  // every character of the text comes from at least one byte
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF)
                std::abort();
            ++i;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            std::abort();
        }
    }
    return 0;
}
