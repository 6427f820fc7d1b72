#pragma once
// What the window tests share: a window whose message boxes and file dialogs answer from a
// script, a private settings folder, and the sample books.
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QString>
#include <QTemporaryDir>

#include "app/LepotexMain.h"
#include "app/MessageBoxes.h"

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
    std::deque<QString> openNames;
    std::deque<QString> saveNames;
    std::deque<FileFormat> saveFormats;  // the choice the user makes, when one is scripted
    FileFormat offeredFormat;            // what the save dialog was opened with
    std::vector<Shown> shown;
    int openDialogs = 0;
    int saveDialogs = 0;

    Answer Confirm(QWidget*, const QString& text) override;
    void Inform(QWidget*, const QString& text) override { shown.push_back({Shown::Inform, text}); }
    void Plain(QWidget*, const QString& text) override { shown.push_back({Shown::Plain, text}); }
    QString OpenFileName(QWidget*) override { return Next(openNames, openDialogs); }
    QString SaveFileName(QWidget*, FileFormat& format) override;

private:
    static QString Next(std::deque<QString>& names, int& dialogs);
};

// A main window over a settings folder of its own, with scripted prompts.
struct TestWindow {
    // `prepare` runs on the test's folder before the window starts.
    explicit TestWindow(const std::function<void(const QTemporaryDir&)>& prepare = {});
    ~TestWindow();
    QTemporaryDir folder;
    std::unique_ptr<TLepotexFrm> window;
    ScriptedPrompts* prompts = nullptr;

    TLepotexFrm* operator->() { return window.get(); }
    TextEditor& Editor() { return window->Editor(); }
    QString Path(const QString& name) const { return folder.filePath(name); }
    // Puts UTF-8 text in the editor at the caret as typing it would (so it is modified).
    void Type(const std::string& utf8);
    // The last box shown, empty when none was.
    QString LastShown() const { return prompts->shown.empty() ? QString() : prompts->shown.back().text; }
};

std::string ReadFile(const QString& path);
void WriteFile(const QString& path, const std::string& bytes);
QString SamplePath(const char* name);

}  // namespace lepotex::test
