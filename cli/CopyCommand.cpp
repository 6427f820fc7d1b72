#include <optional>
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
    "Použití: lepotex-cli copy IN -o OUT [--encoding KÓD] [--output-encoding KÓD] [-v]\n"
    "Načte IN, jako by ho otevřel program, a uloží ho do OUT, jako by ho program uložil:\n"
    "v kódování a s konci řádek vstupu, tabulátory a znaky 0x01 až 0x09 jako mezery,\n"
    "bez mezer na konci řádek.\n"
    "Místo IN nebo OUT lze napsat -, tedy standardní vstup nebo výstup.\n"
    "  --encoding KÓD         auto (výchozí), cp1250, utf-8, utf-16, iso-8859-2, cp852\n"
    "  --output-encoding KÓD  same (výchozí) nebo cp1250, utf-8, utf-8-bom, utf-16,\n"
    "                         iso-8859-2, cp852\n"
    "  -v, --verbose          vypíše kódování vstupu\n";

}  // namespace

int RunCopy(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::string in;
    std::string output;
    bool haveIn = false;
    bool haveOut = false;
    bool verbose = false;
    std::optional<TextEncoding> encoding;
    std::optional<TextEncoding> outputEncoding;
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
        } else if ((arg == "--encoding" || arg == "--output-encoding") && i + 1 < args.size()) {
            const std::string& name = args[++i];
            const bool out = arg == "--output-encoding";
            if (name != (out ? "same" : "auto")) {
                const auto parsed = ParseEncoding(name);
                if (!parsed) {
                    err << "lepotex-cli copy: neznámé kódování „" << name << "“\n\n" << kCopyUsage;
                    return kExitUsage;
                }
                (out ? outputEncoding : encoding) = parsed;
            }
        } else if (arg == "-v" || arg == "--verbose") {
            verbose = true;
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
        LoadInto(editor, in, encoding);
    } catch (const std::exception& error) {
        err << in << ": " << error.what() << '\n';
        return kExitFile;
    }
    if (verbose)
        err << in << ": " << DescribeFormat(editor.LastLoadReport().format) << '\n';
    ReportLoadLosses(editor, in, err);
    if (outputEncoding)
        editor.SetFileFormat({*outputEncoding, editor.GetFileFormat().lineEnd});
    try {
        SaveFrom(editor, output);
    } catch (const std::exception& error) {
        err << output << ": " << error.what() << '\n';
        return kExitFile;
    }
    ReportSaveReplacements(editor, output, err);
    return kExitOk;
}

}  // namespace lepotex::cli
