#include "editor/TextEditor.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace lepotex {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

int32_t Paragraph::Wrap(int32_t width, int32_t tabSize)
{
    const int32_t before = LineCount();
    const int32_t length = int32_t(text.size());
    const char* data = text.data();
    // Short paragraphs without tabs, the bulk of any book, need no scan.
    if (width == TextEditor::kNoWrapWidth || width <= 0 || length == 0 ||
        (length <= width && std::memchr(data, '\t', size_t(length)) == nullptr)) {
        wraps.reset();
        return 1 - before;
    }
    // Without a tab every character is one column wide, and the line's end is found
    // without counting up to it.
    const bool hasTab = std::memchr(data, '\t', size_t(length)) != nullptr;
    // Reused from paragraph to paragraph: rewrapping a book allocates only what it keeps.
    thread_local std::vector<uint16_t> starts;
    starts.clear();
    int32_t s = 0;
    for (;;) {
        // How many characters from s fit into `width` display columns; tab stops count from s.
        int32_t i = s;
        if (!hasTab) {
            i = s + std::min(width, length - s);
        } else {
            int32_t column = 0;
            while (i < length) {
                const int32_t next = data[i] == '\t' ? (column / tabSize + 1) * tabSize : column + 1;
                if (next > width)
                    break;
                column = next;
                ++i;
            }
        }
        const int32_t w = i > s ? i - s : 1;  // at least one character, or we would never advance
        if (length - s <= w)
            break;
        int32_t next = s + w;  // hard cut unless a break character is found
        for (int32_t k = s + w; k >= s; --k) {
            const char c = data[k];
            if (IsBlank(c)) {
                next = k;
                while (next < length && IsBlank(data[next]))
                    ++next;
                break;
            }
            if (c == '-') {
                next = k + 1;
                while (next < length && IsBlank(data[next]))
                    ++next;
                break;
            }
        }
        starts.push_back(uint16_t(next));
        s = next;
    }
    if (starts.empty()) {
        wraps.reset();
    } else {
        wraps = std::make_unique<uint16_t[]>(starts.size() + 1);
        wraps[0] = uint16_t(starts.size());
        std::memcpy(&wraps[1], starts.data(), starts.size() * sizeof(uint16_t));
    }
    return LineCount() - before;
}

}  // namespace lepotex
