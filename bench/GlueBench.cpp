// The gluing engine on deterministic broken novel-like text: the working-list pipeline, the
// whole "Slepit" on the editor, and the direct-speech command, on the normal text and on the
// four hostile ones, each beside a copy of the same bytes as the baseline.
//
// `GlueBench --generate KIND MEGABYTES FILE` writes a text for scripts/bench instead; KIND is
// normal, pages, longparas, quotes or speech, or one of the books that are hostile to a glue
// reading the layout: numbers (every line a number), headers (every line the same running
// header), chars (lines of one character) and paragraph (the whole text wrapped as one paragraph).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "editor/TextEditor.h"
#include "editor/Windows1250.h"
#include "engine/AutoReplace.h"
#include "engine/GlueCommands.h"
#include "engine/LayoutAnalysis.h"
#include "engine/SmartGlue.h"

namespace {

using namespace lepotex;

enum class Kind { Normal, Pages, LongParagraphs, Quotes, Speech, Numbers, Headers, Chars, Paragraph };

constexpr std::size_t kMegabyte = 1'000'000;
constexpr std::size_t kBenchBytes = 8 * kMegabyte;

class TextMaker {
public:
    explicit TextMaker(std::size_t bytes) : target(bytes), rng(1250)
    {
        for (const char* w : {"a", "se", "na", "že", "kniha", "les", "domov", "řeka", "když", "byl", "nebo", "tam",
                              "ještě", "potom", "večer", "srdce", "cesta", "okno", "mlynář", "přítel", "hvězda",
                              "zahrada", "dlouho", "šel", "čekal", "viděl", "úsvit", "ticho", "kámen", "voda"})
            words.push_back(Utf8ToWindows1250(w));
        open = Utf8ToWindows1250("„");
        close = Utf8ToWindows1250("“");
        header = Utf8ToWindows1250("Karel Čapek: Povídky z jedné kapsy");
        text.reserve(bytes + 64 * 1024);
    }

    bool Full() const { return text.size() >= target; }
    const std::string& Word() { return words[rng() % words.size()]; }
    std::string Capitalised()
    {
        std::string w = Word();
        w[0] = char(ToUpperByte(uint8_t(w[0])));
        return w;
    }
    // Words up to about `width` bytes, starting lowercase, ending in a letter.
    std::string Words(std::size_t width)
    {
        std::string line = Word();
        while (line.size() < width) {
            line += ' ';
            line += Word();
        }
        return line;
    }
    void Line(const std::string& line)
    {
        text += line;
        text += "\r\n";
    }

    std::size_t target;
    std::mt19937 rng;
    std::vector<std::string> words;
    std::string open;
    std::string close;
    std::string header;
    std::string text;
};

// Paragraphs of short indented lines with hyphenated breaks, page numbers between pages,
// chapter headings in capitals and dialogue with “„ run together.
void MakeNormal(TextMaker& m)
{
    int lineNo = 0;
    int page = 1;
    while (!m.Full()) {
        if (m.rng() % 40 == 0) {
            m.Line("    KAPITOLA");
            m.Line("");
        }
        const int lines = 3 + int(m.rng() % 10);
        for (int i = 0; i < lines; ++i) {
            std::string line = (i == 0 ? "    " + m.Capitalised() + " " : "") + m.Words(50 + m.rng() % 15);
            if (m.rng() % 12 == 0)
                line += ", " + m.close + m.open + m.Capitalised() + " " + m.Word();
            if (i + 1 == lines)
                line += '.';
            else if (m.rng() % 6 == 0)
                line += " roz-";  // continued by the next line's first word
            m.Line(line);
            if (++lineNo % 45 == 0)
                m.Line("                                        - " + std::to_string(page++) + " -");
        }
        if (m.rng() % 3 == 0)
            m.Line("");
    }
}

void MakeHostile(TextMaker& m, Kind kind)
{
    int n = 0;
    while (!m.Full()) {
        switch (kind) {
        case Kind::Pages:
            m.Line("- " + std::to_string(++n) + " -");
            break;
        case Kind::LongParagraphs:
            // 500 lines of 64 bytes glue into 32499 bytes, with the indent 32502: just under 32767.
            for (int i = 0; i < 500; ++i) {
                std::string line = m.Words(64);
                line.resize(63);
                line += 'a';
                if (line[0] == ' ')
                    line[0] = 'a';
                m.Line(line);
            }
            m.Line("");
            break;
        case Kind::Quotes:
            m.Line(m.Capitalised() + " " + m.Words(20) + "." + m.close + m.open + m.Capitalised() + " " + m.Words(20) +
                   ".");
            break;
        case Kind::Speech:
            // 500 bytes per span: 100,000 spans in 50 MB.
            m.Line(m.open + m.Capitalised() + " " + m.Words(100) + ",");
            m.Line("   " + m.Words(100));
            m.Line(m.Words(100) + "." + m.close);
            m.Line(m.Capitalised() + " " + m.Words(150) + ".");
            break;
        case Kind::Numbers:
            m.Line(std::to_string(++n));
            break;
        case Kind::Headers:
            m.Line(m.header);
            break;
        case Kind::Chars:
            // Paragraphs of 100 such lines, so that the glued ones stay within the editor's limit.
            m.Line(++n % 101 ? m.words[m.rng() % m.words.size()].substr(0, 1) : std::string());
            break;
        case Kind::Paragraph:
            m.Line(m.Words(60));
            break;
        case Kind::Normal:
            break;
        }
    }
}

std::string MakeText(Kind kind, std::size_t bytes)
{
    TextMaker m(bytes);
    if (kind == Kind::Normal)
        MakeNormal(m);
    else
        MakeHostile(m, kind);
    return std::move(m.text);
}

const std::string& Text(Kind kind)
{
    static std::string texts[int(Kind::Paragraph) + 1];
    std::string& text = texts[int(kind)];
    if (text.empty())
        text = MakeText(kind, kBenchBytes);
    return text;
}

// The generated texts end every line with CR LF.
WorkingList Lines(Kind kind)
{
    const LineViews lines = LinesOf(Text(kind));
    return WorkingList(lines.begin(), lines.end());
}

void BM_CopyBaseline(benchmark::State& state)
{
    const std::string& text = Text(Kind::Normal);
    for (auto _ : state) {
        std::string copy = text;
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_CopyBaseline)->Unit(benchmark::kMillisecond);

void BM_GlueWorkingList(benchmark::State& state)
{
    const Kind kind = Kind(state.range(0));
    const WorkingList lines = Lines(kind);
    const Settings settings = Settings::Defaults();
    SilentReporter quiet;
    for (auto _ : state) {
        state.PauseTiming();
        WorkingList list = lines;
        state.ResumeTiming();
        GlueWorkingList(list, settings, quiet);
        benchmark::DoNotOptimize(list.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Text(kind).size()));
}
BENCHMARK(BM_GlueWorkingList)
    ->ArgName("kind")
    ->Arg(int(Kind::Normal))
    ->Arg(int(Kind::Pages))
    ->Arg(int(Kind::LongParagraphs))
    ->Arg(int(Kind::Quotes))
    ->Unit(benchmark::kMillisecond);

// The smart glue's two parts alone on the normal text: the layout analysis, and the analysis
// with the decisions (the list as the editor's lines would give it).
void BM_AnalyseLayout(benchmark::State& state)
{
    const LineViews lines = LinesOf(Text(Kind::Normal));
    for (auto _ : state)
        benchmark::DoNotOptimize(AnalyseLayout(lines).width);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Text(Kind::Normal).size()));
}
BENCHMARK(BM_AnalyseLayout)->Unit(benchmark::kMillisecond);

void BM_GlueByLayout(benchmark::State& state)
{
    const LineViews lines = LinesOf(Text(Kind::Normal));
    const Settings settings = Settings::Defaults();
    for (auto _ : state) {
        state.PauseTiming();
        LineList list;
        list.pieces = lines;
        state.ResumeTiming();
        benchmark::DoNotOptimize(GlueByLayout(list, settings));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Text(Kind::Normal).size()));
}
BENCHMARK(BM_GlueByLayout)->Unit(benchmark::kMillisecond);

// The whole command on a loaded editor: copy, stages, write-back, replace-all, re-wrap.
void BM_SlepitExecute(benchmark::State& state)
{
    const Kind kind = Kind(state.range(0));
    const bool smart = state.range(1) != 0;
    GlueRecord record;
    GlueRecord* const recording = state.range(2) != 0 ? &record : nullptr;
    const std::string file = (std::filesystem::temp_directory_path() / "lepotex-gluebench.txt").string();
    std::ofstream(file, std::ios::binary) << Text(kind);
    Settings settings = Settings::Defaults();
    settings.smart = smart;
    SilentReporter quiet;
    std::unique_ptr<TextEditor> editor;
    for (auto _ : state) {
        state.PauseTiming();  // neither loading nor the last editor's destruction is timed
        editor = std::make_unique<TextEditor>();
        editor->SetWordWrap(false);
        editor->LoadFromFile(file);
        state.ResumeTiming();
        if (SlepitExecute(*editor, settings, quiet, recording).outcome != GlueOutcome::Done)
            state.SkipWithError("refused");
    }
    std::filesystem::remove(file);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Text(kind).size()));
    if (recording)
        state.counters["changes"] = double(record.changes.size());
}
// smart:1 is the smart glue of the same text; record:1 keeps what the glue decided.
BENCHMARK(BM_SlepitExecute)
    ->ArgNames({"kind", "smart", "record"})
    ->Args({int(Kind::Normal), 0, 0})
    ->Args({int(Kind::Normal), 1, 0})
    ->Args({int(Kind::Normal), 0, 1})
    ->Args({int(Kind::Normal), 1, 1})
    ->Unit(benchmark::kMillisecond);

void BM_PrimaRecExecute(benchmark::State& state)
{
    const std::string file = (std::filesystem::temp_directory_path() / "lepotex-speechbench.txt").string();
    std::ofstream(file, std::ios::binary) << Text(Kind::Speech);
    SilentReporter quiet;
    std::unique_ptr<TextEditor> editor;
    for (auto _ : state) {
        state.PauseTiming();
        editor = std::make_unique<TextEditor>();
        editor->SetWordWrap(false);
        editor->LoadFromFile(file);
        state.ResumeTiming();
        if (actPrimaRecExecute(*editor, quiet).outcome != GlueOutcome::Done)
            state.SkipWithError("refused");
    }
    std::filesystem::remove(file);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Text(Kind::Speech).size()));
}
BENCHMARK(BM_PrimaRecExecute)->Unit(benchmark::kMillisecond);

int Generate(int argc, char** argv)
{
    static const char* const names[] = {"normal", "pages",   "longparas", "quotes",   "speech",
                                        "numbers", "headers", "chars",     "paragraph"};
    int kind = -1;
    for (int k = 0; k < int(std::size(names)); ++k)
        if (std::strcmp(argv[2], names[k]) == 0)
            kind = k;
    // A fraction of a megabyte too: the hostile books are measured small where they are slow.
    const double megabytes = std::atof(argv[3]);
    if (argc != 5 || kind < 0 || !(megabytes > 0)) {
        std::cerr << "usage: GlueBench --generate normal|pages|longparas|quotes|speech|numbers|headers|chars|"
                     "paragraph MEGABYTES FILE\n";
        return 1;
    }
    std::ofstream out(argv[4], std::ios::binary);
    out << MakeText(Kind(kind), std::size_t(megabytes * double(kMegabyte)));
    return out ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--generate") == 0)
        return argc == 5 ? Generate(argc, argv) : 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
