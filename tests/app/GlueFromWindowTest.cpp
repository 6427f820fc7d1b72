// The glue commands run from their actions: stages painted while the command holds the thread,
// progress, cursor, word wrap, closing message, refused close.
#include <functional>
#include <optional>
#include <string>

#include <QApplication>
#include <QLabel>
#include <QPaintEvent>
#include <QProgressBar>
#include <QSettings>
#include <QTimer>
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "engine/EngineMessages.h"
#include "engine/GlueCommands.h"

namespace lepotex::test {
namespace {

QString Text(const std::string& bytes) { return QString::fromStdU16String(DecodeWindows1250(bytes)); }

// Watches panel 0 while a command runs: its stages are painted while the command holds the
// thread, busy, and the first paint tries to close the window.
class PanelWatch : public QObject {
public:
    explicit PanelWatch(TLepotexFrm& window) : window(window) { window.panels[0]->installEventFilter(this); }
    ~PanelWatch() override { window.panels[0]->removeEventFilter(this); }

    TLepotexFrm& window;
    bool recording = false, queuedEventRan = false, eventsRanMidCommand = false, busy = true;
    std::optional<bool> closeAccepted;  // empty while nothing was painted

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        // "A je to ..." is shown without a repaint of its own, when the window next draws.
        if (recording && event->type() == QEvent::Paint && window.panels[0]->text() != Text(messages::StageDone())) {
            eventsRanMidCommand |= queuedEventRan;
            busy &= QApplication::overrideCursor() && window.pbarLista->isVisible();
            if (!closeAccepted)
                closeAccepted = window.close();
        }
        return false;
    }
};

// Each command from its action gives what the engine gives on its own, paints its stages while
// holding the thread (no queued event runs, the close is refused), with the busy cursor and the
// progress bar, and puts word wrap back on.
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
        w->OpenAtStart(SamplePath(command.book));
        w->miWordWarp->trigger();  // off: the command must put the check mark back on

        TextEditor reference;
        reference.LoadFromFile(SamplePath(command.book).toStdString());
        SilentReporter silent;
        command.engine(reference, w->CurrentSettings(), silent);

        PanelWatch watch(*w.window);
        QTimer::singleShot(0, &watch, [&watch] { watch.queuedEventRan = true; });
        watch.recording = true;
        ((*w.window).*command.action)->trigger();
        watch.recording = false;

        EXPECT_FALSE(watch.eventsRanMidCommand);
        EXPECT_TRUE(watch.busy);
        EXPECT_EQ(watch.closeAccepted, false);
        EXPECT_EQ(w.Editor().Text(), reference.Text());
        EXPECT_TRUE(w.Editor().WordWrap());
        // The closing message, followed by how to undo the glue.
        EXPECT_TRUE(w.LastShown().startsWith(Text(messages::GlueFinished()) + QStringLiteral(" Celý text před lepením")))
            << w.LastShown().toStdString();
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

    // An editor error of either pass: re-indenting makes this text larger than the editor
    // allows, and it stays as it was; the rule "x\xx" makes a glued paragraph too long.
    w.Type("Jedna věta.\nDruhá věta.\nTřetí věta.");
    const std::string text = w.Editor().Text();
    w.Editor().SetByteLimit(w.Editor().ByteCount());
    TestWindow ruled([](const QTemporaryDir& folder) {
        QSettings(folder.filePath(QStringLiteral("config/Zuvra/Lepotex 1.2.conf")), QSettings::IniFormat)
            .setValue(QStringLiteral("AutoReplace"), QStringLiteral("x\\xx\r\n"));
    });
    ASSERT_EQ(ruled.Editor().InsertText(QByteArray("x ").repeated(16000).toStdString() + "\r\nb"), 0);
    for (TestWindow* window : {&w, &ruled}) {
        TestWindow& v = *window;
        const size_t shown = v.prompts->shown.size();
        v->miWordWarp->trigger();
        v->Slepit->trigger();
        ASSERT_EQ(v.prompts->shown.size(), shown + 1);
        EXPECT_EQ(v.prompts->shown.back().kind, Shown::Plain);
        EXPECT_TRUE(v->miWordWarp->isChecked() && v.Editor().WordWrap());
        EXPECT_FALSE(v->pbarLista->isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_FALSE(v->CommandRunning());
    }
    EXPECT_EQ(w.Editor().Text(), text);
}

}  // namespace
}  // namespace lepotex::test
