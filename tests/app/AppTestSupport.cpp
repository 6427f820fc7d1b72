#include "AppTestSupport.h"

#include <fstream>
#include <sstream>

#include <QApplication>
#include <gtest/gtest.h>

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

QString ScriptedPrompts::OpenFileName(QWidget*)
{
    ++openDialogs;
    if (openNames.empty()) {
        ADD_FAILURE() << "unexpected open dialog";
        return {};
    }
    QString name = openNames.front();
    openNames.pop_front();
    return name;
}

QString ScriptedPrompts::SaveFileName(QWidget*)
{
    ++saveDialogs;
    if (saveNames.empty()) {
        ADD_FAILURE() << "unexpected save dialog";
        return {};
    }
    QString name = saveNames.front();
    saveNames.pop_front();
    return name;
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
    std::ifstream in(path.toLocal8Bit().toStdString(), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const QString& path, const std::string& bytes)
{
    std::ofstream out(path.toLocal8Bit().toStdString(), std::ios::binary);
    out << bytes;
}

QString SamplePath(const char* name) { return QStringLiteral(LEPOTEX_SAMPLES "/") + QLatin1String(name); }

std::string Sample(const char* name) { return ReadFile(SamplePath(name)); }

}  // namespace lepotex::test

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
