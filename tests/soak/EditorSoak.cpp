// A long run of random user operations on one growing text, checking the editor's invariants
// as it goes, and that memory stays bounded: the peak within a fixed allowance per byte of
// text, the heap back to where it started once the text is gone.
//   editor_soak [OPERATIONS [SEED]]      (default 1,000,000 operations)
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>

#include "FuzzEditorChecks.h"
#include "editor/TextEditor.h"

using namespace lepotex;

namespace {

[[noreturn]] void Fail(int64_t op, const std::string& what)
{
    std::fprintf(stderr, "soak: operation %lld: %s\n", (long long)op, what.c_str());
    std::exit(1);
}

#define SOAK_CHECK(condition) do { if (!(condition)) Fail(op, "broken: " #condition); } while (false)

int64_t PeakRssBytes()
{
    rusage usage{};
    return getrusage(RUSAGE_SELF, &usage) == 0 ? int64_t(usage.ru_maxrss) * 1024 : 0;
}

int64_t HeapInUse() { return int64_t(mallinfo2().uordblks); }

// glibc keeps a few freed blocks of each size on every thread for reuse, and mallinfo2 counts
// them in use: the longer the run, the more sizes were used and the more the heap seemed to keep
// (72 KB after two million operations, a leak where there was none). Without that cache the
// figure is what the program holds. The cache is chosen before a process starts, so the soak
// runs itself again without it.
void RunWithoutThreadCache(char** argv)
{
#if defined(__GLIBC__) && defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
    constexpr const char* kNoCache = "glibc.malloc.tcache_count=0";
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables && std::strstr(tunables, kNoCache))
        return;
    const std::string value = tunables && *tunables ? std::string(tunables) + ":" + kNoCache : kNoCache;
    if (::setenv("GLIBC_TUNABLES", value.c_str(), 1) == 0)
        ::execv("/proc/self/exe", argv);
    std::fprintf(stderr, "soak: could not run again without the heap's thread cache; its figures count it\n");
#else
    (void)argv;
#endif
}

// What stays cheap enough for every operation.
void CheckQuick(const TextEditor& editor, int64_t op)
{
    SOAK_CHECK(editor.ParaCount() >= 1 && editor.LineCount() >= editor.ParaCount());
    SOAK_CHECK(editor.ByteCount() >= 2 * (editor.ParaCount() - 1));
    auto inText = [&](ParaPos pos) {
        return pos.paraNo >= 1 && pos.paraNo <= editor.ParaCount() && pos.column >= 1 &&
               pos.column <= int32_t(editor.ParaText(pos.paraNo).size()) + 1;
    };
    SOAK_CHECK(inText(editor.Caret()));
    for (int n = 0; n <= 9; ++n)
        SOAK_CHECK(editor.Bookmark(n).paraNo == 0 || inText(editor.Bookmark(n)));
}

// The text as a save writes it and a load reads it back, a last paragraph that is not empty
// with its line end (and so an empty paragraph behind it).
std::string AsSaved(const TextEditor& editor)
{
    std::string all;
    for (int32_t p = 1; p <= editor.ParaCount(); ++p)
        all += (p > 1 ? "\r\n" : "") + fuzz::AsSaved(editor.ParaText(p));
    if (!editor.ParaText(editor.ParaCount()).empty())
        all += "\r\n";
    return all;
}

}  // namespace

int main(int argc, char** argv)
{
    RunWithoutThreadCache(argv);
    const int64_t operations = argc > 1 ? std::atoll(argv[1]) : 1000000;
    const unsigned seed = argc > 2 ? unsigned(std::atol(argv[2])) : 20030119u;
    std::mt19937 random(seed);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    static const std::string words[] = {"sena", "a", "Kapitola", "\x9A" "kola", "p\xF8" "i\xB9" "el", "- 12 -",
                                        "\x84" "Tak", "pojd\xEC\x93", "x", "konec."};
    auto word = [&] { return words[size_t(pick(10))]; };
    // In memory where there is such a folder: a save waits until the file is on the disk.
    const std::filesystem::path folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::filesystem::temp_directory_path();
    const std::string file = (folder / ("lepotex-soak-" + std::to_string(getpid()) + ".txt")).string();

    [[maybe_unused]] const int64_t heapBefore = HeapInUse();
    const int64_t rssBefore = PeakRssBytes();
    int64_t maxBytes = 0, op = 0, refused = 0, saves = 0;
    const auto start = std::chrono::steady_clock::now();
    {
        TextEditor editor;
        // Each step with its weight in a thousand; the weights add up to 1000.
        const std::pair<int, std::function<void()>> steps[] = {
            {400, [&] { editor.TypeChar(pick(8) == 0 ? ' ' : char('a' + pick(26))); }},
            {40, [&] { editor.Backspace(); }},
            {30, [&] { editor.DeleteForward(); }},
            {50, [&] { editor.BreakParagraph(); }},
            {120, [&] { editor.SetCaret(ParaPos{1 + pick(editor.ParaCount()), 1 + pick(80)}); }},
            {80, [&] {
                 std::string text;
                 for (int n = pick(12); n > 0; --n)
                     text += word() + (pick(4) == 0 ? "\r\n" : pick(9) == 0 ? "\t" : " ");
                 editor.Paste(text);
             }},
            {20, [&] {
                 editor.SetSelection(editor.Caret(), ParaPos{editor.Caret().paraNo + pick(2), 1 + pick(40)});
                 pick(2) == 0 ? (void)editor.Cut() : editor.DeleteSelection();
             }},
            {60, [&] { editor.Undo(); }},
            {40, [&] { editor.Redo(); }},
            {60, [&] { editor.SetBookmark(pick(10)); }},
            {40, [&] { editor.GotoBookmark(pick(10)); }},
            {20, [&] { editor.SetInsertMode(!editor.InsertMode()); }},
            {25, [&] { (void)editor.Search(word(), SearchOptions{.backward = pick(2) == 0, .wholeWord = pick(2) == 0}); }},
            // Whole words, so that a replacement holding the word cannot grow the text by a factor.
            {12, [&] {
                 (void)editor.Replace(word(), word(), SearchOptions{.matchCase = pick(2) == 0, .global = true, .replace = true,
                                                                    .replaceAll = true, .wholeWord = true});
             }},
            {2, [&] { editor.SetWordWrap(!editor.WordWrap()); }},
            {1, [&] { editor.SetWrapColumn(20 + pick(100)); }},
        };
        for (; op < operations; ++op) {
            int kind = pick(1000);
            try {
                const auto* step = steps;
                for (; kind >= step->first; ++step)
                    kind -= step->first;
                step->second();
            } catch (const EEditorError&) {
                ++refused;  // a paragraph limit: nothing of the failed step was made
            }
            CheckQuick(editor, op);
            maxBytes = std::max<int64_t>(maxBytes, editor.ByteCount());

            if (op % 997 == 0) {
                fuzz::CheckEditor(editor);
                // One step back and forth leaves the text as it was.
                if (editor.CanUndo()) {
                    const std::string now = editor.Text();
                    editor.Undo();
                    fuzz::CheckEditor(editor);
                    SOAK_CHECK(editor.CanRedo());
                    editor.Redo();
                    SOAK_CHECK(editor.Text() == now);
                }
            }
            if (op % 25013 == 25012) {
                const std::string expected = AsSaved(editor);
                editor.SaveToFile(file);
                SOAK_CHECK(!editor.Modified());
                editor.LoadFromFile(file);
                SOAK_CHECK(editor.LastLoadReport().Faithful() && editor.LastLoadReport().longLinesSplit == 0);
                SOAK_CHECK(editor.Text() == expected);
                fuzz::CheckEditor(editor);
                ++saves;
            }
        }
        fuzz::CheckEditor(editor);
        editor.SaveToFile(file);
    }
    std::filesystem::remove(file);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int64_t peak = PeakRssBytes();
    [[maybe_unused]] const int64_t heapAfter = HeapInUse();  // before stdout takes its buffer

    std::printf("soak: %lld operations in %.1f s (%lld refused by a limit, %lld saves and reloads)\n",
                (long long)operations, seconds, (long long)refused, (long long)saves);
    std::printf("soak: largest text %.2f MB; peak resident memory %.1f MiB (%.1f MiB at start)\n",
                double(maxBytes) / 1e6, double(peak) / 1048576.0, double(rssBefore) / 1048576.0);
#ifndef __SANITIZE_ADDRESS__  // its allocator keeps freed memory back: no heap figures
    std::printf("soak: heap in use %lld bytes before, %lld after the editor is gone\n", (long long)heapBefore,
                (long long)heapAfter);
    // The text, its paragraph tables and the bounded history: a fixed allowance per byte.
    if (peak - rssBefore > 16 * 1048576 + 24 * maxBytes)
        Fail(op, "peak memory beyond its bound");
    if (heapAfter > heapBefore + 64 * 1024)
        Fail(op, "the heap did not go back once the editor was gone");
#endif
    return 0;
}
