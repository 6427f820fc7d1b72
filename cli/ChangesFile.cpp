#include "cli/ChangesFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <array>
#include <map>
#include <stdexcept>

#include "cli/FileIo.h"
#include "editor/Windows1250.h"

namespace lepotex::cli {
namespace {

// Each byte's UTF-8 form, escaped for the table: a book's worth of texts goes through here.
const std::array<std::string, 256>& EscapedBytes()
{
    static const std::array<std::string, 256> table = [] {
        std::array<std::string, 256> forms;
        for (int b = 0; b < 256; ++b)
            forms[std::size_t(b)] = Windows1250ToUtf8(std::string(1, char(b)));
        forms['\\'] = "\\\\";
        forms['\t'] = "\\t";
        forms['\r'] = "\\r";
        forms['\n'] = "\\n";
        return forms;
    }();
    return table;
}

void AppendEscaped(std::string& out, std::string_view windows1250)
{
    const auto& forms = EscapedBytes();
    for (const char c : windows1250) {
        if (uint8_t(c) < 0x80 && c != '\\' && c != '\t' && c != '\r' && c != '\n')
            out += c;
        else
            out += forms[uint8_t(c)];
    }
}

void WriteAll(int fd, std::string_view bytes, const std::string& name)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            throw std::runtime_error(name + ": " + FileErrorText(errno));
        bytes.remove_prefix(std::size_t(written));
    }
}

// What a new file gets: read and write for all, less the process's umask.
mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::string ChangesTable(const GlueRecord& record)
{
    std::string out = "kind\tparagraph\tcolumn\told\tnew\treason\tdoubtful\n";
    out.reserve(record.changes.size() * 64);
    for (const Change& change : record.changes) {
        out += ChangeKindId(change.kind);
        out += '\t' + std::to_string(change.paraNo) + '\t' + std::to_string(change.column) + '\t';
        AppendEscaped(out, record.OldText(change));
        out += '\t';
        AppendEscaped(out, record.NewText(change));
        out += '\t';
        out += BreakReasonId(change.reason);
        out += change.doubtful ? "\t?\n" : "\t\n";
    }
    return out;
}

void WriteChangesFile(const GlueRecord& record, const std::string& name)
{
    const std::string table = ChangesTable(record);
    if (name == "-") {
        if (StandardStreamClosed(STDOUT_FILENO))
            throw std::runtime_error(kStandardOutputClosed);
        WriteAll(STDOUT_FILENO, table, name);
        return;
    }
    const std::filesystem::path path(name);
    std::string temporary = (path.parent_path() / ("." + path.filename().string() + ".lepotex~XXXXXX")).string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0 && errno == ENOENT)
        throw std::runtime_error(name + ": složka „" + path.parent_path().string() + "“ neexistuje");
    if (fd < 0)
        throw std::runtime_error(name + ": " + FileErrorText(errno));
    try {
        WriteAll(fd, table, name);
        if (::fsync(fd) != 0)
            throw std::runtime_error(name + ": " + FileErrorText(errno));
        if (::close(fd) != 0) {
            ::unlink(temporary.c_str());
            throw std::runtime_error(name + ": " + FileErrorText(errno));
        }
    } catch (...) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw;
    }
    ::chmod(temporary.c_str(), NewFileMode());
    if (::rename(temporary.c_str(), name.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw std::runtime_error(name + ": " + FileErrorText(error));
    }
}

std::string ChangeSummary(const GlueRecord& record, const std::string& prefix)
{
    std::array<std::map<BreakReason, int64_t>, kChangeKindCount> reasons;
    std::array<int64_t, kChangeKindCount> doubtful{};
    for (const Change& change : record.changes) {
        if (change.reason != BreakReason::None)
            ++reasons[std::size_t(change.kind)][change.reason];
        doubtful[std::size_t(change.kind)] += change.doubtful ? 1 : 0;
    }
    const std::array<int64_t, kChangeKindCount> counts = record.Counts();
    std::string out;
    for (std::size_t kind = 0; kind < kChangeKindCount; ++kind) {
        if (counts[kind] == 0)
            continue;
        out += prefix + std::string(ChangeKindCaption(ChangeKind(kind))) + ": " + std::to_string(counts[kind]);
        std::string details;
        for (const auto& [reason, count] : reasons[kind])
            details += (details.empty() ? "" : ", ") + std::string(BreakReasonCaption(reason)) + ' ' +
                       std::to_string(count);
        if (doubtful[kind] > 0)
            details += (details.empty() ? "" : ", ") + std::string("k prověření ") + std::to_string(doubtful[kind]);
        out += details.empty() ? "\n" : " (" + details + ")\n";
    }
    if (record.layout.known)
        out += prefix + DescribeLayout(record.layout) + '\n';
    return out;
}

}  // namespace lepotex::cli
