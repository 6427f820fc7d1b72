// The glue commands run from their actions: stage texts painted in order while the command
// holds the thread, progress, cursor, check mark, closing message, refused close.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QPaintEvent>
#include <QProgressBar>
#include <QTimer>
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "editor/TextEditor.h"
#include "editor/Windows1250.h"
#include "engine/EngineMessages.h"
#include "engine/GlueCommands.h"

namespace lepotex::test {
namespace {

QString Text(const std::string& bytes) { return QString::fromStdU16String(DecodeWindows1250(bytes)); }

// The stage texts the engine asks to be painted at once, in order.
class StageRecorder : public SilentReporter {
public:
    std::vector<QString> stages;
    QString current;
    void ShowStage(std::string_view text, Repaint repaint) override
    {
        current = Text(std::string(text));
        if (repaint == Repaint::Now)
            RepaintStatus();
    }
    void RepaintStatus() override { stages.push_back(current); }
};

// Watches panel 0 while a command runs: what it painted, and what else the window did then.
class PanelWatch : public QObject {
public:
    explicit PanelWatch(TLepotexFrm& window) : window(window) { window.panels[0]->installEventFilter(this); }
    ~PanelWatch() override { window.panels[0]->removeEventFilter(this); }

    TLepotexFrm& window;
    bool recording = false, queuedEventRan = false, eventsRanMidCommand = false;
    bool busyCursor = true, progressShown = true;
    std::optional<bool> closeAccepted;  // the first paint tries to close the window
    std::vector<QString> painted;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        // "A je to ..." is shown without a repaint of its own, when the window next draws.
        if (recording && event->type() == QEvent::Paint && window.panels[0]->text() != Text(messages::StageDone())) {
            painted.push_back(window.panels[0]->text());
            eventsRanMidCommand |= queuedEventRan;
            const QCursor* cursor = QApplication::overrideCursor();
            busyCursor &= cursor && cursor->shape() == Qt::WaitCursor;
            progressShown &= window.pbarLista->isVisible();
            if (!closeAccepted)
                closeAccepted = window.close();
        }
        return false;
    }
};

// Each command from its action gives what the engine gives on its own, paints the engine's
// stages in order while holding the thread (no queued event runs, the close is refused), with
// the busy cursor and the progress bar, and puts the word-wrap check mark back on.
// "Slepit chytře" reads the layout even with the Smart setting off.
TEST(GlueFromWindow, CommandsMatchTheEngineAndHoldTheThread)
{
    using Run = std::function<void(TextEditor&, const Settings&, ProgressReporter&)>;
    const struct {
        const char* book;
        QAction* TLepotexFrm::*action;
        Run engine;
    } commands[] = {
        {"mlyn.txt", &TLepotexFrm::Slepit,
         [](TextEditor& e, const Settings& s, ProgressReporter& r) { (void)SlepitExecute(e, s, r); }},
        {"poutnik.txt", &TLepotexFrm::actPrimaRec,
         [](TextEditor& e, const Settings&, ProgressReporter& r) { (void)actPrimaRecExecute(e, r); }},
        {"mlyn.txt", &TLepotexFrm::actSlepitChytre,
         [](TextEditor& e, const Settings& s, ProgressReporter& r) { (void)SlepitChytreExecute(e, s, r); }},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command.book);
        TestWindow w;
        ASSERT_FALSE(w->CurrentSettings().smart);
        w->OpenAtStart(SamplePath(command.book));
        ASSERT_TRUE(w.prompts->shown.empty());
        w->miWordWarp->trigger();  // off: the command must put the check mark back on

        TextEditor reference;
        reference.LoadFromFile(SamplePath(command.book).toStdString());
        StageRecorder expected;
        command.engine(reference, w->CurrentSettings(), expected);

        PanelWatch watch(*w.window);
        QTimer::singleShot(0, &watch, [&watch] { watch.queuedEventRan = true; });
        watch.recording = true;
        ((*w.window).*command.action)->trigger();
        watch.recording = false;

        EXPECT_EQ(watch.painted, expected.stages);
        EXPECT_FALSE(watch.eventsRanMidCommand);
        EXPECT_TRUE(watch.busyCursor);
        EXPECT_TRUE(watch.progressShown);
        EXPECT_EQ(watch.closeAccepted, false);
        EXPECT_EQ(w.Editor().Text(), reference.Text());
        EXPECT_EQ(w->PanelText(0), Text(messages::StageDone()));
        EXPECT_FALSE(w->pbarLista->isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(w->miWordWarp->isChecked());
        EXPECT_TRUE(w.Editor().WordWrap());
        ASSERT_EQ(w.prompts->shown.size(), 1u);
        EXPECT_EQ(w.prompts->shown[0].text, Text(messages::GlueFinished()));
        QApplication::processEvents();
        EXPECT_TRUE(watch.queuedEventRan);
    }
}

TEST(GlueFromWindow, RefusalAndFailureLeaveCheckMarkCursorAndBarRight)
{
    TestWindow w;
    // Fewer than two lines: refused with the program's message.
    w->Slepit->trigger();
    EXPECT_EQ(w.LastShown(), Text(messages::NothingToGlue()));

    // Re-indenting makes this text larger than the editor allows: the command ends in an error.
    w.Type("Jedna věta.\nDruhá věta.\nTřetí věta.");
    const std::string text = w.Editor().Text();
    w.Editor().SetByteLimit(w.Editor().ByteCount());
    w->miWordWarp->trigger();
    w->Slepit->trigger();
    ASSERT_EQ(w.prompts->shown.size(), 2u);
    EXPECT_EQ(w.prompts->shown[1].kind, Shown::Plain);
    EXPECT_EQ(w.Editor().Text(), text);
    EXPECT_TRUE(w.Editor().WordWrap());
    EXPECT_TRUE(w->miWordWarp->isChecked());
    EXPECT_FALSE(w->pbarLista->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(w->CommandRunning());
    w.prompts->answers = {Answer::No};
    EXPECT_TRUE(w->close());
}

}  // namespace
}  // namespace lepotex::test
