// Reading and writing text files: bytes as they are, one line a paragraph, CR LF line ends.
#include "editor/TextEditor.h"

#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "editor/EditorBuffer.h"

namespace lepotex {

namespace {

[[noreturn]] void RaiseIoError(int error)
{
    switch (error) {
    case ENOENT: throw EInOutError(2, "File not found");
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
    case EILSEQ: throw EInOutError(3, "Invalid filename");
    case EMFILE:
    case ENFILE: throw EInOutError(4, "Too many open files");
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY: throw EInOutError(5, "File access denied");
    case ENOSPC:
    case EDQUOT:
    case EFBIG: throw EInOutError(101, "Disk full");
    default: {
        char message[32];
        std::snprintf(message, sizeof message, "I/O error %d", error);
        throw EInOutError(error, message);
    }
    }
}

// Closes a descriptor on every way out; Release hands it over when closing must be checked.
struct FileHandle {
    explicit FileHandle(int fd) : fd(fd) {}
    ~FileHandle()
    {
        if (fd >= 0)
            ::close(fd);
    }
    int Release() { return std::exchange(fd, -1); }
    int fd;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

constexpr char kCtrlZ = 0x1A;
constexpr size_t kMaxLine = 32767;  // no paragraph is ever longer

// Splits a byte stream into paragraphs by the file format's rules, whatever the read sizes.
class LineReader {
public:
    // Returns where it stopped: `end`, or the end-of-file mark (Ctrl+Z at a line start).
    template <typename Emit>
    const char* Feed(const char* p, const char* end, Emit&& emit)
    {
        while (p < end) {
            switch (state) {
            case State::LineStart:
                if (*p == kCtrlZ)
                    return p;
                state = State::InLine;
                [[fallthrough]];
            case State::InLine: {
                const size_t room = kMaxLine - line.size();
                const char* stop = p + std::min(size_t(end - p), room);
                const char* cr = static_cast<const char*>(std::memchr(p, '\r', size_t(stop - p)));
                const char* spanEnd = cr ? cr : stop;
                const char* z = static_cast<const char*>(std::memchr(p, kCtrlZ, size_t(spanEnd - p)));
                if (z)
                    spanEnd = z;
                if (spanEnd == end) {
                    line.append(p, size_t(spanEnd - p));  // the line goes on in the next block
                    p = spanEnd;
                    break;
                }
                // Most lines lie wholly inside one block: hand them out without copying.
                std::string_view text(p, size_t(spanEnd - p));
                const bool inBlock = line.empty();
                if (!inBlock) {
                    line.append(text);
                    text = line;
                }
                p = spanEnd;
                if (*p == '\r') {
                    state = State::AfterCr;
                } else if (*p == kCtrlZ) {
                    state = State::LineStart;  // the Ctrl+Z is consumed and ends the line
                } else {
                    state = State::Skip;  // the line is full: drop the rest up to its end
                    ++longLinesCut;
                }
                ++p;
                emit(text, inBlock);
                line.clear();
                break;
            }
            case State::Skip:
                if (*p == '\r')
                    state = State::AfterCr;
                else if (*p == kCtrlZ)
                    state = State::LineStart;
                ++p;
                break;
            case State::AfterCr:
                state = State::LineStart;
                if (*p == '\n')
                    ++p;
                break;
            }
        }
        return end;
    }

    template <typename Emit>
    void Finish(Emit&& emit)
    {
        if (state == State::InLine) {
            emit(std::string_view(line), false);
            line.clear();
        }
        state = State::LineStart;
    }

    int64_t longLinesCut = 0;

private:
    enum class State { LineStart, InLine, Skip, AfterCr };
    State state = State::LineStart;
    std::string line;
};

// Where a save really writes: through symbolic links to the file they name.
std::filesystem::path ResolveTarget(const std::string& name)
{
    namespace fs = std::filesystem;
    fs::path path(name);
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec)))
            return path;
        fs::path target = fs::read_symlink(path, ec);
        if (ec)
            return path;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    RaiseIoError(ELOOP);
}

// Bytes 0x01 to 0x09, the tab included, are saved as spaces. Written without branches over
// locals so that the compiler can do it many bytes at a time.
void MapControlBytes(char* bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const uint8_t c = uint8_t(bytes[i]);
        bytes[i] = char(uint8_t(c - 1) < 9 ? uint8_t(' ') : c);
    }
}

void WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            RaiseIoError(errno);
        }
        data += written;
        size -= size_t(written);
    }
}

}  // namespace

void TextEditor::LoadFromFile(const std::string& name)
{
    if (name.empty())
        return;
    fileName = name;
    if (fileName.size() > 1 && fileName.back() == '.')
        fileName.pop_back();
    // Everything is read into a fresh buffer and put in place only when the whole file is in:
    // a failed load leaves the text, caret, history and modified flag as they were.
    try {
        FileHandle file(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
        if (file.fd < 0)
            RaiseIoError(errno);
        struct stat info {};
        const bool sized = ::fstat(file.fd, &info) == 0 && S_ISREG(info.st_mode);

        auto fresh = std::make_unique<Buffer>(undoBufferSize);
        LoadReport report;
        int64_t readBefore = 0;  // bytes of the file before the current step
        const int32_t width = EffectiveWrapWidth();
        int error = kErrNone;
        // inBlock: the bytes lie in the block being read, which the buffer then keeps.
        bool usedSinceNewBlock = false;
        auto append = [&](std::string_view text, bool inBlock) {
            if (error != kErrNone)
                return;
            if (const char* nul = static_cast<const char*>(std::memchr(text.data(), '\0', text.size()))) {
                text = text.substr(0, size_t(nul - text.data()));
                ++report.linesCutAtNul;
            }
            while (!text.empty() && IsBlank(text.back()))
                text.remove_suffix(1);
            int64_t allowed = paraLimit;
            if (paraLimit < kMaxLimit)
                ++allowed;  // the empty paragraph at the end does not count
            if (int64_t(fresh->ParaCount()) + 1 > allowed)
                error = kErrTooManyParagraphs;
            else if (fresh->ByteCount() + int64_t(text.size()) + 2 > byteLimit)
                error = kErrTextTooLarge;
            else if (inBlock) {
                usedSinceNewBlock = true;
                fresh->AppendLoaded(Paragraph(ParaText::Borrowed(text)), width, tabSize);
            } else {
                fresh->AppendLoaded(Paragraph(text), width, tabSize);
            }
        };

        // The file is read into blocks as large as the file (up to kMaxBlock), in steps of
        // kReadSize; the paragraphs then point into them.
        constexpr size_t kReadSize = 1 << 20;
        constexpr size_t kMaxBlock = size_t(64) << 20;
        const size_t blockSize = sized ? std::min<size_t>(kMaxBlock, size_t(info.st_size) + 1) : kReadSize;
        TextBlock block;
        size_t filled = 0;
        LineReader reader;
        bool reserved = false;
        for (;;) {
            if (!block || filled == blockSize) {
                if (block && usedSinceNewBlock)
                    fresh->blocks.push_back(std::move(block));
                block = AllocateTextBlock(blockSize);
                filled = 0;
                usedSinceNewBlock = false;
            }
            char* start = block.get() + filled;
            const ssize_t got = ::read(file.fd, start, std::min(kReadSize, blockSize - filled));
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                RaiseIoError(errno);
            }
            if (got == 0) {
                reader.Finish(append);
                break;
            }
            filled += size_t(got);
            if (!reserved && sized) {
                // Size the paragraph table once from the first step's line density, so a
                // large book is not re-allocated step by step.
                reserved = true;
                const int64_t lines = std::count(start, start + got, '\r') + 1;
                const int64_t estimate = int64_t(info.st_size) / (got / lines + 1) * 21 / 20 + 16;
                fresh->paras.Reserve(std::ptrdiff_t(estimate));
                fresh->lines.Reserve(int32_t(std::min<int64_t>(estimate, kMaxLimit)));
            }
            const char* stop = reader.Feed(start, start + got, append);
            if (stop != start + got) {
                const int64_t markAt = readBefore + (stop - start);
                // The mark itself is the old way to end a text file, and no loss.
                report.bytesAfterEndMark = (sized ? int64_t(info.st_size) - markAt : (start + got) - stop) - 1;
                break;
            }
            readBefore += got;
            if (error != kErrNone)
                break;
        }
        if (block && usedSinceNewBlock)
            fresh->blocks.push_back(std::move(block));
        if (error != kErrNone)
            RaiseEditorError(error);
        if (::close(file.Release()) != 0)
            RaiseIoError(errno);
        report.longLinesCut = reader.longLinesCut;
        buffer = std::move(fresh);
        loadReport = report;
    } catch (...) {
        isOpen = false;
        throw;
    }
    isOpen = true;
    ResetView();
}

void TextEditor::SaveToFile(const std::string& name)
{
    if (name.empty())
        return;
    namespace fs = std::filesystem;
    const fs::path target = ResolveTarget(name);
    fs::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";

    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        RaiseIoError(EISDIR);

    // Write beside the target and rename over it, so a failed save leaves the old file whole.
    std::string hidden = target.filename().string();
    hidden.insert(0, 1, '.');
    hidden += ".XXXXXX";
    std::string tempName = (folder / hidden).string();
    int fd = ::mkstemp(tempName.data());
    bool inPlace = false;
    if (fd < 0) {
        const int error = errno;
        // A folder we may not write into, holding a file we may: overwrite it as the last resort.
        if (exists && (error == EACCES || error == EPERM || error == EROFS) && ::access(target.c_str(), W_OK) == 0) {
            fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
            if (fd < 0)
                RaiseIoError(errno);
            inPlace = true;
        } else {
            RaiseIoError(error);
        }
    }
    FileHandle file(fd);
    auto discard = [&] {
        if (!inPlace)
            ::unlink(tempName.c_str());
    };
    try {
        // Paragraphs are gathered into large writes; the largest paragraph and its line end
        // always fit behind what a write leaves.
        constexpr size_t kStage = size_t(1) << 20;
        static_assert(kStage >= kMaxLine + 2);
        const TextBlock stage = AllocateTextBlock(kStage);
        size_t staged = 0;
        const int32_t count = ParaCount();
        off_t written = 0;
        off_t flushed = 0;
        for (int32_t p = 1; p <= count; ++p) {
            const std::string_view text = Para(p).text;
            if (p == count && text.empty())
                break;
            assert(text.size() <= kMaxLine);
            if (staged + text.size() + 2 > kStage) {
                WriteAll(file.fd, stage.get(), staged);
                written += off_t(staged);
                staged = 0;
#ifdef __linux__
                // Start the disk on what is written while the rest is still being made, so
                // that the flush before the rename has less left to wait for.
                ::sync_file_range(file.fd, flushed, written - flushed, SYNC_FILE_RANGE_WRITE);
                flushed = written;
#endif
            }
            if (!text.empty())
                std::memcpy(stage.get() + staged, text.data(), text.size());
            MapControlBytes(stage.get() + staged, text.size());
            staged += text.size();
            stage.get()[staged++] = '\r';
            stage.get()[staged++] = '\n';
        }
        WriteAll(file.fd, stage.get(), staged);
        if (!inPlace) {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            if (exists) {
                ::fchmod(file.fd, old.st_mode & 07777);
                if (::fchown(file.fd, old.st_uid, old.st_gid) != 0) {
                    // Another owner's file we may write: it becomes ours, as with any editor.
                }
            } else {
                ::fchmod(file.fd, 0666 & ~mask);
            }
        }
        if (::fdatasync(file.fd) != 0 && errno != EINVAL)
            RaiseIoError(errno);
        if (::close(file.Release()) != 0)
            RaiseIoError(errno);
        if (!inPlace && ::rename(tempName.c_str(), target.c_str()) != 0)
            RaiseIoError(errno);
    } catch (...) {
        discard();
        throw;
    }
    SetModified(false);
}

}  // namespace lepotex
