#include "AppTestSupport.h"

#include <QApplication>
#include <QFile>
#include <gtest/gtest.h>

#include "../QtApplicationEnvironment.h"
#include "editor/TextEditor.h"
#include "editor/Windows1250.h"

namespace lepotex::test {

Answer ScriptedPrompts::Confirm(QWidget*, const QString& text)
{
    shown.push_back({Shown::Confirm, text});
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return Answer::Cancel;
    }
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

QString ScriptedPrompts::Next(std::deque<QString>& names, int& dialogs)
{
    ++dialogs;
    if (names.empty()) {
        ADD_FAILURE() << "unexpected file dialog";
        return {};
    }
    QString name = names.front();
    names.pop_front();
    return name;
}

QString ScriptedPrompts::SaveFileName(QWidget*, FileFormat& format)
{
    offeredFormat = format;
    if (!saveFormats.empty()) {
        format = saveFormats.front();
        saveFormats.pop_front();
    }
    return Next(saveNames, saveDialogs);
}

TestWindow::TestWindow(const std::function<void(const QTemporaryDir&)>& prepare)
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

TestWindow::~TestWindow()
{
    window->Editor().SetModified(false);  // no question on the way out
    window.reset();
}

void TestWindow::Type(const std::string& utf8)
{
    for (char c : Utf8ToWindows1250(utf8)) {
        if (c == '\n')
            window->Editor().BreakParagraph();
        else
            window->Editor().TypeChar(c);
    }
}

std::string ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

void WriteFile(const QString& path, const std::string& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), qint64(bytes.size()));
}

QString SamplePath(const char* name) { return QStringLiteral(LEPOTEX_SAMPLES "/") + QLatin1String(name); }

}  // namespace lepotex::test
