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

}  // namespace

void LoadInto(TextEditor& editor, const std::string& name)
{
    if (name != "-") {
        editor.LoadFromFile(name);
        return;
    }
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
    TempFile temp;
    editor.SaveToFile(temp.name);
    const int fd = ::open(temp.name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw EInOutError(errno, std::strerror(errno));
    try {
        Copy(fd, STDOUT_FILENO);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
}

}  // namespace lepotex::cli
