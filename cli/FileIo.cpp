#include "cli/FileIo.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "editor/EditorErrors.h"
#include "editor/TextEditor.h"

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

struct TempFile {
    TempFile() : name(TempPath())
    {
        fd = ::mkstemp(name.data());
        if (fd < 0)
            throw EInOutError(errno, std::string("Cannot create a temporary file: ") + std::strerror(errno));
    }
    ~TempFile()
    {
        if (fd >= 0)
            ::close(fd);
        ::unlink(name.c_str());
    }
    std::string name;
    int fd;
};

void Copy(int from, int to)
{
    char block[1 << 16];
    for (;;) {
        const ssize_t got = ::read(from, block, sizeof block);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw EInOutError(errno, std::strerror(errno));
        if (got == 0)
            return;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, block + done, size_t(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0)
                throw EInOutError(errno, std::strerror(errno));
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

std::string FileErrorText(int error)
{
    switch (error) {
    case ENOENT: return "soubor neexistuje";
    case EACCES:
    case EPERM: return "přístup odepřen";
    case EISDIR: return "je to složka, ne soubor";
    case ENOTDIR:
    case ELOOP:
    case ENAMETOOLONG: return "neplatná cesta";
    default: return "chyba systému " + std::to_string(error);
    }
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

void LoadInto(TextEditor& editor, const std::string& name)
{
    if (name != "-") {
        RefuseEndlessInput(name, -1);
        editor.LoadFromFile(name);
        return;
    }
    if (StandardStreamClosed(STDIN_FILENO))
        throw EInOutError(0, kStandardInputClosed);
    RefuseEndlessInput(name, STDIN_FILENO);
    TempFile temp;
    Copy(STDIN_FILENO, temp.fd);
    editor.LoadFromFile(temp.name);
}

void ReportLoadLosses(const TextEditor& editor, const std::string& name, std::ostream& err)
{
    const LoadReport& report = editor.LastLoadReport();
    if (report.longLinesCut > 0)
        err << name << ": upozornění: řádky delší než 32767 bajtů se zkrátily (počet: " << report.longLinesCut
            << ")\n";
    if (report.linesCutAtNul > 0)
        err << name << ": upozornění: řádky s bajtem NUL na něm skončily (počet: " << report.linesCutAtNul << ")\n";
    if (report.bytesAfterEndMark > 0)
        err << name << ": upozornění: znak Ctrl+Z na začátku řádku ukončil soubor; zbylých "
            << report.bytesAfterEndMark << " bajtů se nenačetlo\n";
}

void SaveFrom(TextEditor& editor, const std::string& name)
{
    if (name != "-") {
        editor.SaveToFile(name);
        return;
    }
    if (StandardStreamClosed(STDOUT_FILENO))
        throw EInOutError(0, kStandardOutputClosed);
    editor.SaveToDescriptor(STDOUT_FILENO);
}

}  // namespace lepotex::cli
