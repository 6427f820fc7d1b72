#pragma once
// Helpers shared by the editor tests.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "editor/TextEditor.h"

namespace lepotex::test {

namespace fs = std::filesystem;
using Paras = std::vector<std::string>;
using testing::StrEq;
using testing::ThrowsMessage;

inline Paras Paragraphs(const TextEditor& editor)
{
    Paras out;
    for (int32_t p = 1; p <= editor.ParaCount(); ++p)
        out.emplace_back(editor.ParaText(p));
    return out;
}

// What the counters must be, computed from the text itself.
inline void ExpectCountsConsistent(const TextEditor& editor)
{
    int64_t bytes = 0;
    int64_t lines = 0;
    for (int32_t p = 1; p <= editor.ParaCount(); ++p) {
        bytes += int64_t(editor.ParaText(p).size());
        lines += editor.ParaLineCount(p);
    }
    bytes += 2 * (int64_t(editor.ParaCount()) - 1);
    if (bytes != editor.ByteCount() || lines != editor.LineCount())
        throw std::logic_error("counts out of step: bytes " + std::to_string(bytes) + " vs " +
                               std::to_string(editor.ByteCount()) + ", lines " + std::to_string(lines) + " vs " +
                               std::to_string(editor.LineCount()));
}

// Redoes all there is, undoes all the history holds, and redoes it all again: every redo
// comes back to the text the undo before it left, and the counts stay in step throughout.
inline void ExpectUndoRedoSymmetric(TextEditor& editor)
{
    while (editor.CanRedo())
        editor.Redo();
    Paras texts{editor.Text()};
    while (editor.CanUndo()) {
        editor.Undo();
        ASSERT_NO_THROW(ExpectCountsConsistent(editor));
        texts.push_back(editor.Text());
    }
    for (size_t i = texts.size() - 1; i > 0; --i) {
        ASSERT_TRUE(editor.CanRedo());
        editor.Redo();
        ASSERT_NO_THROW(ExpectCountsConsistent(editor));
        ASSERT_TRUE(editor.Text() == texts[i - 1]) << "redo " << texts.size() - i << " of " << texts.size() - 1;
    }
    EXPECT_FALSE(editor.CanRedo());
}

inline std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Saves in a child process after `prepare` (a file size limit standing in for a full disk,
// another user); true when the save failed there with exactly `message`.
inline bool SaveFailsInChild(TextEditor& editor, const std::string& path, const std::string& message,
                             const std::function<bool()>& prepare)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (!prepare())
            ::_exit(3);
        try {
            editor.SaveToFile(path);
        } catch (const EInOutError& e) {
            ::_exit(e.what() == message ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A folder of its own on every run, so that two runs on one machine cannot meet.
class FileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string name = (fs::temp_directory_path() / "lepotex-files-XXXXXX").string();
        ASSERT_NE(::mkdtemp(name.data()), nullptr);
        folder = name;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(folder, fs::perms::owner_all, ec);
        fs::remove_all(folder, ec);
    }
    std::string Path(const std::string& name) const { return (folder / name).string(); }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }
    // Loads the bytes into `editor` and returns what saving them writes.
    std::string LoadAndSave(TextEditor& editor, const std::string& bytes) const
    {
        editor.LoadFromFile(Write("in.txt", bytes));
        editor.SaveToFile(Path("out.txt"));
        return ReadFile(Path("out.txt"));
    }
    std::pair<Paras, std::string> RoundTrip(const std::string& bytes) const
    {
        TextEditor editor;
        std::string saved = LoadAndSave(editor, bytes);
        return {Paragraphs(editor), saved};
    }
    fs::path folder;
};

}  // namespace lepotex::test
