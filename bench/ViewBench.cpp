// The view on a 50 MB book with word wrap on, offscreen: what a user waits for after a key,
// the key's handling together with the repaint it causes and the status it posts.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <QApplication>
#include <QKeyEvent>
#include <QResizeEvent>

#include "editor/view/EditorView.h"

namespace {

using namespace lepotex;

// 50 MB of paragraphs from one to twelve 80-column lines long, CR LF, so that word wrap has
// work to do on every page.
const std::string& BookPath()
{
    static const std::string path = [] {
        const std::string file = (std::filesystem::temp_directory_path() / "lepotex-bench-50mb-paragraphs.txt").string();
        if (std::filesystem::exists(file) && std::filesystem::file_size(file) >= 50'000'000)
            return file;
        static const char* const words[] = {"a", "se", "na", "\x9E" "e", "kniha", "les", "domov", "\xF8" "eka",
                                            "kdy\x9E", "byl", "nebo", "tam", "je\x9A" "t\xEC", "potom", "ve\xE8" "er",
                                            "srdce", "cesta", "okno", "\x84" "Kdo?\x93", "\xE8" "asto,"};
        std::mt19937 random(11);
        std::string out;
        out.reserve(50'100'000);
        while (out.size() < 50'000'000) {
            const size_t length = 80 * (1 + random() % 12) - random() % 40;
            std::string para;
            while (para.size() < length) {
                if (!para.empty())
                    para += ' ';
                para += words[random() % std::size(words)];
            }
            out += para;
            out += "\r\n";
        }
        std::ofstream(file, std::ios::binary) << out;
        return file;
    }();
    return path;
}

EditorView& View()
{
    static EditorView* view = [] {
        auto* v = new EditorView;
        v->resize(1280, 900);
        v->show();
        v->Editor().LoadFromFile(BookPath());
        v->Editor().SetWordWrap(true);
        v->setFocus();
        QApplication::processEvents();
        return v;
    }();
    return *view;
}

void Press(EditorView& view, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {})
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(&view, &event);
}

// The key, the repaint it caused and the status it posted, as the user waits for them.
template <typename Action>
double Timed(EditorView& view, Action&& action)
{
    const auto start = std::chrono::steady_clock::now();
    action();
    view.viewport()->repaint();
    QApplication::processEvents();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Untimed(EditorView& view, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    Press(view, key, modifiers);
    view.viewport()->repaint();
    QApplication::processEvents();
}

void BM_ViewCtrlEnd(benchmark::State& state)
{
    EditorView& view = View();
    for (auto _ : state) {
        Untimed(view, Qt::Key_Home, Qt::ControlModifier);
        state.SetIterationTime(Timed(view, [&] { Press(view, Qt::Key_End, Qt::ControlModifier); }));
    }
    state.counters["lines"] = double(view.Editor().LineCount());
}
BENCHMARK(BM_ViewCtrlEnd)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ViewTypeAtEnd(benchmark::State& state)
{
    EditorView& view = View();
    Untimed(view, Qt::Key_End, Qt::ControlModifier);
    for (auto _ : state) {
        state.SetIterationTime(Timed(view, [&] { Press(view, 0, Qt::NoModifier, QStringLiteral("ř")); }));
        Untimed(view, Qt::Key_Backspace);
    }
}
BENCHMARK(BM_ViewTypeAtEnd)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ViewRepaint(benchmark::State& state)
{
    EditorView& view = View();
    view.Editor().SetCaret({view.Editor().ParaCount() / 2, 1});
    view.Editor().SetSelection({view.Editor().ParaCount() / 2 - 5, 7}, {view.Editor().ParaCount() / 2 + 5, 3});
    QApplication::processEvents();
    for (auto _ : state)
        state.SetIterationTime(Timed(view, [] {}));
    state.counters["rows"] = view.Rows();
    state.counters["columns"] = view.Columns();
}
BENCHMARK(BM_ViewRepaint)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ViewCtrlHome(benchmark::State& state)
{
    EditorView& view = View();
    for (auto _ : state) {
        Untimed(view, Qt::Key_End, Qt::ControlModifier);
        state.SetIterationTime(Timed(view, [&] { Press(view, Qt::Key_Home, Qt::ControlModifier); }));
    }
}
BENCHMARK(BM_ViewCtrlHome)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ViewPageDownInTheMiddle(benchmark::State& state)
{
    EditorView& view = View();
    view.Editor().SetCaret({view.Editor().ParaCount() / 2, 1});
    QApplication::processEvents();
    for (auto _ : state) {
        state.SetIterationTime(Timed(view, [&] { Press(view, Qt::Key_PageDown); }));
        Untimed(view, Qt::Key_PageUp);
    }
}
BENCHMARK(BM_ViewPageDownInTheMiddle)->UseManualTime()->Unit(benchmark::kMillisecond);

// A step of a window's edge being dragged: the book's re-wrap waits until the size settles.
void BM_ViewResize(benchmark::State& state)
{
    EditorView& view = View();
    bool narrow = false;
    for (auto _ : state) {
        narrow = !narrow;
        state.SetIterationTime(Timed(view, [&] { view.resize(narrow ? 1000 : 1280, 900); }));
    }
}
BENCHMARK(BM_ViewResize)->UseManualTime()->Unit(benchmark::kMillisecond);

// Not a key: re-wrapping the whole book at a new width, as when the size has settled or word
// wrap is switched on.
void BM_ViewRewrapBook(benchmark::State& state)
{
    EditorView& view = View();
    bool narrow = false;
    for (auto _ : state) {
        narrow = !narrow;
        state.SetIterationTime(Timed(view, [&] { view.Editor().SetWrapColumn(narrow ? 150 : 186); }));
    }
}
BENCHMARK(BM_ViewRewrapBook)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
