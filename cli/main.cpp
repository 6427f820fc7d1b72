// lepotex-cli: the batch tool over the same editor core and engine as the window.
#include <iostream>
#include <string>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/FileIo.h"
#include "cli/Printable.h"
#include "version/Version.h"

namespace {

const char* const kUsage =
    "Použití: lepotex-cli PŘÍKAZ [VOLBY]\n"
    "\n"
    "Příkazy:\n"
    "  copy IN [-o OUT]     načte IN jako program a uloží OUT jako program\n"
    "  glue ...             slepí rozlámaný text (lepotex-cli glue --help)\n"
    "  speech ...           slepí přímou řeč (lepotex-cli speech --help)\n"
    "  settings [--defaults] vypíše uložená (nebo výchozí) nastavení\n"
    "\n"
    "Místo IN nebo OUT lze napsat -, tedy standardní vstup nebo výstup.\n"
    "Návratový kód: 0 hotovo, 1 chybné použití, 2 chyba souboru,\n"
    "3 odmítnuto, 4 chyba editoru. U více souborů platí nejzávažnější výsledek:\n"
    "4 před 2, 2 před 3 a 3 před 0.\n"
    "\n"
    "  -h, --help           ukáže tento text\n"
    "  --version            vypíše verzi programu\n";

}  // namespace

int main(int argc, char** argv)
{
    using namespace lepotex::cli;
    KeepStandardStreamsOpen();
#ifdef __GLIBC__
    // The glue's passes make and free arrays of up to some MiB one after the other. malloc
    // would map the larger ones afresh and give them back when freed, and on the virtual
    // machines we run on a fresh page costs more than the work done on it: the memory freed
    // is kept for the next array instead. (Arrays with an element per line of a long book have
    // huge pages of their own, AllocateLarge, which go back at once.)
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << "lepotex-cli: chybí příkaz\n" << TryHelpLine("");
        return kExitUsage;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    try {
        if (command == "--help" || command == "-h" || command == "help") {
            std::cout << kUsage;
            return kExitOk;
        }
        if (command == "--version") {
            std::cout << lepotex::VersionLine("lepotex-cli") << '\n';
            return kExitOk;
        }
        if (command == "copy")
            return RunCopy(args, std::cout, std::cerr);
        if (command == "settings")
            return RunSettings(args, std::cout, std::cerr);
        if (command == "glue")
            return RunGlue(args, std::cout, std::cerr);
        if (command == "speech")
            return RunSpeech(args, std::cout, std::cerr);
    } catch (const std::exception& error) {
        std::cerr << "lepotex-cli: " << EditorFailureText(error) << '\n';
        return kExitEditor;
    }
    std::cerr << "lepotex-cli: neznámý příkaz „" << PrintableName(command) << "“\n" << TryHelpLine("");
    return kExitUsage;
}
