// lepotex-cli glue and lepotex-cli speech: the program's two repair commands on files, one or
// many at once, with the user's stored settings (read, never written) or the built-in ones.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>
#include <thread>

#include "cli/Commands.h"
#include "cli/FileIo.h"
#include "cli/Printable.h"
#include "editor/EditorErrors.h"
#include "editor/TextEditor.h"
#include "editor/Windows1250.h"
#include "engine/GlueCommands.h"
#include "settings/SettingsError.h"
#include "settings/SettingsPersistence.h"

namespace lepotex::cli {
namespace {

enum class Command { Glue, Speech };

const char* const kGlueUsage =
    "Použití: lepotex-cli glue [VOLBY] IN -o OUT\n"
    "        lepotex-cli glue [VOLBY] --in-place SOUBOR...\n"
    "        lepotex-cli glue [VOLBY] --output-dir SLOŽKA SOUBOR...\n"
    "Načte text jako program, slepí ho jako „Slepit“ a uloží ho jako program.\n"
    "\n"
    "  --defaults          vestavěná nastavení místo uložených\n"
    "  --no-caps           nelepit řádky psané jen velkými písmeny (NoCaps zapnuto)\n"
    "  --glue-caps         lepit i je (NoCaps vypnuto)\n"
    "  --no-indent         odstavce neodsazovat\n"
    "  --indent-size N     velikost odsazení, 0 až 255\n"
    "  --no-glue SOUBOR    seznam začátků řádek, které se nelepí, položka na řádek\n"
    "  --rules SOUBOR      seznam automatických náhrad, pravidlo na řádek\n"
    "                      (seznam nejvýše 64 MiB, ze souboru, ne ze zařízení)\n"
    "  -o, --output OUT    výsledek jednoho souboru; - je standardní výstup\n"
    "  --in-place          každý SOUBOR nahradí jeho výsledkem, až je celý hotový\n"
    "  --output-dir SLOŽKA výsledky uloží pod stejným jménem do SLOŽKY\n"
    "  -j N                kolik souborů zpracovat najednou (výchozí: počet jader)\n"
    "  -v, --verbose       vypisuje fáze lepení\n"
    "\n"
    "Nastavení se čtou z uložených nastavení uživatele a nikdy se nezapisují.\n"
    "Návratový kód: 0 hotovo, 1 chybné použití, 2 chyba souboru, 3 odmítnuto,\n"
    "4 chyba editoru. U více souborů platí nejzávažnější výsledek: 4 (chyba editoru)\n"
    "před 2 (chyba souboru), 2 před 3 (odmítnuto) a 3 před 0; souhrn na konci\n"
    "vypíše počet každého.\n";

const char* const kSpeechUsage =
    "Použití: lepotex-cli speech [VOLBY] IN -o OUT\n"
    "        lepotex-cli speech [VOLBY] --in-place SOUBOR...\n"
    "        lepotex-cli speech [VOLBY] --output-dir SLOŽKA SOUBOR...\n"
    "Načte text jako program, slepí přímou řeč rozdělenou do více odstavců jako\n"
    "„Slepit „přímou řeč““ a uloží ho jako program.\n"
    "\n"
    "  -o, --output OUT    výsledek jednoho souboru; - je standardní výstup\n"
    "  --in-place          každý SOUBOR nahradí jeho výsledkem, až je celý hotový\n"
    "  --output-dir SLOŽKA výsledky uloží pod stejným jménem do SLOŽKY\n"
    "  -j N                kolik souborů zpracovat najednou (výchozí: počet jader)\n"
    "  -v, --verbose       vypisuje fáze lepení\n"
    "\n"
    "Návratový kód: 0 hotovo, 1 chybné použití, 2 chyba souboru, 3 odmítnuto,\n"
    "4 chyba editoru. U více souborů platí nejzávažnější výsledek: 4 (chyba editoru)\n"
    "před 2 (chyba souboru), 2 před 3 (odmítnuto) a 3 před 0; souhrn na konci\n"
    "vypíše počet každého.\n";

struct Job {
    std::string in;
    std::string out;
};

struct Options {
    Command command = Command::Glue;
    bool defaults = false;
    std::optional<bool> noCaps;
    bool noIndent = false;
    std::optional<uint8_t> indentSize;
    std::optional<std::string> noGlueFile;
    std::optional<std::string> rulesFile;
    bool verbose = false;
    unsigned jobs = 0;  // 0: one per core
    std::vector<Job> files;
    bool batch = false;
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file that could not be read, written or found; the message names it.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

bool ParseCount(const std::string& text, unsigned maximum, unsigned& value)
{
    if (text.empty() || text.size() > 6 || !std::all_of(text.begin(), text.end(), [](char c) {
            return c >= '0' && c <= '9';
        }))
        return false;
    value = unsigned(std::stoul(text));
    return value <= maximum;
}

Options ParseOptions(Command command, const std::vector<std::string>& args)
{
    Options o;
    o.command = command;
    std::optional<std::string> output;
    std::optional<std::string> outputDir;
    bool inPlace = false;
    std::vector<std::string> inputs;
    auto value = [&](std::size_t& i) -> const std::string& {
        if (i + 1 >= args.size())
            throw UsageError("volba " + args[i] + " potřebuje hodnotu");
        return args[++i];
    };
    bool onlyFiles = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool glueOption = command == Command::Glue;
        if (onlyFiles || arg == "-" || arg.empty() || arg[0] != '-') {
            inputs.push_back(arg);
        } else if (arg == "--") {
            onlyFiles = true;
        } else if (arg == "-o" || arg == "--output") {
            output = value(i);
        } else if (arg == "--output-dir") {
            outputDir = value(i);
        } else if (arg == "--in-place") {
            inPlace = true;
        } else if (arg == "-j" || arg.starts_with("-j")) {
            const std::string count = arg == "-j" ? value(i) : arg.substr(2);
            if (!ParseCount(count, 1024, o.jobs) || o.jobs == 0)
                throw UsageError("-j potřebuje počet od 1 do 1024");
        } else if (arg == "-v" || arg == "--verbose") {
            o.verbose = true;
        } else if (glueOption && arg == "--defaults") {
            o.defaults = true;
        } else if (glueOption && arg == "--no-caps") {
            o.noCaps = true;
        } else if (glueOption && arg == "--glue-caps") {
            o.noCaps = false;
        } else if (glueOption && arg == "--no-indent") {
            o.noIndent = true;
        } else if (glueOption && arg == "--indent-size") {
            unsigned size = 0;
            if (!ParseCount(value(i), 255, size))
                throw UsageError("--indent-size potřebuje číslo od 0 do 255");
            o.indentSize = uint8_t(size);
        } else if (glueOption && arg == "--no-glue") {
            o.noGlueFile = value(i);
        } else if (glueOption && arg == "--rules") {
            o.rulesFile = value(i);
        } else {
            throw UsageError("neznámá volba „" + arg + "“");
        }
    }
    const int modes = int(output.has_value()) + int(outputDir.has_value()) + int(inPlace);
    if (modes != 1)
        throw UsageError("zadejte právě jedno z -o, --in-place a --output-dir");
    if (inputs.empty())
        throw UsageError("chybí vstupní soubor");
    if (output) {
        if (inputs.size() != 1)
            throw UsageError("-o patří k jednomu vstupnímu souboru");
        o.files.push_back({inputs[0], *output});
        return o;
    }
    o.batch = true;
    for (const std::string& in : inputs) {
        if (in == "-")
            throw UsageError("standardní vstup lze zpracovat jen s -o");
        std::string out = in;
        if (outputDir)
            out = (std::filesystem::path(*outputDir) / std::filesystem::path(in).filename()).string();
        o.files.push_back({in, out});
    }
    // Two books written to one file by parallel workers would leave one of them, by chance.
    std::vector<std::string> outputs;
    for (const Job& job : o.files) {
        std::error_code error;
        const std::filesystem::path canonical = std::filesystem::weakly_canonical(job.out, error);
        outputs.push_back(error ? job.out : canonical.string());
    }
    std::sort(outputs.begin(), outputs.end());
    if (const auto twice = std::adjacent_find(outputs.begin(), outputs.end()); twice != outputs.end())
        throw UsageError("dva soubory by se zapsaly do téhož souboru " + *twice);
    return o;
}

// A list is read whole into memory; more than this is no list of line beginnings or rules
// but a mistake, such as a device or a book given in its place.
constexpr std::size_t kMaxListBytes = std::size_t(64) << 20;

std::vector<std::string> ReadListFile(const std::string& name)
{
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw FileError(name + ": soubor nelze otevřít (" + FileErrorText(errno) + ")");
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        throw FileError(name + ": soubor nelze přečíst (" + FileErrorText(errno) + ")");
    if (S_ISDIR(info.st_mode))
        throw FileError(name + ": je to složka, ne soubor se seznamem");
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        throw FileError(name + ": je to zařízení, ne soubor se seznamem; čtení z něj nemusí nikdy skončit");
    std::string bytes;
    char block[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, block, sizeof block);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw FileError(name + ": soubor nelze přečíst (" + FileErrorText(errno) + ")");
        if (got == 0)
            break;
        if (bytes.size() + std::size_t(got) > kMaxListBytes)
            throw FileError(name + ": seznam je delší než 64 MiB; tolik se do paměti nečte, nejspíš to není seznam");
        bytes.append(block, std::size_t(got));
    }
    return TextToList(bytes);
}

Settings ChooseSettings(const Options& o)
{
    Settings settings;
    if (o.defaults) {
        settings = Settings::Defaults();
    } else {
        try {
            SettingsStore store;
            ReadSettings(settings, store);
        } catch (const ESettingsError& error) {
            throw FileError(std::string("nastavení nelze přečíst: ") + error.what());
        }
    }
    if (o.noCaps)
        settings.noCaps = *o.noCaps;
    if (o.noIndent)
        settings.indent = false;
    if (o.indentSize)
        settings.indentSize = *o.indentSize;
    if (o.noGlueFile)
        settings.noGlue = ReadListFile(*o.noGlueFile);
    if (o.rulesFile)
        settings.autoReplace = ReadListFile(*o.rulesFile);
    return settings;
}

// Writes the stages to a stream as they come, for --verbose; the rest of the window's
// display has no counterpart on a terminal.
class StreamReporter : public SilentReporter {
public:
    explicit StreamReporter(std::ostream& stream) : stream(stream) {}
    // A stage names the rule it applies, which comes from the user's file: escaped.
    void ShowStage(std::string_view text, Repaint) override { stream << Printable(text) << '\n'; }

private:
    std::ostream& stream;
};

// Loading or saving one file; a failure is told against the file's name.
template <typename Step>
bool FileStep(const std::string& name, std::ostream& messages, Step step)
{
    try {
        step();
        return true;
    } catch (const std::exception& error) {
        messages << name << ": " << error.what() << '\n';
        return false;
    }
}

// One file from load to save; the messages for it go to `messages`, each line naming it.
int ProcessFile(const Job& job, const Options& o, const Settings& settings, std::ostream& messages)
{
    TextEditor editor;
    // Loading and saving need no layout; word wrap goes on only where the refusal test of
    // the command counts display lines, for a text of a single paragraph.
    editor.SetWordWrap(false);
    if (!FileStep(job.in, messages, [&] { LoadInto(editor, job.in); }))
        return kExitFile;
    ReportLoadLosses(editor, job.in, messages);
    if (editor.ParaCount() < 2)
        editor.SetWordWrap(true);
    else
        editor.SetWrapColumn(TextEditor::kNoWrapWidth);  // the command's closing re-wrap costs nothing
    std::ostringstream stages;
    SilentReporter silent;
    StreamReporter verbose(stages);
    ProgressReporter& reporter = o.verbose ? static_cast<ProgressReporter&>(verbose) : silent;
    GlueResult result;
    try {
        result = o.command == Command::Glue ? SlepitExecute(editor, settings, reporter)
                                            : actPrimaRecExecute(editor, reporter);
    } catch (const std::exception& error) {
        messages << stages.str() << job.in << ": " << error.what() << '\n';
        return kExitEditor;
    }
    messages << stages.str();
    if (result.outcome == GlueOutcome::Refused) {
        messages << job.in << ": " << Windows1250ToUtf8(result.message) << '\n';
        return kExitRefused;
    }
    // The result is laid out for the window; a file needs none of it.
    editor.SetWordWrap(false);
    if (!FileStep(job.out, messages, [&] { SaveFrom(editor, job.out); }))
        return kExitFile;
    if (o.verbose)
        messages << job.in << ": " << Windows1250ToUtf8(result.message) << '\n';
    return kExitOk;
}

// Which status a batch of mixed outcomes ends with: an editor error (which may be the
// program's own fault) before a file error, a file error (the disk, a missing or unreadable
// book) before a refusal (a book with nothing to glue, left as it was), any of them before
// success.
int Gravity(int status)
{
    switch (status) {
    case kExitEditor: return 3;
    case kExitFile: return 2;
    case kExitRefused: return 1;
    default: return 0;
    }
}

int RunBatch(const Options& o, const Settings& settings, std::ostream& err)
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const unsigned workers = std::min<std::size_t>(o.jobs ? o.jobs : cores, o.files.size());
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    std::mutex errMutex;
    std::atomic<std::size_t> next{0};
    std::size_t finished = 0;
    std::vector<int> statuses(o.files.size(), kExitOk);
    auto work = [&] {
        for (std::size_t i; (i = next++) < o.files.size();) {
            std::ostringstream messages;
            statuses[i] = ProcessFile(o.files[i], o, settings, messages);
            std::lock_guard lock(errMutex);
            ++finished;
            if (terminal)
                err << "\r\x1b[K";
            err << messages.str();
            if (terminal)
                err << '[' << finished << '/' << o.files.size() << "] " << o.files[i].in << std::flush;
        }
    };
    std::vector<std::thread> threads;
    for (unsigned t = 1; t < workers; ++t)
        threads.emplace_back(work);
    work();
    for (std::thread& thread : threads)
        thread.join();
    if (terminal)
        err << "\r\x1b[K";
    const auto count = [&](int status) { return std::count(statuses.begin(), statuses.end(), status); };
    err << "Hotovo: " << count(kExitOk) << " slepeno, " << count(kExitRefused) << " odmítnuto, "
        << count(kExitFile) << " chyb souboru, " << count(kExitEditor) << " chyb editoru (z "
        << o.files.size() << ").\n";
    return *std::max_element(statuses.begin(), statuses.end(),
                             [](int a, int b) { return Gravity(a) < Gravity(b); });
}

int Run(Command command, const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const char* usage = command == Command::Glue ? kGlueUsage : kSpeechUsage;
    const char* name = command == Command::Glue ? "glue" : "speech";
    if (std::find_if(args.begin(), args.end(), [](const std::string& a) { return a == "--help" || a == "-h"; }) !=
        args.end()) {
        out << usage;
        return kExitOk;
    }
    Options options;
    try {
        options = ParseOptions(command, args);
    } catch (const UsageError& error) {
        err << "lepotex-cli " << name << ": " << error.what() << "\n\n" << usage;
        return kExitUsage;
    }
    Settings settings;
    try {
        if (command == Command::Glue)
            settings = ChooseSettings(options);
    } catch (const FileError& error) {
        err << "lepotex-cli " << name << ": " << error.what() << '\n';
        return kExitFile;
    }
    if (options.batch)
        return RunBatch(options, settings, err);
    std::ostringstream messages;
    const int status = ProcessFile(options.files[0], options, settings, messages);
    err << messages.str();
    return status;
}

}  // namespace

int RunGlue(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    return Run(Command::Glue, args, out, err);
}

int RunSpeech(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    return Run(Command::Speech, args, out, err);
}

}  // namespace lepotex::cli
