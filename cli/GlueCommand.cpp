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

#include "cli/Arguments.h"
#include "cli/ChangesFile.h"
#include "cli/Commands.h"
#include "cli/FileIo.h"
#include "cli/Printable.h"
#include "editor/EditorErrors.h"
#include "editor/TextBlock.h"
#include "editor/TextEditor.h"
#include "editor/Windows1250.h"
#include "engine/EngineMessages.h"
#include "engine/GlueCommands.h"
#include "settings/SettingsError.h"
#include "settings/SettingsPersistence.h"
#include "version/Version.h"

namespace lepotex::cli {
namespace {

enum class Command { Glue, Speech };

// The options of each command, one row each: the parser and the --help text are made from
// these tables. Speech has only the rows for where results go and how files are read, which
// glue shares after its own.
const std::vector<OptionSpec> kSpeechOptions = {
    {{"o", "output"}, "OUT", "výsledek jednoho souboru; - je standardní výstup (výchozí)"},
    {{"in-place"}, "", "každý SOUBOR nahradí jeho výsledkem, až je celý hotový"},
    {{"output-dir"}, "SLOŽKA", "výsledky uloží pod stejným jménem do SLOŽKY, která\nexistuje a není složkou žádného SOUBORU"},
    {{"j"}, "N", "kolik souborů zpracovat najednou (výchozí: počet jader)"},
    {{"encoding"}, "KÓD",
     "kódování vstupů a seznamů: auto (výchozí: pozná se z obsahu),\n"
     "cp1250, utf-8, utf-16, iso-8859-2, cp852"},
    {{"output-encoding"}, "KÓD",
     "kódování výsledků: same (výchozí: jako vstup), cp1250,\n"
     "utf-8, utf-8-bom, utf-16, iso-8859-2, cp852"},
    {{"v", "verbose"}, "", "vypisuje kódování každého souboru, fáze lepení a počty změn"},
    {{"changes"}, "SOUBOR",
     "zapíše každé rozhodnutí lepení jako řádek TSV v UTF-8 (druh,\n"
     "odstavec, sloupec, starý text, nový text, důvod, ? u sporných)"},
};

const std::vector<OptionSpec> kGlueOptions = [] {
    std::vector<OptionSpec> options = {
        {{"defaults"}, "", "vestavěná nastavení místo uložených"},
        {{"no-caps"}, "", "nelepit řádky psané jen velkými písmeny (NoCaps zapnuto)"},
        {{"glue-caps"}, "", "lepit i je (NoCaps vypnuto)"},
        {{"no-indent"}, "", "odstavce neodsazovat"},
        {{"indent-size"}, "N",
         "odsazení odstavců, 0 až 255: N − 1 mezer pro N od 1 do 14,\n"
         "14 mezer pro 0 a pro N nad 14 (výchozí 4, tedy 3 mezery)"},
        {{"no-glue"}, "SOUBOR", "seznam začátků řádek, které se nelepí, položka na řádek"},
        {{"rules"}, "SOUBOR",
         "seznam automatických náhrad, pravidlo na řádek\n"
         "(seznam nejvýše 64 MiB, ze souboru, ne ze zařízení;\n/dev/null je prázdný seznam)"},
        {{"smart"}, "", "lepit chytře: podle šířky řádek, značení odstavců,\n"
                        "záhlaví a čísel stránek a českého dělení slov"},
        {{"no-smart"}, "", "lepit jen podle sousedních řádek (Smart vypnuto)"},
    };
    options.insert(options.end(), kSpeechOptions.begin(), kSpeechOptions.end());
    return options;
}();

const char* const kEncodingHelp =
    "Soubor v jiném kódování než Windows-1250 se převede a uloží zpět ve svém kódování\n"
    "a se svými konci řádků. Znaky, které Windows-1250 nemá, se stanou otazníky; takový\n"
    "soubor --in-place odmítne (návratový kód 3, soubor zůstane beze změny), -o\n"
    "a --output-dir ho zapíšou s upozorněním.\n";

const char* const kStatusHelp =
    "Návratový kód: 0 hotovo, 1 chybné použití, 2 chyba souboru, 3 odmítnuto,\n"
    "4 chyba editoru. U více souborů platí nejzávažnější výsledek: 4 (chyba editoru)\n"
    "před 2 (chyba souboru), 2 před 3 (odmítnuto) a 3 před 0; souhrn na konci\n"
    "vypíše počet každého.\n";

std::string Usage(Command command)
{
    if (command == Command::Glue)
        return "Použití: lepotex-cli glue [VOLBY] IN [-o OUT]\n"
               "        lepotex-cli glue [VOLBY] --in-place SOUBOR...\n"
               "        lepotex-cli glue [VOLBY] --output-dir SLOŽKA SOUBOR...\n"
               "Načte text jako program, slepí ho jako „Slepit“ a uloží ho jako program;\n"
               "bez -o ho vypíše na standardní výstup.\n"
               "\n" +
               OptionsHelp(kGlueOptions) +
               "\n"
               "Nastavení se čtou z uložených nastavení uživatele a nikdy se nezapisují.\n" +
               kEncodingHelp + kStatusHelp;
    return "Použití: lepotex-cli speech [VOLBY] IN [-o OUT]\n"
           "        lepotex-cli speech [VOLBY] --in-place SOUBOR...\n"
           "        lepotex-cli speech [VOLBY] --output-dir SLOŽKA SOUBOR...\n"
           "Načte text jako program, slepí přímou řeč rozdělenou do více odstavců jako\n"
           "„Slepit „přímou řeč““ a uloží ho jako program; bez -o ho vypíše na standardní\n"
           "výstup.\n"
           "\n" +
           OptionsHelp(kSpeechOptions) + "\n" + kEncodingHelp + kStatusHelp;
}

struct Job {
    std::string in;
    std::string out;
};

struct Options {
    Command command = Command::Glue;
    bool defaults = false;
    std::optional<bool> noCaps;
    std::optional<bool> smart;
    bool noIndent = false;
    std::optional<uint8_t> indentSize;
    std::optional<std::string> noGlueFile;
    std::optional<std::string> rulesFile;
    bool verbose = false;
    std::optional<std::string> changesFile;
    std::optional<TextEncoding> encoding;        // of the inputs; found from the bytes when not given
    std::optional<TextEncoding> outputEncoding;  // of the outputs; the input's when not given
    bool inPlace = false;
    unsigned jobs = 0;  // 0: one per core
    std::vector<Job> files;
    std::optional<std::string> outputDir;
    bool batch = false;
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

// Whether two paths name one folder; a folder that does not exist is no input's folder.
bool SameFolder(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code error;
    return std::filesystem::equivalent(a.empty() ? "." : a, b.empty() ? "." : b, error) && !error;
}

// --encoding auto|NAME and --output-encoding same|NAME; nullopt for auto and same.
std::optional<TextEncoding> ParseEncodingOption(const std::string& option, const std::string& text, bool output)
{
    if (text == (output ? "same" : "auto"))
        return std::nullopt;
    if (const auto encoding = ParseEncoding(text))
        return encoding;
    throw UsageError(option + " zná " + (output ? "same" : "auto") +
                     ", cp1250, utf-8, utf-8-bom, utf-16, utf-16be, iso-8859-2 a cp852, ne „" + text + "“");
}

Options ParseOptions(Command command, const Arguments& args)
{
    Options o;
    o.command = command;
    if (const auto count = args.Value("j")) {
        if (!ParseCount(*count, 1024, o.jobs) || o.jobs == 0)
            throw UsageError("-j potřebuje počet od 1 do 1024");
    }
    o.verbose = args.Has("verbose");
    o.changesFile = args.Value("changes");
    if (const auto name = args.Value("encoding"))
        o.encoding = ParseEncodingOption("--encoding", *name, false);
    if (const auto name = args.Value("output-encoding"))
        o.outputEncoding = ParseEncodingOption("--output-encoding", *name, true);
    if (command == Command::Glue) {
        o.defaults = args.Has("defaults");
        if (args.Has("no-caps") && args.Has("glue-caps"))
            throw UsageError("--no-caps a --glue-caps se vylučují");
        if (args.Has("no-caps") || args.Has("glue-caps"))
            o.noCaps = args.Has("no-caps");
        o.noIndent = args.Has("no-indent");
        if (args.Has("smart") && args.Has("no-smart"))
            throw UsageError("--smart a --no-smart se vylučují");
        if (args.Has("smart") || args.Has("no-smart"))
            o.smart = args.Has("smart");
        if (const auto size = args.Value("indent-size")) {
            unsigned value = 0;
            if (!ParseCount(*size, 255, value))
                throw UsageError("--indent-size potřebuje číslo od 0 do 255");
            o.indentSize = uint8_t(value);
        }
        o.noGlueFile = args.Value("no-glue");
        o.rulesFile = args.Value("rules");
        if (args.Has("smart") && args.Has("no-smart"))
            throw UsageError("--smart a --no-smart se vylučují");
        if (args.Has("smart") || args.Has("no-smart"))
            o.smart = args.Has("smart");
    }
    const std::optional<std::string> output = args.Value("output");
    const std::optional<std::string> outputDir = args.Value("output-dir");
    const bool inPlace = args.Has("in-place");
    o.inPlace = inPlace;
    const std::vector<std::string>& inputs = args.Positional();
    if (int(output.has_value()) + int(outputDir.has_value()) + int(inPlace) > 1)
        throw UsageError("zadejte nejvýše jedno z -o, --in-place a --output-dir");
    if (inputs.empty())
        throw UsageError("chybí vstupní soubor");
    if ((output && output->empty()) || (outputDir && outputDir->empty()) ||
        std::find(inputs.begin(), inputs.end(), std::string()) != inputs.end())
        throw UsageError("prázdné jméno souboru");
    if (o.changesFile && (outputDir || inPlace || inputs.size() != 1))
        throw UsageError("--changes patří k jednomu vstupnímu souboru");
    if (o.changesFile && (o.changesFile->empty() || (*o.changesFile == "-" && output.value_or("-") == "-")))
        throw UsageError(o.changesFile->empty() ? "prázdné jméno souboru"
                                                : "--changes - potřebuje výsledek v souboru (-o)");
    if (!outputDir && !inPlace) {
        // Like sed: one book, and without -o its result goes to standard output.
        if (inputs.size() != 1)
            throw UsageError(output ? "-o patří k jednomu vstupnímu souboru"
                                    : "více souborů potřebuje --in-place nebo --output-dir");
        o.files.push_back({inputs[0], output.value_or("-")});
        return o;
    }
    o.batch = true;
    for (const std::string& in : inputs) {
        if (in == "-")
            throw UsageError("standardní vstup lze zpracovat jen s -o nebo na standardní výstup");
        std::string out = in;
        if (outputDir) {
            // Written into the book's own folder, the result would take the original's name.
            if (SameFolder(*outputDir, std::filesystem::path(in).parent_path()))
                throw UsageError("--output-dir " + *outputDir + " je složka souboru " + in +
                                 ", výsledek by přepsal původní text; k tomu slouží --in-place");
            out = (std::filesystem::path(*outputDir) / std::filesystem::path(in).filename()).string();
        }
        o.files.push_back({in, out});
    }
    o.outputDir = outputDir;
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

// The folder of --output-dir must be there before any book is worked on: each of them would
// fail at its save, after the work, with a message about its own file.
void CheckOutputFolder(const std::string& folder)
{
    std::error_code error;
    const auto status = std::filesystem::status(folder, error);
    if (status.type() == std::filesystem::file_type::not_found)
        throw FileError(folder + ": složka neexistuje");
    if (error)
        throw FileError(folder + ": " + FileErrorText(error.value()));
    if (status.type() != std::filesystem::file_type::directory)
        throw FileError(folder + ": není složka");
}

// A list is read whole into memory; more than this is no list of line beginnings or rules
// but a mistake, such as a device or a book given in its place.
constexpr std::size_t kMaxListBytes = std::size_t(64) << 20;

std::vector<std::string> ReadListFile(const std::string& name, const Options& o, std::ostream& err)
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
    // /dev/null is the Unix way to give an empty list.
    struct stat null {};
    if (S_ISCHR(info.st_mode) && ::stat("/dev/null", &null) == 0 && S_ISCHR(null.st_mode) && info.st_rdev == null.st_rdev)
        return {};
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
    // A list is read as the books are: in its own encoding, converted to Windows-1250.
    TextEncoding found = TextEncoding::Windows1250;
    Replacements replaced;
    const std::string text = TextToWindows1250(bytes, o.encoding, found, replaced);
    if (o.verbose)
        err << PrintableName(name) << ": kódování " << EncodingName(found) << '\n';
    if (replaced.count > 0)
        err << PrintableName(name) << ": upozornění: znaky, které kódování Windows-1250 nemá, se nahradily otazníkem (počet: "
            << replaced.count << "; první je " << DescribeCharacter(replaced.first) << ")\n";
    return TextToList(text);
}

Settings ChooseSettings(const Options& o, std::ostream& err)
{
    Settings settings;
    if (o.defaults) {
        settings = Settings::Defaults();
    } else {
        try {
            SettingsStore store;
            std::vector<OddSettingsValue> odd;
            ReadSettings(settings, store, &odd);
            ReportOddSettings(odd, o.command == Command::Glue ? "glue" : "speech", err);
        } catch (const ESettingsError& error) {
            throw FileError(std::string("nastavení nelze přečíst (") + error.what() + ")");
        }
    }
    if (o.noCaps)
        settings.noCaps = *o.noCaps;
    if (o.noIndent)
        settings.indent = false;
    if (o.indentSize)
        settings.indentSize = *o.indentSize;
    if (o.smart)
        settings.smart = *o.smart;
    if (o.noGlueFile)
        settings.noGlue = ReadListFile(*o.noGlueFile, o, err);
    if (o.rulesFile)
        settings.autoReplace = ReadListFile(*o.rulesFile, o, err);
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

// Loading or saving one file; a failure is told against the file's name, in Czech.
template <typename Step>
bool FileStep(const std::string& name, bool saving, std::ostream& messages, Step step)
{
    try {
        step();
        return true;
    } catch (const std::exception& error) {
        messages << PrintableName(name) << ": " << (saving ? SaveFailureText(name, error) : LoadFailureText(name, error)) << '\n';
        return false;
    }
}

// The result file of a book glued straight into it. A failure of the save is kept for the
// caller to tell as a save's; what the glue throws passes on.
class FileOutput final : public GluedTextOutput {
public:
    FileOutput(TextEditor& editor, const std::string& name) : editor(editor), name(name) {}

    bool Write(int64_t size, const TextEditor::ParagraphProducer& produce) override
    {
        // Thrown through the glue from a failing write, which the glue does not catch.
        struct SaveFailed {};
        bool producing = false;
        try {
            if (const std::string copy = TextEditor::FindOldTextCopy(name); !copy.empty())
                throw EInOutError(0, OldTextCopyText(copy));
            return editor.SaveProducedToFile(name, size, [&](const std::function<void(std::string_view)>& add) {
                const std::function<void(std::string_view)> saving = [&](std::string_view text) {
                    try {
                        add(text);
                    } catch (...) {
                        failure = std::current_exception();
                        throw SaveFailed{};
                    }
                };
                producing = true;
                produce(saving);
                producing = false;
            });
        } catch (...) {
            if (!failure && producing)
                throw;
            if (!failure)
                failure = std::current_exception();
            return true;
        }
    }

    std::exception_ptr failure;

private:
    TextEditor& editor;
    const std::string& name;
};

// One file from load to save; the messages for it go to `messages`, each line naming it.
int ProcessFile(const Job& job, const Options& o, const Settings& settings, std::ostream& messages)
{
    const std::string shown = PrintableName(job.in);
    const OldOutputRelease release(job.out, job.in);
    // From the load to the save, what one step frees the next takes (declared first: the
    // editor's blocks go back to the system with the rest when the book is done).
    const ReuseFreedBlocks reuse;
    TextEditor editor;
    // Nothing is undone here: the glue keeps no history of the paragraphs it puts back.
    editor.SetUndoBufferSize(0);
    // Loading and saving need no layout; word wrap goes on only where the refusal test of
    // the command counts display lines, for a text of a single paragraph.
    editor.SetWordWrap(false);
    GlueRecord record;
    GlueRecord* const recording = o.changesFile || o.verbose ? &record : nullptr;
    // A book only glued and saved goes from the file straight into the glue's working list.
    std::optional<GlueListSink> sink;
    if (o.command == Command::Glue && !recording)
        sink.emplace(editor.TabSize(), &settings);
    bool handedOn = false;
    if (!FileStep(job.in, false, messages, [&] {
            if (sink)
                handedOn = LoadInto(editor, job.in, o.encoding, *sink);
            else
                LoadInto(editor, job.in, o.encoding);
        }))
        return kExitFile;
    if (o.verbose)
        messages << shown << ": " << DescribeFormat(editor.LastLoadReport().format) << '\n';
    ReportLoadLosses(editor, job.in, messages);
    // Written over its own file, a text that did not load faithfully would lose what the
    // load could not keep: only a copy elsewhere may be made of it.
    if (o.inPlace && !editor.LastLoadReport().Faithful()) {
        messages << shown << ": " << UnfaithfulLoadText(editor) << '\n';
        return kExitRefused;
    }
    if ((handedOn ? sink->LineCount() : std::size_t(editor.ParaCount())) < 2)
        editor.SetWordWrap(true);
    else
        editor.SetWrapColumn(TextEditor::kNoWrapWidth);  // the command's closing re-wrap costs nothing
    std::ostringstream stages;
    SilentReporter silent;
    StreamReporter verbose(stages);
    ProgressReporter& reporter = o.verbose ? static_cast<ProgressReporter&>(verbose) : silent;
    GlueResult result;
    // Nothing but the saved result asked for: the glue writes it into the file as it makes it,
    // and never holds the glued book. Over its own file only in an encoding that has every
    // character, which is not checked before the save then.
    std::optional<FileOutput> straight;
    if (o.command == Command::Glue && !recording && job.out != "-") {
        if (o.outputEncoding)
            editor.SetFileFormat({*o.outputEncoding, editor.GetFileFormat().lineEnd});
        const TextEncoding encoding = editor.GetFileFormat().encoding;
        if (!o.inPlace || (encoding != TextEncoding::Iso8859_2 && encoding != TextEncoding::Cp852))
            straight.emplace(editor, job.out);
    }
    try {
        // Only the result is saved: the book need not stay beside it.
        result = o.command == Command::Glue ? SlepitExecute(editor, settings, reporter, recording, OldText::Released,
                                                            straight ? &*straight : nullptr, handedOn ? &*sink : nullptr)
                                            : actPrimaRecExecute(editor, reporter, recording);
    } catch (const std::exception& error) {
        messages << stages.str() << shown << ": " << EditorFailureText(error) << '\n';
        return kExitEditor;
    }
    messages << stages.str();
    if (result.outcome == GlueOutcome::Refused) {
        // The window's wording asks the user to load a text into the editor; here a file was
        // given, and it is what has too few lines.
        if (result.message == lepotex::messages::NothingToGlue())
            messages << shown << ": text má méně než dva řádky, není co lepit\n";
        else
            messages << shown << ": " << Windows1250ToUtf8(result.message) << '\n';
        return kExitRefused;
    }
    if (result.written) {
        if (straight->failure &&
            !FileStep(job.out, true, messages, [&] { std::rethrow_exception(straight->failure); }))
            return kExitFile;
        ReportSaveReplacements(editor, job.out, messages);
        return kExitOk;
    }
    // The result is laid out for the window; a file needs none of it.
    editor.SetWordWrap(false);
    if (o.outputEncoding)
        editor.SetFileFormat({*o.outputEncoding, editor.GetFileFormat().lineEnd});
    // Written over its own file, a text with characters the encoding lacks would lose them
    // as a lossy load would: refused alike.
    if (o.inPlace) {
        if (const int64_t lost = UnwritableCharacters(editor)) {
            messages << shown << ": výsledek obsahuje znaky, které kódování "
                     << EncodingName(editor.GetFileFormat().encoding) << " nemá (počet: " << lost
                     << "); přepsáním na místě by se ztratily, proto soubor zůstává beze změny. Výsledek uložte "
                        "jinam volbou -o nebo --output-dir, nebo v jiném kódování.\n";
            return kExitRefused;
        }
    }
    if (!FileStep(job.out, true, messages, [&] { SaveFrom(editor, job.out); }))
        return kExitFile;
    ReportSaveReplacements(editor, job.out, messages);
    if (o.changesFile) {
        try {
            WriteChangesFile(record, *o.changesFile);
        } catch (const std::exception& error) {
            messages << error.what() << '\n';
            return kExitFile;
        }
    }
    if (o.verbose)
        messages << ChangeSummary(record, shown + ": ") << shown << ": " << Windows1250ToUtf8(result.message) << '\n';
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
    // What one book frees the next takes, up to the end of the batch: a book's blocks are
    // fresh memory otherwise, every page of it faulted in and cleared for each book again.
    const ReuseFreedBlocks reuse;
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
                err << '[' << finished << '/' << o.files.size() << "] " << PrintableName(o.files[i].in) << std::flush;
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
    // Each count after its word, so that the Czech reads right for any number.
    err << "Hotovo (souborů " << o.files.size() << "): slepeno " << count(kExitOk) << ", odmítnuto "
        << count(kExitRefused) << ", chyby souboru " << count(kExitFile) << ", chyby editoru "
        << count(kExitEditor) << ".\n";
    return *std::max_element(statuses.begin(), statuses.end(),
                             [](int a, int b) { return Gravity(a) < Gravity(b); });
}

int Run(Command command, const std::vector<std::string>& argList, std::ostream& out, std::ostream& err)
{
    const char* name = command == Command::Glue ? "glue" : "speech";
    Options options;
    try {
        const Arguments args(argList, command == Command::Glue ? kGlueOptions : kSpeechOptions);
        if (args.Help()) {
            out << Usage(command);
            return kExitOk;
        }
        if (args.Version()) {
            out << VersionLine("lepotex-cli") << '\n';
            return kExitOk;
        }
        options = ParseOptions(command, args);
    } catch (const UsageError& error) {
        err << "lepotex-cli " << name << ": " << PrintableName(error.what()) << '\n' << TryHelpLine(name);
        return kExitUsage;
    }
    Settings settings;
    try {
        if (options.outputDir)
            CheckOutputFolder(*options.outputDir);
        if (command == Command::Glue)
            settings = ChooseSettings(options, err);
    } catch (const FileError& error) {
        // Its one line names a file of the command line.
        err << "lepotex-cli " << name << ": " << PrintableName(error.what()) << '\n';
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
