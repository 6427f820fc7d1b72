#pragma once
// Seeded generators of broken Czech-like lines, small enough that every case the engine
// distinguishes turns up often: hyphen breaks, page numbers, capitals, digits, no-glue
// prefixes, empty and blank lines, the quotation marks „ and “, and stray CRs.
#include <random>
#include <string>
#include <vector>

namespace lepotex::testing {

inline std::string RandomLine(std::mt19937& rng)
{
    static const std::vector<std::string> pieces = {
        "slo", "vo", "a", "ale", "\xE8" "lov\xECk", "p\xF8i\xB9" "el", "Pak", "KAPITOLA", "XII", "Kapitola",
        "Kapitolami", "12", "7", " ", "  ", ",", ".", ":", "-", "- 12 -", "-3-", "\x84", "\x93", "\x93\x84",
        "\x93 \x84", "\x8A" "KOLA", "\x9A" "kola", "ab", "Ab", "(c)", "?", "!", "\x85", "\r", "x"};
    std::string line;
    for (int n = std::uniform_int_distribution<int>(0, 4)(rng); n > 0; --n)
        line += pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(rng)];
    return line;
}

inline std::vector<std::string> RandomLines(std::mt19937& rng, std::size_t maxLines, bool withCr = false)
{
    std::vector<std::string> lines(std::uniform_int_distribution<std::size_t>(0, maxLines)(rng));
    for (std::string& line : lines)
        if (line = RandomLine(rng); !withCr)
            std::erase(line, '\r');
    return lines;
}

}  // namespace lepotex::testing
