// Editor core on a 50 MB book: display-line lookup and GetLine at the end with word wrap,
// replace-all against sed, and the memory a loaded text takes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <unistd.h>

#include "editor/TextEditor.h"

namespace {

using namespace lepotex;

// 50 MB of Windows-1250 60-character lines with CR LF, every line carrying the word the replace benchmark uses.
const std::string& BookPath()
{
    static const std::string path = [] {
        const std::string file = (std::filesystem::temp_directory_path() / "lepotex-bench-50mb-cp1250.txt").string();
        if (std::filesystem::exists(file) && std::filesystem::file_size(file) >= 50'000'000)
            return file;
        // Windows-1250, as the editor's own files are.
        static const char* const words[] = {"a", "se", "na", "\x9E" "e", "kniha", "les", "domov", "\xF8" "eka",
                                            "kdy\x9E", "byl", "nebo", "tam", "je\x9A" "t\xEC", "potom", "ve\xE8" "er",
                                            "srdce", "cesta", "okno"};
        std::mt19937 random(7);
        std::string out;
        out.reserve(50'100'000);
        std::string line;
        while (out.size() < 50'000'000) {
            line = "kniha";
            while (line.size() < 60) {
                line += ' ';
                line += words[random() % std::size(words)];
            }
            line.resize(60);
            out += line;
            out += "\r\n";
        }
        std::ofstream(file, std::ios::binary) << out;
        return file;
    }();
    return path;
}

long ResidentKiB()
{
    std::ifstream status("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    status >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

TextEditor& LoadedBook()
{
    static TextEditor* editor = [] {
        auto* e = new TextEditor;
        e->LoadFromFile(BookPath());
        return e;
    }();
    return *editor;
}

void BM_FindDisplayLineAtEnd(benchmark::State& state)
{
    TextEditor& editor = LoadedBook();
    editor.SetWordWrap(true);
    const int32_t last = editor.LineCount();
    for (auto _ : state) {
        const int32_t paraNo = editor.ParaOfLine(last);
        benchmark::DoNotOptimize(paraNo);
    }
    state.counters["lines"] = double(last);
}
BENCHMARK(BM_FindDisplayLineAtEnd);

void BM_GetLineAtEnd(benchmark::State& state)
{
    TextEditor& editor = LoadedBook();
    editor.SetWordWrap(true);
    const int32_t line = editor.LineCount() - 1;
    for (auto _ : state) {
        std::string text = editor.GetLine(line);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_GetLineAtEnd);

void BM_LoadedTextMemory(benchmark::State& state)
{
    const double fileSize = double(std::filesystem::file_size(BookPath()));
    double ratio = 0;
    for (auto _ : state) {
        const long before = ResidentKiB();
        {
            TextEditor editor;
            editor.LoadFromFile(BookPath());
            ratio = double(ResidentKiB() - before) * 1024.0 / fileSize;
        }
    }
    state.counters["rss_per_file_byte"] = ratio;
}
BENCHMARK(BM_LoadedTextMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// Replace-all of a word on every line, as a ratio to sed over the same file in the same run.
void BM_ReplaceAllVsSed(benchmark::State& state)
{
    double editorSeconds = 0;
    double sedSeconds = 0;
    const std::string command = "LC_ALL=C sed 's/kniha/knihy/g' '" + BookPath() + "' > /dev/null";
    for (auto _ : state) {
        TextEditor editor;
        editor.LoadFromFile(BookPath());
        auto start = std::chrono::steady_clock::now();
        const int32_t count =
            editor.Replace("kniha", "knihy", SearchOptions{.global = true, .replace = true, .replaceAll = true});
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        benchmark::DoNotOptimize(count);
        editorSeconds += seconds;
        state.SetIterationTime(seconds);
        start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("sed failed");
        sedSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["ratio_to_sed"] = editorSeconds / sedSeconds;
}
BENCHMARK(BM_ReplaceAllVsSed)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
