#pragma once
// What the window tests share: a window whose message boxes and file dialogs answer from a
// script, a private settings folder, and the sample books.
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/LepotexMain.h"
#include "app/MessageBoxes.h"
#include "editor/TextEditor.h"
#include "editor/Windows1250.h"

namespace lepotex::test {

struct Shown {
    enum Kind { Confirm, Inform, Plain } kind;
    QString text;
};

// Answers the questions and dialogs from queues and records every box shown. A question or a
// dialog without a queued answer fails the test and answers "Cancel".
class ScriptedPrompts : public UserPrompts {
public:
    std::deque<Answer> answers;
    std::deque<QString> openNames, saveNames;
    std::deque<FileFormat> saveFormats;  // the choice the user makes, when one is scripted
    FileFormat offeredFormat;            // what the save dialog was opened with
    std::vector<Shown> shown;

    Answer Confirm(QWidget*, const QString& text) override
    {
        shown.push_back({Shown::Confirm, text});
        return Next(answers, Answer::Cancel, "question: " + text.toStdString());
    }
    void Inform(QWidget*, const QString& text) override { shown.push_back({Shown::Inform, text}); }
    void Plain(QWidget*, const QString& text) override { shown.push_back({Shown::Plain, text}); }
    QString OpenFileName(QWidget*) override { return Next(openNames, QString(), "open dialog"); }
    QString SaveFileName(QWidget*, FileFormat& format) override
    {
        offeredFormat = format;
        format = Next(saveFormats, format, {});
        return Next(saveNames, QString(), "save dialog");
    }

private:
    // The next scripted answer; without one, `otherwise`, and a failure unless `what` is empty.
    template <class T>
    static T Next(std::deque<T>& queue, const T& otherwise, const std::string& what)
    {
        if (queue.empty()) {
            if (!what.empty())
                ADD_FAILURE() << "unexpected " << what;
            return otherwise;
        }
        const T next = queue.front();
        queue.pop_front();
        return next;
    }
};

// A main window over a settings folder of its own, with scripted prompts.
struct TestWindow {
    // `prepare` runs on the test's folder before the window starts.
    explicit TestWindow(const std::function<void(const QTemporaryDir&)>& prepare = {})
    {
        // The settings go to this test's own folder, never to the user's.
        qputenv("XDG_CONFIG_HOME", folder.filePath(QStringLiteral("config")).toLocal8Bit());
        if (prepare)
            prepare(folder);
        auto scripted = std::make_unique<ScriptedPrompts>();
        prompts = scripted.get();
        window = std::make_unique<TLepotexFrm>(nullptr, std::move(scripted));
        window->show();
        QApplication::processEvents();
    }
    ~TestWindow() { window->Editor().SetModified(false); }  // no question on the way out
    QTemporaryDir folder;
    std::unique_ptr<TLepotexFrm> window;
    ScriptedPrompts* prompts = nullptr;

    TLepotexFrm* operator->() { return window.get(); }
    TextEditor& Editor() { return window->Editor(); }
    QString Path(const QString& name) const { return folder.filePath(name); }
    // The last box shown, empty when none was.
    QString LastShown() const { return prompts->shown.empty() ? QString() : prompts->shown.back().text; }
    // Puts UTF-8 text in the editor at the caret as typing it would (so it is modified).
    void Type(const std::string& utf8)
    {
        for (char c : Utf8ToWindows1250(utf8))
            c == '\n' ? Editor().BreakParagraph() : Editor().TypeChar(c);
    }
};

inline std::string ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

inline void WriteFile(const QString& path, const std::string& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), qint64(bytes.size()));
}

inline QString SamplePath(const char* name) { return QStringLiteral(LEPOTEX_SAMPLES "/") + QLatin1String(name); }

}  // namespace lepotex::test
