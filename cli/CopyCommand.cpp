#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/FileIo.h"
#include "cli/Printable.h"
#include "editor/EditorErrors.h"
#include "editor/TextEditor.h"
#include "version/Version.h"

namespace lepotex::cli {

namespace {

const std::vector<OptionSpec> kCopyOptions = {
    {{"o", "output"}, "OUT", "kam uložit; - je standardní výstup (výchozí)"},
    {{"encoding"}, "KÓD", "kódování IN: auto (výchozí), cp1250, utf-8, utf-16,\niso-8859-2, cp852"},
    {{"output-encoding"}, "KÓD",
     "kódování OUT: same (výchozí: jako IN), cp1250, utf-8,\nutf-8-bom, utf-16, iso-8859-2, cp852"},
    {{"v", "verbose"}, "", "vypíše kódování a konce řádků IN"},
};

// The value of --encoding (auto) or --output-encoding (same); nullopt for those.
std::optional<TextEncoding> EncodingValue(const Arguments& args, const std::string& option, const char* keep)
{
    const auto name = args.Value(option);
    if (!name || *name == keep)
        return std::nullopt;
    if (const auto encoding = ParseEncoding(*name))
        return encoding;
    throw UsageError("neznámé kódování „" + *name + "“");
}

std::string CopyUsage()
{
    return "Použití: lepotex-cli copy IN [-o OUT]\n"
           "Načte IN, jako by ho otevřel program, a uloží ho do OUT, jako by ho program uložil:\n"
           "v kódování a s konci řádek IN, tabulátory a znaky 0x01 až 0x09 jako mezery,\n"
           "bez mezer na konci řádek.\n"
           "Místo IN nebo OUT lze napsat -, tedy standardní vstup nebo výstup.\n"
           "\n" +
           OptionsHelp(kCopyOptions);
}

}  // namespace

int RunCopy(const std::vector<std::string>& argList, std::ostream& out, std::ostream& err)
{
    std::string in;
    std::string output;
    std::optional<TextEncoding> encoding;
    std::optional<TextEncoding> outputEncoding;
    bool verbose = false;
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
        encoding = EncodingValue(args, "encoding", "auto");
        outputEncoding = EncodingValue(args, "output-encoding", "same");
        verbose = args.Has("verbose");
        if (in.empty() || output.empty())
            throw UsageError("prázdné jméno souboru");
    } catch (const UsageError& error) {
        err << "lepotex-cli copy: " << PrintableName(error.what()) << '\n' << TryHelpLine("copy");
        return kExitUsage;
    }
    const OldOutputRelease release(output, in);
    TextEditor editor;
    editor.SetWordWrap(false);  // layout is of no use here, and costs time on a large book
    try {
        LoadInto(editor, in, encoding);
    } catch (const std::exception& error) {
        err << PrintableName(in) << ": " << LoadFailureText(in, error) << '\n';
        return kExitFile;
    }
    if (verbose)
        err << PrintableName(in) << ": " << DescribeFormat(editor.LastLoadReport().format) << '\n';
    ReportLoadLosses(editor, in, err);
    if (outputEncoding)
        editor.SetFileFormat({*outputEncoding, editor.GetFileFormat().lineEnd});
    try {
        SaveFrom(editor, output);
    } catch (const std::exception& error) {
        err << PrintableName(output) << ": " << SaveFailureText(output, error) << '\n';
        return kExitFile;
    }
    ReportSaveReplacements(editor, output, err);
    return kExitOk;
}

}  // namespace lepotex::cli
