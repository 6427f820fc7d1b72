// Any bytes as a text file: the load keeps the counts in step with the text, and a saved
// text loads back as the same buffer, byte for byte and losing nothing, but for what the
// file format changes on saving (bytes 1 to 9 are saved as spaces, which a load then trims
// from a line's end, with a CR there when LF ends the lines), so that a second save writes
// the same file again.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzInput.h"
#include "FuzzEditorChecks.h"
#include "editor/TextEditor.h"

using namespace lepotex;

// libFuzzer's own mutations; absent from the replaying build, which never mutates.
extern "C" __attribute__((weak)) size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

// The load reads the first MiB before it decides how to read the rest and judges a code page
// on the first 256 KiB; byte-sized mutations would never grow an input that far. One in four
// mutations repeats a block of the input in place, up to doubling it.
extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed)
{
    std::minstd_rand random(seed);
    if (size > 0 && size < maxSize && random() % 4 == 0) {
        const size_t start = random() % size;
        const size_t length = 1 + random() % std::min<size_t>(size - start, 1 << 16);
        const size_t room = std::min(maxSize - size, size);
        const size_t copies = std::max<size_t>(1, room / length / (1 + random() % 4));
        const size_t added = std::min(room, copies * length);
        const size_t at = start + length;
        std::memmove(data + at + added, data + at, size - at);
        for (size_t done = 0; done < added; done += length)
            std::memcpy(data + at + done, data + start, std::min(length, added - done));
        return size + added;
    }
    return LLVMFuzzerMutate(data, size, maxSize);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string book = fuzz::TempPath("book.txt");
    static const std::string saved = fuzz::TempPath("saved.txt");
    fuzz::WriteFile(book, std::string_view(reinterpret_cast<const char*>(data), size));

    TextEditor editor;
    // The wrap width from the file's size, so that many widths get loaded.
    editor.SetWrapColumn(1 + int32_t(size % 97));
    editor.SetWordWrap(size % 5 != 0);
    editor.LoadFromFile(book);
    fuzz::CheckEditor(editor);
    FUZZ_CHECK(!editor.Modified());
    FUZZ_CHECK(!editor.CanUndo());
    for (int32_t line = 1; line <= editor.LineCount(); ++line)
        (void)editor.GetLine(line);

    // The same file handed to a sink, mapped or read, gives the paragraphs the editor holds,
    // and the editor the same report and format; or the editor loads it as before.
    {
        struct Sink : LoadedParagraphSink {
            void Reserve(std::size_t) override {}
            void Take(std::string_view text, bool, bool mayHoldControls) override
            {
                FUZZ_CHECK(mayHoldControls || text.find_first_of("\t\r\n") == std::string_view::npos);
                paragraphs.emplace_back(text);
            }
            void Finish(bool isPlain) override
            {
                finished = true;
                plain = isPlain;
            }
            std::vector<std::string> paragraphs;
            bool finished = false, plain = false;
        } sink;
        TextEditor handing;
        handing.SetMapFiles(size % 3 == 0);
        const bool handedOn = handing.LoadFromFileInto(book, std::nullopt, sink);
        FUZZ_CHECK(handedOn == sink.finished);
        FUZZ_CHECK(handing.GetFileFormat() == editor.GetFileFormat());
        const LoadReport& a = handing.LastLoadReport();
        const LoadReport& b = editor.LastLoadReport();
        FUZZ_CHECK(a.longLinesSplit == b.longLinesSplit && a.linesCutAtNul == b.linesCutAtNul &&
                   a.bytesAfterEndMark == b.bytesAfterEndMark && a.charsReplaced == b.charsReplaced);
        if (handedOn) {
            FUZZ_CHECK(handing.ParaCount() == 1 && handing.ByteCount() == 0);
            FUZZ_CHECK(int64_t(sink.paragraphs.size()) + 1 == editor.ParaCount());
            bool plain = true;
            for (std::size_t p = 0; p < sink.paragraphs.size(); ++p) {
                FUZZ_CHECK(sink.paragraphs[p] == editor.ParaText(int32_t(p + 1)));
                plain = plain && sink.paragraphs[p].find_first_of("\t\r\n") == std::string::npos;
            }
            FUZZ_CHECK(!sink.plain || plain);
        } else {
            FUZZ_CHECK(sink.paragraphs.empty() && handing.ParaCount() == editor.ParaCount());
            for (int32_t p = 1; p <= editor.ParaCount(); ++p)
                FUZZ_CHECK(handing.ParaText(p) == editor.ParaText(p));
        }
    }

    editor.SaveToFile(saved);
    // Lone CRs are characters of a text with LF line ends only while the LFs outnumber them.
    // Once the format has dropped lines (after a Ctrl+Z), the saved file may have as many
    // CRs as LFs and is read by CRs: its bytes are all there, its paragraphs differ.
    if (editor.GetFileFormat().lineEnd == LineEnd::Lf) {
        int64_t crs = 0;
        for (int32_t p = 1; p <= editor.ParaCount(); ++p)
            crs += std::count(editor.ParaText(p).begin(), editor.ParaText(p).end(), '\r');
        if (crs >= editor.ParaCount() - 1)
            return 0;
    }
    TextEditor again;
    // Read back in the encoding it was saved in, as a user would name it. Detecting it
    // again need not agree: a short text may be valid in several encodings, and what
    // decided the first reading may be among the bytes the format dropped (after a NUL).
    again.LoadFromFile(saved, editor.GetFileFormat().encoding);
    fuzz::CheckEditor(again);
    FUZZ_CHECK(again.LastLoadReport().Faithful() && again.LastLoadReport().longLinesSplit == 0);
    FUZZ_CHECK(again.ParaCount() == editor.ParaCount());
    for (int32_t p = 1; p <= editor.ParaCount(); ++p)
        FUZZ_CHECK(again.ParaText(p) == fuzz::AsSaved(editor.ParaText(p), editor.GetFileFormat().lineEnd == LineEnd::Lf));
    // Nothing left for the format to change. In Windows-1250 with CR LF the file is the
    // buffer, its size the byte count; in another encoding or with LF its size differs, and
    // reading it once more must give the same buffer.
    static const std::string savedAgain = fuzz::TempPath("saved-again.txt");
    again.SaveToFile(savedAgain);
    if (again.GetFileFormat() == FileFormat{}) {
        FUZZ_CHECK(int64_t(again.ByteCount()) == int64_t(std::filesystem::file_size(savedAgain)));
    } else {
        TextEditor third;
        third.LoadFromFile(savedAgain, again.GetFileFormat().encoding);
        FUZZ_CHECK(third.GetFileFormat() == again.GetFileFormat());
        FUZZ_CHECK(third.ParaCount() == again.ParaCount() && third.ByteCount() == again.ByteCount());
        for (int32_t p = 1; p <= again.ParaCount(); ++p)
            FUZZ_CHECK(third.ParaText(p) == again.ParaText(p));
    }
    return 0;
}
