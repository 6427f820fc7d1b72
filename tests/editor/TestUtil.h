#pragma once
// Helpers shared by the editor tests.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iconv.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FuzzEditorChecks.h"
#include "editor/TextEditor.h"

namespace lepotex::test {

namespace fs = std::filesystem;
using Paras = std::vector<std::string>;
using fuzz::Paragraphs;
using testing::StrEq;
using testing::ThrowsMessage;

// What the counters must be, computed from the text itself.
inline void ExpectCountsConsistent(const TextEditor& editor)
{
    int64_t bytes = 2 * (int64_t(editor.ParaCount()) - 1), lines = 0;
    for (int32_t p = 1; p <= editor.ParaCount(); ++p) {
        bytes += int64_t(editor.ParaText(p).size());
        ASSERT_EQ(editor.FirstLineOfPara(p), lines + 1) << "paragraph " << p;
        ASSERT_EQ(editor.ParaOfLine(int32_t(lines) + 1), p) << "paragraph " << p;
        lines += editor.ParaLineCount(p);
    }
    ASSERT_EQ(bytes, editor.ByteCount());
    ASSERT_EQ(lines, editor.LineCount());
}

// Undoes all the history holds and redoes it all again: every redo comes back to the text
// the undo before it left, and the counts stay in step throughout.
inline void ExpectUndoRedoSymmetric(TextEditor& editor)
{
    Paras texts{editor.Text()};
    while (editor.CanUndo()) {
        editor.Undo();
        ASSERT_NO_FATAL_FAILURE(ExpectCountsConsistent(editor));
        texts.push_back(editor.Text());
    }
    for (size_t i = texts.size() - 1; i > 0; --i) {
        ASSERT_TRUE(editor.CanRedo());
        editor.Redo();
        ASSERT_NO_FATAL_FAILURE(ExpectCountsConsistent(editor));
        ASSERT_TRUE(editor.Text() == texts[i - 1]) << "redo " << texts.size() - i;
    }
    EXPECT_FALSE(editor.CanRedo());
}

// The text converted by the C library's iconv, the reference for the encodings.
inline std::string Iconv(const std::string& text, const char* from, const char* to)
{
    iconv_t cd = iconv_open(to, from);
    EXPECT_NE(cd, iconv_t(-1)) << from << " -> " << to;
    std::string out(text.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* o = out.data();
    size_t outLeft = out.size();
    EXPECT_NE(iconv(cd, &in, &inLeft, &o, &outLeft), size_t(-1)) << from << " -> " << to;
    iconv_close(cd);
    out.resize(size_t(o - out.data()));
    return out;
}

inline std::string Repeated(std::string_view piece, std::size_t count)
{
    std::string text;
    text.reserve(piece.size() * count);
    while (count-- > 0)
        text += piece;
    return text;
}

inline std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
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
        fs::create_directories(fs::path(Path(name)).parent_path());
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
    fs::path folder;
};

}  // namespace lepotex::test
