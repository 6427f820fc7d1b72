// The batch tool against hostile names, other programs writing the books meanwhile, torn
// saves and signals: nothing reaches the terminal raw, and nothing is written over unasked.
#include "CliFixture.h"

namespace lepotex::clitest {
namespace {

using SafetyCli = CliTest;

TEST_F(SafetyCli, FileNamesAreEscapedInEveryMessage)
{
    // A name that would set the title, and forge a summary line of its own.
    const std::string raw = "a\x1b]0;title\x07\nHotovo\xff.txt";
    const std::string shown = "a\\x1B]0;title\\x07\\x0AHotovo\\xFF.txt";
    Write(raw, "x\r\ny\r\n");
    Write("rules.txt", std::string("\xff\xfe", 2) + "?");
    const std::string name = "\"$N\"";
    const std::string lines[] = {
        "copy " + name + "x -o out.txt",                    // a load error
        "copy in.txt -o " + name + "/x",                    // a save error naming the folder
        "glue --defaults -v " + name + " -o " + name + "x",  // -v lines
        "glue --defaults -v --in-place " + name + " nic.txt",  // a batch's lines
        "glue --defaults --output-dir " + name + " in.txt",  // the folder of the output
        "glue --defaults -v --rules " + name + " in.txt",     // a list
        "glue --defaults --encoding " + name + " in.txt",     // a usage error
        "glue --defaults --" + name,
        name,  // an unknown command
    };
    Write("in.txt", "a\r\nb\r\n");
    for (const std::string& line : lines) {
        const CliRun run = Run("N=$'a\\e]0;title\\a\\nHotovo\\xff.txt'\n\"$CLI\" " + line);
        EXPECT_NE(run.err.find(shown), std::string::npos) << line << "\n" << run.err;
        EXPECT_EQ(run.err.find_first_of(std::string("\x1b\x07\xff", 3)), std::string::npos) << line << "\n" << run.err;
    }
    // The progress line on a terminal.
    const CliRun terminal = Run("export N=$'a\\e]0;title\\a\\nHotovo\\xff.txt'\nscript -qec '\"$CLI\" glue --defaults --in-place \"$N\"' /dev/null");
    EXPECT_NE(terminal.out.find("[1/1] " + shown), std::string::npos) << terminal.out;
    EXPECT_EQ(terminal.out.find_first_of(std::string("\x07\xff", 2)), std::string::npos) << terminal.out;
}

// Between its load and its save another program may write the book: the save would undo
// that. A book beside which a killed save left its old text may be half written.
TEST_F(SafetyCli, ABookChangedMeanwhileOrTornByAKilledSaveIsLeftAsItIs)
{
    // Large enough that its save is still being written when the other program strikes.
    const std::string book = "Řádek knihy, který končí větou.\n";
    const std::string strike[] = {"echo 'připsáno' >>book.txt", "rm book.txt"};
    for (const std::string& change : strike) {
        Run("yes 'Řádek knihy, který končí větou.' | head -n 600000 >book.txt");
        const CliRun run = Run("\"$CLI\" glue --defaults --in-place book.txt & p=$!\n"
                               "until [ -e .book.txt.lepotex~1 ] || ! kill -0 $p 2>/dev/null; do :; done\n"
                               "kill -STOP $p; " + change + "; kill -CONT $p; wait $p");
        EXPECT_EQ(run.status, 2) << change << run.err;
        EXPECT_NE(run.err.find("book.txt: soubor se od načtení změnil"), std::string::npos) << run.err;
        if (change.starts_with("rm"))
            EXPECT_FALSE(fs::exists(dir / "book.txt")) << "not made again";
        else
            EXPECT_TRUE(File("book.txt").ends_with(book + "připsáno\n"));
        EXPECT_FALSE(fs::exists(dir / ".book.txt.lepotex~1"));
    }

    Write("torn.txt", "Napůl zap");
    fs::create_hard_link(dir / "torn.txt", dir / "other.txt");
    Write(".torn.txt.lepotex-old~1", "Starý text\r\n");
    for (const std::string args : {"glue --defaults --in-place torn.txt", "copy in.txt -o torn.txt"}) {
        Write("in.txt", "a\r\n");
        const std::string summary = "Hotovo (souborů 1): slepeno 0, odmítnuto 0, chyby souboru 1, chyby editoru 0.\n";
        ExpectFailure(args, 2,
                      "torn.txt: vedle leží kopie starého textu („./.torn.txt.lepotex-old~1“), kterou zanechalo "
                      "přerušené ukládání; soubor může být zapsaný jen zčásti, proto zůstává beze změny. "
                      "Zkontrolujte ho, a kopii buď vraťte na jeho místo, nebo smažte.\n" +
                          (args.starts_with("glue") ? summary : ""));
        EXPECT_EQ(File("torn.txt"), "Napůl zap");
    }
}

TEST_F(SafetyCli, ASignalWhileStandardInputIsReadLeavesNoSpool)
{
    fs::create_directories(dir / "spool");
    const CliRun run = Run("{ printf 'a\\r\\n'; sleep 3; } | TMPDIR=\"$PWD/spool\" \"$CLI\" copy - -o out.txt & p=$!\n"
                           "until [ -n \"$(ls spool)\" ]; do sleep 0.01; done\n"
                           "kill -TERM $p; wait $p; echo $?; ls spool");
    EXPECT_EQ(run.out, std::to_string(128 + SIGTERM) + "\n");
    EXPECT_FALSE(fs::exists(dir / "out.txt"));
}

}  // namespace
}  // namespace lepotex::clitest
