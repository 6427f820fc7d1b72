#include <ostream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/FileIo.h"
#include "editor/EditorErrors.h"
#include "editor/TextEditor.h"

namespace lepotex::cli {

namespace {

const char* const kCopyUsage =
    "Použití: lepotex-cli copy IN -o OUT\n"
    "Načte IN, jako by ho otevřel program, a uloží ho do OUT, jako by ho program uložil:\n"
    "konce řádek CR LF, tabulátory a znaky 0x01 až 0x09 jako mezery, bez mezer na konci řádek.\n"
    "Místo IN nebo OUT lze napsat -, tedy standardní vstup nebo výstup.\n";

}  // namespace

int RunCopy(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::string in;
    std::string output;
    bool haveIn = false;
    bool haveOut = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            out << kCopyUsage;
            return kExitOk;
        }
        if (arg == "-o" || arg == "--output") {
            if (i + 1 >= args.size() || haveOut) {
                err << kCopyUsage;
                return kExitUsage;
            }
            output = args[++i];
            haveOut = true;
        } else if (!haveIn && (arg == "-" || arg.empty() || arg[0] != '-')) {
            in = arg;
            haveIn = true;
        } else {
            err << kCopyUsage;
            return kExitUsage;
        }
    }
    if (!haveIn || !haveOut || in.empty() || output.empty()) {
        err << kCopyUsage;
        return kExitUsage;
    }
    TextEditor editor;
    editor.SetWordWrap(false);  // layout is of no use here, and costs time on a large book
    try {
        LoadInto(editor, in);
    } catch (const std::exception& error) {
        err << in << ": " << error.what() << '\n';
        return kExitFile;
    }
    ReportLoadLosses(editor, in, err);
    try {
        SaveFrom(editor, output);
    } catch (const std::exception& error) {
        err << output << ": " << error.what() << '\n';
        return kExitFile;
    }
    return kExitOk;
}

}  // namespace lepotex::cli
