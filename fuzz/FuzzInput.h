#pragma once
// What every fuzz target shares: a reader that turns the fuzzer's bytes into choices, and a
// check that stops the run loudly, so that the fuzzer keeps the input as a crash.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define FUZZ_CHECK(condition)                                                                    \
    do {                                                                                         \
        if (!(condition)) {                                                                      \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                        \
        }                                                                                        \
    } while (false)

namespace lepotex::fuzz {

// Takes choices from the front of the input; once it is used up every choice is 0 and every
// text empty, so any input is a complete case.
class Input {
public:
    Input(const uint8_t* data, size_t size) : bytes(reinterpret_cast<const char*>(data), size) {}

    bool Empty() const { return bytes.empty(); }
    size_t Left() const { return bytes.size(); }

    uint8_t Byte()
    {
        if (bytes.empty())
            return 0;
        const uint8_t b = uint8_t(bytes[0]);
        bytes.remove_prefix(1);
        return b;
    }
    // Each choice in a statement of its own: the order in which a call's arguments or an
    // operator's operands are taken is the compiler's, and a finding must replay alike in
    // every build.
    uint16_t Word()
    {
        const uint8_t low = Byte();
        const uint8_t high = Byte();
        return uint16_t(low | (high << 8));
    }
    bool Flag() { return (Byte() & 1) != 0; }
    // 0 .. n - 1 (n > 0).
    int Below(int n) { return int(Word() % unsigned(n)); }

    // A text of up to `maxLength` bytes: its length byte first, then the bytes.
    std::string_view Text(size_t maxLength)
    {
        const size_t wanted = Byte() % (maxLength + 1);  // taken before the size is read
        const size_t length = std::min(wanted, bytes.size());
        const std::string_view text = bytes.substr(0, length);
        bytes.remove_prefix(length);
        return text;
    }
    // A text up to the next byte `end` (which is taken too), or the rest.
    std::string_view Until(char end)
    {
        const size_t at = bytes.find(end);
        const std::string_view text = bytes.substr(0, at);
        bytes.remove_prefix(at == std::string_view::npos ? bytes.size() : at + 1);
        return text;
    }
    std::string_view Rest()
    {
        const std::string_view rest = bytes;
        bytes = {};
        return rest;
    }

private:
    std::string_view bytes;
};

// A file of the fuzzer's own, one per process, in the fastest temporary folder there is.
std::string TempPath(std::string_view name);
void WriteFile(const std::string& path, std::string_view bytes);

}  // namespace lepotex::fuzz
