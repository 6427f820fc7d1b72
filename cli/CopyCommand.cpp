#include <ostream>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/FileIo.h"
#include "editor/EditorErrors.h"
#include "editor/TextEditor.h"
#include "version/Version.h"

namespace lepotex::cli {

namespace {

const std::vector<OptionSpec> kCopyOptions = {
    {{"o", "output"}, "OUT", "kam uložit; - je standardní výstup (výchozí)"},
};

std::string CopyUsage()
{
    return "Použití: lepotex-cli copy IN [-o OUT]\n"
           "Načte IN, jako by ho otevřel program, a uloží ho do OUT, jako by ho program uložil:\n"
           "konce řádek CR LF, tabulátory a znaky 0x01 až 0x09 jako mezery, bez mezer na konci řádek.\n"
           "Místo IN nebo OUT lze napsat -, tedy standardní vstup nebo výstup.\n"
           "\n" +
           OptionsHelp(kCopyOptions);
}

}  // namespace

int RunCopy(const std::vector<std::string>& argList, std::ostream& out, std::ostream& err)
{
    std::string in;
    std::string output;
    try {
        const Arguments args(argList, kCopyOptions);
        if (args.Help()) {
            out << CopyUsage();
            return kExitOk;
        }
        if (args.Version()) {
            out << VersionLine("lepotex-cli") << '\n';
            return kExitOk;
        }
        if (args.Positional().empty())
            throw UsageError("chybí vstupní soubor");
        if (args.Positional().size() > 1)
            throw UsageError("copy kopíruje jeden soubor, zadáno je " + std::to_string(args.Positional().size()));
        in = args.Positional().front();
        output = args.Value("output").value_or("-");
        if (in.empty() || output.empty())
            throw UsageError("prázdné jméno souboru");
    } catch (const UsageError& error) {
        err << "lepotex-cli copy: " << error.what() << '\n' << TryHelpLine("copy");
        return kExitUsage;
    }
    TextEditor editor;
    editor.SetWordWrap(false);  // layout is of no use here, and costs time on a large book
    try {
        LoadInto(editor, in);
    } catch (const std::exception& error) {
        err << in << ": " << LoadFailureText(in, error) << '\n';
        return kExitFile;
    }
    ReportLoadLosses(editor, in, err);
    try {
        SaveFrom(editor, output);
    } catch (const std::exception& error) {
        err << output << ": " << SaveFailureText(output, error) << '\n';
        return kExitFile;
    }
    return kExitOk;
}

}  // namespace lepotex::cli
