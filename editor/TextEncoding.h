#pragma once
// How a text file is encoded, found from its bytes, and the conversions between that
// encoding and the editor's Windows-1250 bytes. The editor keeps Windows-1250 whatever the
// file was; a file in another encoding is converted on loading and back on saving.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "editor/TextBlock.h"

namespace lepotex {

enum class TextEncoding : uint8_t {
    Windows1250,
    Utf8,     // without a byte-order mark
    Utf8Bom,  // with one
    Utf16Le,  // always with its mark
    Utf16Be,
    Iso8859_2,
    Cp852,
};

enum class LineEnd : uint8_t { CrLf, Lf };

// How a document is written back: the encoding and the line end it was loaded with.
struct FileFormat {
    TextEncoding encoding = TextEncoding::Windows1250;
    LineEnd lineEnd = LineEnd::CrLf;
    bool operator==(const FileFormat&) const = default;
};

// "CP1250", "UTF-8", "UTF-8 BOM", "UTF-16", "ISO-8859-2", "CP852" (UTF-16 of either order).
[[nodiscard]] const char* EncodingName(TextEncoding encoding) noexcept;
// The encoding's name, followed by " LF" for LF line ends.
[[nodiscard]] std::string FormatName(FileFormat format);
// The encoding a user names: cp1250 (also windows-1250), utf-8, utf-8-bom, utf-16 (little
// endian), utf-16be, iso-8859-2 (latin2), cp852 (ibm852); case does not matter.
[[nodiscard]] std::optional<TextEncoding> ParseEncoding(std::string_view name);

// The encoding of a file's bytes. A byte-order mark decides. Otherwise valid UTF-8 holding
// multi-byte sequences is UTF-8. Otherwise ISO-8859-2 or CP852 only when the detector is
// sure of it and the high bytes read as Windows-1250 would not be Czech; everything else is
// Windows-1250. `bytes` is the whole file.
[[nodiscard]] TextEncoding DetectEncoding(std::string_view bytes);

// What DetectEncoding needs to know about a prefix of a file, found without reading all of
// it: whether it has a mark, whether it is valid UTF-8 so far (a sequence cut by the end of
// the prefix counts as valid) and whether it holds a multi-byte sequence.
struct Utf8Scan {
    bool valid = true;
    bool multiByte = false;
};
[[nodiscard]] Utf8Scan ScanUtf8(std::string_view bytes, bool complete) noexcept;
[[nodiscard]] std::optional<TextEncoding> EncodingOfMark(std::string_view bytes) noexcept;
[[nodiscard]] size_t MarkLength(TextEncoding encoding) noexcept;
// The encoding of a whole file: `encoding` when given, else DetectEncoding; a mark that is
// there decides the form (UTF-8 with or without it, the byte order of UTF-16).
[[nodiscard]] TextEncoding ResolveEncoding(std::string_view bytes, std::optional<TextEncoding> encoding);
// UTF-16 without its mark, as some tools write it: nearly every other byte is zero, and what
// the pairs read is text (letters of Latin scripts, punctuation, line ends). Else nothing.
[[nodiscard]] std::optional<TextEncoding> Utf16WithoutMark(std::string_view bytes) noexcept;
// For a text that is not UTF-8 and has no mark: ISO-8859-2, CP852 or Windows-1250.
[[nodiscard]] TextEncoding DetectCodePage(std::string_view bytes);

// Characters the editor cannot hold, met while converting to Windows-1250: each became '?'.
struct Replacements {
    int64_t count = 0;
    char32_t first = 0;        // its code point; U+FFFD for bytes that were no character
    int64_t firstOffset = -1;  // where its '?' stands in the converted text
};

// Converts `bytes` (after any mark) from `encoding` into Windows-1250 at `out`, which has
// room for bytes.size() bytes (no conversion makes the text longer); returns the length.
// For UTF-16 `out` may be bytes.data() itself: the conversion is done in place.
size_t ConvertToWindows1250(TextEncoding encoding, std::string_view bytes, char* out, Replacements& replaced);

// A whole small text (a list, the manual) as Windows-1250, by the same detection as a file
// the editor opens unless `encoding` is given; `found` tells what it was.
[[nodiscard]] std::string TextToWindows1250(std::string_view bytes, std::optional<TextEncoding> encoding,
                                            TextEncoding& found, Replacements& replaced);

// For a text without a mark: when it is UTF-8 holding multi-byte sequences (and not Czech
// Windows-1250 that happens to be valid UTF-8), converts it into a new block `out` and
// returns the length; else nullopt, and nothing is kept. One pass instead of a check and
// then the conversion.
std::optional<size_t> ConvertIfUtf8(std::string_view bytes, TextBlock& out, Replacements& replaced);

// Converts Windows-1250 bytes to `encoding` (without a mark), appending to `out`; returns
// the number of characters the encoding has no byte for, written as close as it can
// ("„" as '"') or as '?'.
int64_t ConvertFromWindows1250(TextEncoding encoding, std::string_view bytes, std::string& out);
// The same into `out`, which has room for ConvertedCapacity bytes; returns the length and
// adds the characters written as near as it could to `replaced`.
size_t ConvertFromWindows1250(TextEncoding encoding, std::string_view bytes, char* out, int64_t& replaced);
[[nodiscard]] size_t ConvertedCapacity(TextEncoding encoding, size_t size) noexcept;
// The mark a file of `encoding` begins with ("" for none).
[[nodiscard]] std::string_view MarkOf(TextEncoding encoding) noexcept;

}  // namespace lepotex
