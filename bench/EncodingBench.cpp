// Opening and saving a 50 MB book in UTF-8 against the same book in Windows-1250, the
// editor's own encoding, which needs no conversion.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "editor/TextEditor.h"
#include "editor/TextEncoding.h"
#include "editor/Windows1250.h"

namespace {

using namespace lepotex;
namespace fs = std::filesystem;

// A Czech book of about 50 MB: lines of 60 to 80 characters, with CR LF.
const std::string& Windows1250Book()
{
    static const std::string book = [] {
        std::vector<std::string> words;
        for (const char* word : {"a", "se", "na", "že", "kniha", "les", "domov", "řeka", "když", "byl", "nebo",
                                 "tam", "ještě", "potom", "večer", "srdce", "cesta", "okno", "„Kdo?“", "Krysař",
                                 "žluťoučký", "kůň", "úpěl", "ďábelské", "ódy", "—"})
            words.push_back(Utf8ToWindows1250(word));
        std::mt19937 random(1250);
        std::string out;
        out.reserve(50'100'000);
        while (out.size() < 50'000'000) {
            std::string line = words[random() % words.size()];
            const size_t length = 60 + random() % 20;
            while (line.size() < length)
                line += " " + words[random() % words.size()];
            out += line + "\r\n";
        }
        return out;
    }();
    return book;
}

std::string WriteBook(const std::string& name, FileFormat format)
{
    std::string text = Windows1250Book();
    if (format.lineEnd == LineEnd::Lf)
        std::erase(text, '\r');
    std::string bytes(MarkOf(format.encoding));
    ConvertFromWindows1250(format.encoding, text, bytes);
    const std::string path = (fs::temp_directory_path() / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

void OpenAndSave(benchmark::State& state, const std::string& in, FileFormat expected)
{
    const std::string out = in + ".out";
    for (auto _ : state) {
        TextEditor editor;
        editor.SetWordWrap(false);  // as lepotex-cli copy
        editor.LoadFromFile(in);
        if (editor.GetFileFormat() != expected)
            state.SkipWithError("the book's format was not recognised");
        editor.SaveToFile(out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(in)));
    fs::remove(out);
}

// Each book is opened and saved seven times and the fastest counts, against the fastest of the
// baseline: a slow spell of the machine would otherwise fall on one of the two.
double Fastest(const std::vector<double>& times) { return *std::min_element(times.begin(), times.end()); }
void FastestOfSeven(benchmark::internal::Benchmark* bench)
{
    bench->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(7)
        ->ComputeStatistics("fastest", Fastest)
        ->ReportAggregatesOnly(true);
}

void BM_OpenSaveWindows1250Baseline(benchmark::State& state)
{
    const std::string path = WriteBook("lepotex-bench-enc-cp1250.txt", {});
    OpenAndSave(state, path, {});
    fs::remove(path);
}
BENCHMARK(BM_OpenSaveWindows1250Baseline)->Apply(FastestOfSeven);

void BM_OpenSaveUtf8(benchmark::State& state)
{
    const FileFormat format{TextEncoding::Utf8, LineEnd::CrLf};
    const std::string path = WriteBook("lepotex-bench-enc-utf8.txt", format);
    OpenAndSave(state, path, format);
    fs::remove(path);
}
BENCHMARK(BM_OpenSaveUtf8)->Apply(FastestOfSeven);

void BM_OpenSaveUtf8Lf(benchmark::State& state)
{
    const FileFormat format{TextEncoding::Utf8, LineEnd::Lf};
    const std::string path = WriteBook("lepotex-bench-enc-utf8-lf.txt", format);
    OpenAndSave(state, path, format);
    fs::remove(path);
}
BENCHMARK(BM_OpenSaveUtf8Lf)->Apply(FastestOfSeven);

void BM_OpenSaveUtf16(benchmark::State& state)
{
    const FileFormat format{TextEncoding::Utf16Le, LineEnd::CrLf};
    const std::string path = WriteBook("lepotex-bench-enc-utf16.txt", format);
    OpenAndSave(state, path, format);
    fs::remove(path);
}
BENCHMARK(BM_OpenSaveUtf16)->Apply(FastestOfSeven);

}  // namespace

BENCHMARK_MAIN();
