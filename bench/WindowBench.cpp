// The window's speed against the batch tool on the same 50 MB broken book, offscreen:
// opening it until its text is painted, against `lepotex-cli copy`; "Slepit" run from its
// menu action, against `lepotex-cli glue`. Each iteration times both, alternately, and the
// `x_cli` counter is the window's fastest time over the batch tool's fastest.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "app/LepotexMain.h"
#include "app/MessageBoxes.h"
#include "editor/TextEditor.h"
#include "editor/view/EditorView.h"

namespace {

using Clock = std::chrono::steady_clock;

// No one is there to answer the boxes.
class QuietPrompts : public lepotex::UserPrompts {
public:
    lepotex::Answer Confirm(QWidget*, const QString&) override { return lepotex::Answer::No; }
    void Inform(QWidget*, const QString&) override {}
    void Plain(QWidget*, const QString&) override {}
};

struct Fixture {
    QTemporaryDir folder;
    std::string book;
    std::string out;
    Fixture()
    {
        qputenv("XDG_CONFIG_HOME", folder.filePath(QStringLiteral("config")).toLocal8Bit());
        book = folder.filePath(QStringLiteral("kniha.txt")).toStdString();
        out = folder.filePath(QStringLiteral("out.txt")).toStdString();
        const std::string generate = std::string(LEPOTEX_GENERATOR) + " --generate normal 50 '" + book + "'";
        if (std::system(generate.c_str()) != 0)
            std::abort();
    }
    double Cli(const std::string& arguments) const
    {
        const std::string command = std::string(LEPOTEX_CLI) + " " + arguments + " '" + book + "' -o '" + out + "'";
        const auto start = Clock::now();
        if (std::system(command.c_str()) != 0)
            std::abort();
        return std::chrono::duration<double>(Clock::now() - start).count();
    }
};

Fixture& Book()
{
    static Fixture fixture;
    return fixture;
}

std::unique_ptr<lepotex::TLepotexFrm> Window()
{
    auto window = std::make_unique<lepotex::TLepotexFrm>(nullptr, std::make_unique<QuietPrompts>());
    window->show();
    QApplication::processEvents();
    return window;
}

void BM_WindowOpen50MB(benchmark::State& state)
{
    Fixture& fixture = Book();
    double bestWindow = 1e9;
    double bestCli = 1e9;
    for (auto _ : state) {
        auto window = Window();
        const auto start = Clock::now();
        window->OpenDocument(QString::fromStdString(fixture.book));
        window->memoText->RepaintNow();
        QApplication::processEvents();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        bestWindow = std::min(bestWindow, seconds);
        window->Editor().SetModified(false);
        window.reset();
        bestCli = std::min(bestCli, fixture.Cli("copy"));
    }
    state.counters["x_cli"] = bestWindow / bestCli;
    state.counters["best_ms"] = bestWindow * 1e3;
    state.counters["cli_ms"] = bestCli * 1e3;
}
BENCHMARK(BM_WindowOpen50MB)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_WindowSlepit50MB(benchmark::State& state)
{
    Fixture& fixture = Book();
    double bestWindow = 1e9;
    double bestCli = 1e9;
    for (auto _ : state) {
        auto window = Window();
        window->OpenDocument(QString::fromStdString(fixture.book));
        QApplication::processEvents();
        const auto start = Clock::now();
        window->Slepit->trigger();
        QApplication::processEvents();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        bestWindow = std::min(bestWindow, seconds);
        window->Editor().SetModified(false);
        window.reset();
        bestCli = std::min(bestCli, fixture.Cli("glue --defaults"));
    }
    state.counters["x_cli"] = bestWindow / bestCli;
    state.counters["best_ms"] = bestWindow * 1e3;
    state.counters["cli_ms"] = bestCli * 1e3;
}
BENCHMARK(BM_WindowSlepit50MB)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
