#include "cli/FileIo.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/Printable.h"
#include "editor/EditorErrors.h"
#include "editor/TextEditor.h"
#include "settings/SettingsPersistence.h"

namespace lepotex::cli {

namespace {

std::string TempPath()
{
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    if (ec)
        folder = "/tmp";
    return (folder / "lepotex-cli.XXXXXX").string();
}

// Standard input goes into a temporary file, which SIGINT and SIGTERM remove.
std::unique_ptr<SignalSafeTemporary> MakeSpool()
{
    try {
        return std::make_unique<SignalSafeTemporary>(TempPath());
    } catch (const EInOutError&) {
        throw EInOutError(0, "nelze vytvořit dočasný soubor pro standardní vstup (" + FileErrorText(errno) + ")");
    }
}

// Stops at the editor's text limit: what goes beyond it could never be loaded, and an
// endless stream would fill the temporary folder.
void Copy(int from, int to)
{
    char block[1 << 16];
    int64_t total = 0;
    for (;;) {
        const ssize_t got = ::read(from, block, sizeof block);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw EInOutError(0, "standardní vstup nelze přečíst (" + FileErrorText(errno) + ")");
        if (got == 0)
            return;
        total += got;
        if (total > TextEditor::kMaxLimit)
            throw EInOutError(0, "standardní vstup je delší než 2 GiB, tolik textu editor nepojme; nenačetl se");
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, block + done, size_t(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0)
                throw EInOutError(0, "standardní vstup nelze uložit do dočasného souboru (" + FileErrorText(errno) + ")");
            done += put;
        }
    }
}

bool closedAtStart[3] = {false, false, false};

}  // namespace

void KeepStandardStreamsOpen()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        closedAtStart[fd] = true;
        // The lowest free descriptor is this one: the ones below it are open by now.
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

bool StandardStreamClosed(int fd)
{
    return fd >= 0 && fd <= 2 && closedAtStart[fd];
}

void ReportOddSettings(const std::vector<OddSettingsValue>& odd, const std::string& command, std::ostream& err)
{
    for (const OddSettingsValue& value : odd)
        err << "lepotex-cli " << command << ": upozornění: nastavení „" << value.name << "“ má hodnotu „"
            << Printable(value.value) << "“, "
            << (value.name == "Indent size" ? "která není číslo od 0 do 255" : "která není 0 ani 1")
            << "; platí " << value.used << '\n';
}

std::string FileErrorText(int error)
{
    switch (error) {
    case ENOENT: return "soubor neexistuje";
    case EACCES:
    case EPERM: return "přístup odepřen";
    case EISDIR: return "není soubor, ale složka";
    case ENOTDIR:
    case ELOOP:
    case ENAMETOOLONG: return "neplatná cesta";
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return "disk je plný";
    case EROFS: return "disk je jen pro čtení";
    case EMFILE:
    case ENFILE: return "příliš mnoho otevřených souborů";
    case EIO: return "chyba čtení nebo zápisu na disku";
    // The system's own text of an error not named here, untranslated but not lost.
    default: return "chyba systému " + std::to_string(error) + " (" + std::strerror(error) + ")";
    }
}

namespace {

// The editor's file errors carry its own English texts, one for each group of system errors;
// what is not among them is "I/O error N" with the system's number.
std::string EditorIoReason(const EInOutError& error)
{
    const std::string text = error.what();
    if (error.errorCode == 0)
        return text;  // the batch tool's own, in Czech already
    if (text == "File not found")
        return FileErrorText(ENOENT);
    if (text == "Invalid filename")
        return FileErrorText(ENOTDIR);
    if (text == "Too many open files")
        return FileErrorText(EMFILE);
    if (text == "File access denied")
        return FileErrorText(EACCES);
    if (text == "Disk full")
        return FileErrorText(ENOSPC);
    if (text.starts_with("I/O error "))
        return FileErrorText(error.errorCode);
    return text;
}

std::string FailureText(const std::string& name, const std::exception& error, bool saving)
{
    const auto* io = dynamic_cast<const EInOutError*>(&error);
    if (!io)
        return EditorFailureText(error);
    if (dynamic_cast<const EFileChangedError*>(&error))
        return "soubor se od načtení změnil (jiný program ho přepsal, nahradil nebo smazal); výsledek se "
               "neuložil, aby se to, co v něm teď je, neztratilo";
    struct stat info {};
    if (name != "-" && io->errorCode != 0 && ::stat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return FileErrorText(EISDIR);
    if (saving && name != "-" && io->errorCode != 0) {
        // The save goes through a temporary file beside the target, so a missing folder
        // comes back as a missing file: say which of the two it is.
        std::filesystem::path folder = std::filesystem::path(name).parent_path();
        if (folder.empty())
            folder = ".";
        std::error_code ec;
        const auto status = std::filesystem::status(folder, ec);
        if (status.type() == std::filesystem::file_type::not_found)
            return "složka „" + PrintableName(folder.string()) + "“ neexistuje";
        if (!ec && status.type() != std::filesystem::file_type::directory)
            return "„" + PrintableName(folder.string()) + "“ není složka";
    }
    return EditorIoReason(*io);
}

}  // namespace

std::string LoadFailureText(const std::string& name, const std::exception& error)
{
    return FailureText(name, error, false);
}

std::string SaveFailureText(const std::string& name, const std::exception& error)
{
    return FailureText(name, error, true);
}

std::string EditorFailureText(const std::exception& error)
{
    if (dynamic_cast<const std::bad_alloc*>(&error))
        return "nedostatek paměti";
    struct Czech {
        int code;
        const char* text;
    };
    static constexpr Czech kCzech[] = {
        {kErrOutOfMemory, "nedostatek paměti"},
        {kErrRegionTooLarge, "oblast je příliš velká"},
        {kErrTooManyParagraphs, "odstavců by bylo víc, než editor pojme"},
        {kErrJoinTooLong, "odstavce nelze spojit, spojený by byl delší než 32767 bajtů"},
        {kErrTextTooLarge, "text by byl větší, než editor pojme"},
        {kErrParagraphTooLong, "odstavec by byl delší než 32767 bajtů"},
    };
    const std::string text = error.what();
    for (const Czech& entry : kCzech)
        if (text == EditorErrorMessage(entry.code))
            return std::string(entry.text) + " (" + text + ")";
    return "chyba editoru (" + text + ")";
}

namespace {

// A character device can give bytes for ever (/dev/zero, /dev/urandom); a terminal on
// standard input is the one that ends when the user says so.
void RefuseEndlessInput(const std::string& name, int fd)
{
    struct stat info {};
    const bool device = fd >= 0 ? ::fstat(fd, &info) == 0 : ::stat(name.c_str(), &info) == 0;
    if (device && S_ISCHR(info.st_mode) && !(fd >= 0 && ::isatty(fd)))
        throw EInOutError(0, "je to znakové zařízení, ne soubor; čtení z něj nemusí nikdy skončit");
}

}  // namespace

namespace {

bool Load(TextEditor& editor, const std::string& name, std::optional<TextEncoding> encoding,
          LoadedParagraphSink* sink)
{
    const auto load = [&](const std::string& file) {
        if (sink)
            return editor.LoadFromFileInto(file, encoding, *sink);
        editor.LoadFromFile(file, encoding);
        return false;
    };
    // A book here lives as long as one command: it may borrow from the file's pages.
    editor.SetMapFiles(true);
    if (name != "-") {
        RefuseEndlessInput(name, -1);
        const bool handedOn = load(name);
        // The old text of a torn save lives only in its copy: nothing is done with the file
        // until the user has looked at it.
        if (!editor.LastLoadReport().oldTextCopy.empty())
            throw EInOutError(0, OldTextCopyText(editor.LastLoadReport().oldTextCopy));
        return handedOn;
    }
    if (StandardStreamClosed(STDIN_FILENO))
        throw EInOutError(0, kStandardInputClosed);
    RefuseEndlessInput(name, STDIN_FILENO);
    const auto spool = MakeSpool();
    Copy(STDIN_FILENO, spool->Descriptor());
    return load(spool->Name());
}

}  // namespace

void LoadInto(TextEditor& editor, const std::string& name, std::optional<TextEncoding> encoding)
{
    (void)Load(editor, name, encoding, nullptr);
}

bool LoadInto(TextEditor& editor, const std::string& name, std::optional<TextEncoding> encoding,
              LoadedParagraphSink& sink)
{
    return Load(editor, name, encoding, &sink);
}

std::string OldTextCopyText(const std::string& copy)
{
    return "vedle leží kopie starého textu („" + PrintableName(copy) +
           "“), kterou zanechalo přerušené ukládání; soubor může být zapsaný jen zčásti, proto zůstává beze "
           "změny. Zkontrolujte ho, a kopii buď vraťte na jeho místo, nebo smažte.";
}

int64_t UnwritableCharacters(const TextEditor& editor)
{
    const TextEncoding encoding = editor.GetFileFormat().encoding;
    if (encoding != TextEncoding::Iso8859_2 && encoding != TextEncoding::Cp852)
        return 0;  // the other encodings have every character of Windows-1250
    int64_t lost = 0;
    std::string converted;
    for (int32_t p = 1; p <= editor.ParaCount(); ++p) {
        converted.clear();
        lost += ConvertFromWindows1250(encoding, editor.ParaText(p), converted);
    }
    return lost;
}

void ReportLoadLosses(const TextEditor& editor, const std::string& name, std::ostream& err)
{
    const LoadReport& report = editor.LastLoadReport();
    const std::string shown = PrintableName(name);
    if (report.longLinesSplit > 0)
        err << shown << ": upozornění: řádky delší než 32767 bajtů se rozdělily na více odstavců (počet: "
            << report.longLinesSplit << ")\n";
    if (report.charsReplaced > 0)
        err << shown << ": upozornění: znaky, které kódování Windows-1250 nemá, se nahradily otazníkem (počet: "
            << report.charsReplaced << "; první je " << DescribeCharacter(report.firstReplaced) << " na řádku "
            << report.firstReplacedLine << ")\n";
    if (report.linesCutAtNul > 0)
        err << shown << ": upozornění: řádky s bajtem NUL na něm skončily (počet: " << report.linesCutAtNul << ")\n";
    if (report.bytesAfterEndMark > 0)
        err << shown << ": upozornění: znak Ctrl+Z na začátku řádku ukončil soubor; zbylých "
            << report.bytesAfterEndMark << " bajtů se nenačetlo\n";
}

std::string DescribeCharacter(char32_t character)
{
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", unsigned(character));
    if (character == U'\uFFFD')
        return "bajt, který v kódování souboru není znakem";
    std::string utf8;
    if (character < 0x80) {
        utf8 += char(character);
    } else if (character < 0x800) {
        utf8 += char(0xC0 | (character >> 6));
        utf8 += char(0x80 | (character & 0x3F));
    } else if (character < 0x10000) {
        utf8 += char(0xE0 | (character >> 12));
        utf8 += char(0x80 | ((character >> 6) & 0x3F));
        utf8 += char(0x80 | (character & 0x3F));
    } else {
        utf8 += char(0xF0 | (character >> 18));
        utf8 += char(0x80 | ((character >> 12) & 0x3F));
        utf8 += char(0x80 | ((character >> 6) & 0x3F));
        utf8 += char(0x80 | (character & 0x3F));
    }
    // A control character would act on the terminal instead of being shown.
    if (character < 0x20 || (character >= 0x7F && character < 0xA0))
        return code;
    return "„" + utf8 + "“ (" + code + ")";
}

void ReportSaveReplacements(const TextEditor& editor, const std::string& name, std::ostream& err)
{
    if (editor.LastSaveReplacements() > 0)
        err << PrintableName(name) << ": upozornění: znaky, které kódování " << EncodingName(editor.GetFileFormat().encoding)
            << " nemá, se uložily jako nejbližší náhrada nebo otazník (počet: " << editor.LastSaveReplacements()
            << ")\n";
}

std::string DescribeFormat(FileFormat format)
{
    return std::string("kódování ") + EncodingName(format.encoding) + ", konce řádků " +
           (format.lineEnd == LineEnd::Lf ? "LF" : "CR LF");
}

std::string UnfaithfulLoadText(const TextEditor& editor)
{
    const LoadReport& report = editor.LastLoadReport();
    std::string why;
    if (report.charsReplaced > 0)
        why = "obsahuje znaky, které kódování Windows-1250 nemá (" + std::to_string(report.charsReplaced) + ")";
    else if (report.linesCutAtNul > 0)
        why = "obsahuje bajty NUL, za nimiž se text řádku nenačetl";
    else
        why = "za znakem Ctrl+Z zůstal nenačtený text";
    return "soubor se nenačetl věrně: " + why +
           "; přepsáním na místě by se text ztratil, proto zůstává beze změny. Výsledek uložte jinam volbou -o "
           "nebo --output-dir.";
}

OldOutputRelease::OldOutputRelease(const std::string& output, const std::string& input)
{
    // Below a few megabytes there is nothing to win, and a thread costs.
    constexpr off_t kWorthIt = off_t(4) << 20;
    struct stat old {};
    if (output == "-" || ::stat(output.c_str(), &old) != 0 || !S_ISREG(old.st_mode) || old.st_size < kWorthIt)
        return;
    // Writing a file over itself: its pages are the book about to be read.
    if (struct stat in {}; input != "-" && ::stat(input.c_str(), &in) == 0 && in.st_dev == old.st_dev &&
                           in.st_ino == old.st_ino)
        return;
    thread = std::jthread([output] {
        // Only what is already on the disk goes (a page not yet written is left), and nothing
        // of the file itself changes.
        if (const int fd = ::open(output.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
    });
}

void SaveFrom(TextEditor& editor, const std::string& name)
{
    if (name != "-") {
        if (const std::string copy = TextEditor::FindOldTextCopy(name); !copy.empty())
            throw EInOutError(0, OldTextCopyText(copy));
        editor.SaveToFile(name);
        return;
    }
    if (StandardStreamClosed(STDOUT_FILENO))
        throw EInOutError(0, kStandardOutputClosed);
    editor.SaveToDescriptor(STDOUT_FILENO);
}

}  // namespace lepotex::cli
