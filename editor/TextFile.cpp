// Reading and writing text files: bytes as they are, one line a paragraph, CR LF line ends.
#include "editor/TextEditor.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "editor/ByteScan.h"
#include "editor/EditorBuffer.h"
#include "editor/EditorErrors.h"
#include "editor/QuietThread.h"

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
constexpr size_t kTouchAheadFrom = size_t(4) << 20;  // a book's size from which a thread pays
constexpr size_t kMapToConvertFrom = size_t(4) << 20;  // and from which mapping it for a conversion does

// Splits a byte stream into lines by the file format's rules, whatever the read sizes. With
// CR line ends a line ends at a CR (an LF right behind it belongs to it, a lone LF is a
// character of the line); with LF line ends at an LF, and a CR is a character. A line of any
// length is handed out whole: the caller splits what is too long for one paragraph. The caller
// is told whether a line may hold a NUL.
class LineReader {
public:
    explicit LineReader(LineEnd lineEnd) : endByte(lineEnd == LineEnd::Lf ? '\n' : '\r') {}

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
                ReadAhead(p);
                // The line end or a Ctrl+Z ends the line; a NUL is only noted, for the caller.
                const char* spanEnd = p;
                for (;;) {
                    spanEnd = FindAnyOfNoting(spanEnd, end, endByte, kCtrlZ, '\0', controls);
                    if (spanEnd == end || *spanEnd != '\0')
                        break;
                    lineHasNul = true;
                    ++spanEnd;
                }
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
                if (*p == '\r')
                    state = State::AfterCr;
                else
                    state = State::LineStart;  // an LF, or a Ctrl+Z, consumed: it ends the line
                ++p;
                emit(text, inBlock, std::exchange(lineHasNul, false));
                line.clear();
                break;
            }
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
            emit(std::string_view(line), false, std::exchange(lineHasNul, false));
            line.clear();
        }
        state = State::LineStart;
    }

private:
    enum class State { LineStart, InLine, AfterCr };
    State state = State::LineStart;
    char endByte;
    std::string line;
    bool lineHasNul = false;  // the line read so far holds a NUL

public:
    // Whether a line may hold a tab, CR or LF: false when none of them has been read within one.
    bool controls = false;
};

// LF is the line end of a text that has LFs and no CR LF, unless lone CRs outnumber its LFs
// (a Mac text with a stray LF). A stray CR in an LF text is a character, kept.
LineEnd FindLineEnd(std::string_view text)
{
    const char* p = text.data();
    const char* end = p + text.size();
    const char* cr = static_cast<const char*>(std::memchr(p, '\r', text.size()));
    if (!cr)
        return std::memchr(p, '\n', text.size()) ? LineEnd::Lf : LineEnd::CrLf;
    int64_t crs = 0;
    for (const char* q = cr; q; q = static_cast<const char*>(std::memchr(q + 1, '\r', size_t(end - q - 1)))) {
        if (q + 1 < end && q[1] == '\n')
            return LineEnd::CrLf;
        ++crs;
        if (q + 1 == end)
            break;
    }
    return std::count(p, end, '\n') > crs ? LineEnd::Lf : LineEnd::CrLf;
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

// The umask, read once before main runs: asking for it means setting it, which would race
// with threads that create files meanwhile. /proc tells it without changing it.
mode_t ReadUmask()
{
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found)
            return mode_t(mask);
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}
const mode_t processUmask = ReadUmask();

// SIGINT and SIGTERM during a save. The handler removes the temporary files of the saves in
// progress, which are kept in fixed slots so that it needs no lock and no heap. A save that
// writes over the file itself (a file with several names) must first put the old text back:
// while one runs, the handler only notes the signal, and the last such save raises it again
// when it is done.
struct TempSlot {
    static constexpr int kFree = 0, kClaimed = 1, kHeld = 2;
    std::atomic<int> state{kFree};
    char path[PATH_MAX]{};  // initialised, so the slots are set before main without touching a page
};
constinit TempSlot tempSlots[64];
std::atomic<int> inPlaceSaves{0};
std::atomic<int> pendingSignal{0};

void Terminate(int signal)
{
    ::signal(signal, SIG_DFL);
    ::raise(signal);  // inside the handler the signal is blocked: it strikes on return
}

void OnTerminatingSignal(int signal)
{
    const int savedErrno = errno;
    for (TempSlot& slot : tempSlots)
        if (slot.state.load() == TempSlot::kHeld)
            ::unlink(slot.path);
    pendingSignal.store(signal);
    if (inPlaceSaves.load() == 0)
        Terminate(signal);
    errno = savedErrno;
}

// Only where the signals still do their default, ending the process: a program's own
// handling, or an ignored signal, stays as it is.
void WatchTerminatingSignals()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (const int signal : {SIGINT, SIGTERM}) {
            struct sigaction old {};
            if (::sigaction(signal, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL)
                continue;
            struct sigaction action {};
            action.sa_handler = OnTerminatingSignal;
            sigemptyset(&action.sa_mask);
            sigaddset(&action.sa_mask, SIGINT);
            sigaddset(&action.sa_mask, SIGTERM);
            action.sa_flags = SA_RESTART;
            ::sigaction(signal, &action, nullptr);
        }
    });
}

// Holds a temporary file's name where the signal handler finds it. With every slot taken the
// file goes unregistered; the next save of the same file then removes it if it is left over.
class TempRegistration {
public:
    explicit TempRegistration(const std::string& path)
    {
        if (path.size() >= sizeof TempSlot::path)
            return;
        for (TempSlot& candidate : tempSlots) {
            int expected = TempSlot::kFree;
            if (candidate.state.compare_exchange_strong(expected, TempSlot::kClaimed)) {
                std::memcpy(candidate.path, path.c_str(), path.size() + 1);
                candidate.state.store(TempSlot::kHeld);
                slot = &candidate;
                return;
            }
        }
    }
    ~TempRegistration()
    {
        if (slot)
            slot->state.store(TempSlot::kFree);
    }
    TempRegistration(const TempRegistration&) = delete;
    TempRegistration& operator=(const TempRegistration&) = delete;

private:
    TempSlot* slot = nullptr;
};

// Holds SIGINT and SIGTERM back while a side file is made and registered: a signal between
// the two would end the process with the file on the disk and nobody to remove it. A signal
// that came meanwhile is delivered on release, when the handler knows the file.
class SignalsHeld {
public:
    SignalsHeld()
    {
        sigset_t signals;
        sigemptyset(&signals);
        sigaddset(&signals, SIGINT);
        sigaddset(&signals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &signals, &previous);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous;
};

// Brackets a write over the file itself; see above.
class InPlaceWrite {
public:
    InPlaceWrite() { ++inPlaceSaves; }
    ~InPlaceWrite()
    {
        if (--inPlaceSaves == 0)
            if (const int signal = pendingSignal.load())
                Terminate(signal);
    }
    static void StopIfSignalled()
    {
        if (pendingSignal.load() != 0)
            RaiseIoError(EINTR);
    }
    InPlaceWrite(const InPlaceWrite&) = delete;
    InPlaceWrite& operator=(const InPlaceWrite&) = delete;
};

// Where a save goes: a path, or one of this process's own open descriptors.
struct SaveTarget {
    std::filesystem::path path;
    int descriptor = -1;
};

// N when `path` names this process's descriptor N (/proc/self/fd/N, /dev/fd/N, and so
// /dev/stdout): those links lead to an open file, a pipe or a socket rather than to a name,
// and the output belongs at that descriptor's position, appending where it appends.
int OwnDescriptor(const std::filesystem::path& path)
{
    const std::string leaf = path.filename().string();
    if (leaf.empty() || leaf.size() > 9 || !std::all_of(leaf.begin(), leaf.end(), [](char c) {
            return c >= '0' && c <= '9';
        }))
        return -1;
    std::filesystem::path parent = path.parent_path();
    if (parent.empty())
        parent = ".";
    char real[PATH_MAX];
    if (!::realpath(parent.c_str(), real))
        return -1;
    const std::string folder(real);
    const std::string self = "/proc/" + std::to_string(::getpid());
    const bool ownTask = folder.starts_with(self + "/task/") && folder.ends_with("/fd");
    if (folder != self + "/fd" && !ownTask)
        return -1;
    return std::stoi(leaf);
}

// The kernel's rule for links in a sticky folder anyone may write (/tmp): such a link is
// followed only when it is the user's own or the folder owner's. The save follows links
// itself, so it asks the same, or a link another user planted would lead it to a file of
// the user's choosing that it then replaces.
void RefuseProtectedLink(const std::filesystem::path& link)
{
    std::filesystem::path folder = link.parent_path();
    if (folder.empty())
        folder = ".";
    struct stat linkInfo {};
    struct stat folderInfo {};
    if (::lstat(link.c_str(), &linkInfo) != 0 || ::stat(folder.c_str(), &folderInfo) != 0)
        RaiseIoError(errno);
    const bool sticky = (folderInfo.st_mode & S_ISVTX) && (folderInfo.st_mode & S_IWOTH);
    if (sticky && linkInfo.st_uid != ::geteuid() && linkInfo.st_uid != folderInfo.st_uid)
        RaiseIoError(EACCES);
}

// Where a save really writes: through symbolic links to the file they name.
SaveTarget ResolveTarget(const std::string& name)
{
    namespace fs = std::filesystem;
    fs::path path(name);
    for (int hops = 0; hops < 40; ++hops) {
        if (const int fd = OwnDescriptor(path); fd >= 0)
            return {path, fd};
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec)))
            return {path};
        RefuseProtectedLink(path);
        fs::path target = fs::read_symlink(path, ec);
        if (ec)
            return {path};
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    RaiseIoError(ELOOP);
}

// The file names that saves of `leaf` use beside it: ".leaf.lepotex~N" for the new text,
// ".leaf.lepotex-old~N" for the copy of the old one. Fixed names let the next save of the
// same file find what a killed one left, without reading the whole folder.
std::string SideName(const std::filesystem::path& folder, const std::string& leaf, const char* kind, int number)
{
    // Room for the additions within the file-system's 255 bytes of a name.
    const std::string base = leaf.substr(0, 200);
    return (folder / ("." + base + kind + std::to_string(number))).string();
}

// An exclusive lock marks a side file as in use by a running save; the lock goes with the
// process, so an unlocked one is left over from a save that was killed.
bool LockExclusively(int fd) { return ::flock(fd, LOCK_EX | LOCK_NB) == 0; }

// Removes `name` if it is a left-over side file: a regular file that no running save holds.
// Returns false when it is in use and must stay.
bool RemoveIfLeftOver(const std::string& name)
{
    const int fd = ::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT;
    FileHandle file(fd);
    struct stat opened {};
    struct stat named {};
    if (!LockExclusively(fd) || ::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) ||
        ::lstat(name.c_str(), &named) != 0 || named.st_ino != opened.st_ino || named.st_dev != opened.st_dev)
        return false;
    return ::unlink(name.c_str()) == 0;
}

constexpr int kSideNames = 16;

// Creates the side file of the given kind, locked; with `sweep`, left-over side files of
// that kind are removed on the way. Throws the I/O error when the folder cannot take it.
int CreateSideFile(const std::filesystem::path& folder, const std::string& leaf, const char* kind, bool sweep,
                   std::string& created)
{
    int fd = -1;
    int error = EEXIST;
    for (int number = 1; number <= kSideNames; ++number) {
        const std::string name = SideName(folder, leaf, kind, number);
        if (fd >= 0) {
            if (sweep)
                RemoveIfLeftOver(name);
            continue;
        }
        for (int attempt = 0; attempt < 2 && fd < 0; ++attempt) {
            fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd < 0) {
                error = errno;
                if (error != EEXIST || !sweep || !RemoveIfLeftOver(name))
                    break;
            }
        }
        if (fd >= 0) {
            LockExclusively(fd);
            created = name;
        } else if (error != EEXIST) {
            break;
        }
    }
    if (fd < 0 && error == EEXIST) {
        // Every fixed name is in use: more saves of one file at once than anyone makes.
        created = SideName(folder, leaf, kind, 0) + "XXXXXX";
        fd = ::mkostemp(created.data(), O_CLOEXEC);
        if (fd >= 0)
            LockExclusively(fd);
        error = errno;
    }
    if (fd < 0)
        RaiseIoError(error);
    return fd;
}

const char* const kFileCutWhileRead = "soubor změnil jiný program, zatímco se četl; text by nebyl celý";

struct Written {
    off_t bytes = 0;
    int64_t replaced = 0;  // characters the file's encoding has no byte for
};

// Flushes `fd` to the disk; the error, or 0. A file that cannot be flushed (a pipe, a
// read-only mount) has nothing to flush.
int FlushError(int fd)
{
    return ::fdatasync(fd) != 0 && errno != EINVAL && errno != EROFS ? errno : 0;
}

// What a save writes into: a pipe or device (written as it comes), a regular file, or a regular
// file that the save flushes to the disk once it is written.
enum class Target { Stream, File, SyncedFile };

// Writes the chunks of a save one after the other into `fd`, on a second thread for a large
// text: the write into the system's cache of the file then goes on while the next chunk is
// gathered and converted. One chunk at a time is in flight; Write waits for the one before.
// A large text that is to be flushed is flushed step by step on a third thread meanwhile: a
// virtual machine's disk writes out its own cache only when flushed, and at the end a flush of
// the whole book waited for all of it (22-34 ms of a 50 MB glue's 140 on such a machine).
class ChunkWriter {
public:
    ChunkWriter(int fd, Target target, bool threaded)
        : fd(fd), start(target != Target::Stream ? ::lseek(fd, 0, SEEK_CUR) : -1),
          flushing(threaded && target == Target::SyncedFile && start >= 0)
    {
        // Without a thread to be had, the chunks are written here.
        if (threaded)
            worker = StartQuietThread([this] { Work(); });
        if (flushing)
            flusher = StartQuietThread([this] { Flush(); });
    }
    ChunkWriter(const ChunkWriter&) = delete;
    ChunkWriter& operator=(const ChunkWriter&) = delete;
    ~ChunkWriter()
    {
        if (worker.joinable()) {
            {
                std::lock_guard lock(mutex);
                closing = true;
            }
            changed.notify_all();
            worker.join();
        }
        // The caller closes the descriptor next: no flush may still be using it.
        if (flusher.joinable()) {
            {
                std::lock_guard lock(flushMutex);
                flushClosing = true;
            }
            flushChanged.notify_all();
            flusher.join();
        }
    }

    // `data` must stay as it is until the next Write or Finish returns.
    void Write(const char* data, size_t size)
    {
        if (!worker.joinable()) {
            WriteNow(data, size);
            return;
        }
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return !pending; });
        if (failure)
            std::rethrow_exception(std::exchange(failure, nullptr));
        chunk = {data, size};
        pending = true;
        changed.notify_all();
    }

    void Finish()
    {
        if (!worker.joinable())
            return;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [this] { return !pending; });
            if (failure)
                std::rethrow_exception(std::exchange(failure, nullptr));
        }
        if (!flusher.joinable())
            return;
        // A failed flush told this descriptor its error once: the final flush would not.
        std::unique_lock lock(flushMutex);
        flushChanged.wait(lock, [this] { return !flushAsked; });
        if (flushError != 0)
            RaiseIoError(flushError);
    }

private:
    static constexpr off_t kFlushStep = off_t(8) << 20;

    void WriteNow(const char* data, size_t size)
    {
        WriteAll(fd, data, size);
#ifdef __linux__
        // Start the disk on what is written while the rest is still being made, so that the
        // flush at the end has less left to wait for.
        if (start >= 0)
            ::sync_file_range(fd, start + written, off_t(size), SYNC_FILE_RANGE_WRITE);
#endif
        written += off_t(size);
        if (flushing && written - flushAskedAt >= kFlushStep) {
            std::lock_guard lock(flushMutex);
            // One flush at a time: one still running takes what came meanwhile with it next.
            if (!flushAsked) {
                flushAsked = true;
                flushAskedAt = written;
                flushChanged.notify_all();
            }
        }
    }

    void Work()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return pending || closing; });
            if (!pending)
                return;
            lock.unlock();
            std::exception_ptr error;
            try {
                if (!failure)
                    WriteNow(chunk.data(), chunk.size());
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            if (error)
                failure = error;
            pending = false;
            changed.notify_all();
        }
    }

    void Flush()
    {
        std::unique_lock lock(flushMutex);
        for (;;) {
            flushChanged.wait(lock, [this] { return flushAsked || flushClosing; });
            if (!flushAsked)
                return;
            lock.unlock();
            const int error = FlushError(fd);
            lock.lock();
            if (flushError == 0)
                flushError = error;
            flushAsked = false;
            flushChanged.notify_all();
        }
    }

    const int fd;
    const off_t start;
    const bool flushing;
    off_t written = 0;
    std::thread worker;
    std::mutex mutex;
    std::condition_variable changed;
    std::string_view chunk;
    bool pending = false;
    bool closing = false;
    std::exception_ptr failure;
    // The flusher's: whether a flush is asked for or running, at how many bytes written it was
    // last asked for, and the first error one met.
    std::thread flusher;
    std::mutex flushMutex;
    std::condition_variable flushChanged;
    bool flushAsked = false;
    bool flushClosing = false;
    off_t flushAskedAt = 0;
    int flushError = 0;
};

// Writes paragraphs as the file format wants them into `fd`, at its position, in the editor's
// file format: those `each` hands to the function it is called with, about `size` bytes of
// them. `between` runs between the large writes.
template <typename Between, typename Each>
Written WriteParagraphs(const TextEditor& editor, int64_t size, int fd, Target target, Between&& between, Each&& each)
{
    // Paragraphs are gathered into large writes; the largest paragraph and its line end
    // always fit behind what a write leaves. A large text has two stages: one is written
    // while the other is gathered.
    constexpr size_t kStage = size_t(1) << 20;
    constexpr int64_t kTwoStagesFrom = int64_t(4) << 20;
    static_assert(kStage >= kMaxLine + 2);
    const FileFormat format = editor.GetFileFormat();
    const bool crLf = format.lineEnd == LineEnd::CrLf;
    const bool converted = format.encoding != TextEncoding::Windows1250;
    const bool twoStages = size >= kTwoStagesFrom && std::thread::hardware_concurrency() > 1;
    const std::string_view mark = MarkOf(format.encoding);
    const size_t encodedSize = mark.size() + ConvertedCapacity(format.encoding, kStage);
    TextBlock stages[2] = {AllocateTextBlock(kStage), twoStages ? AllocateTextBlock(kStage) : nullptr};
    TextBlock encodings[2] = {converted ? AllocateTextBlock(encodedSize) : nullptr,
                              converted && twoStages ? AllocateTextBlock(encodedSize) : nullptr};
    int current = 0;
    char* stage = stages[0].get();
    size_t encodedStart = mark.size();
    if (converted && !mark.empty())
        std::memcpy(encodings[0].get(), mark.data(), mark.size());
    size_t staged = 0;
    Written result;
    off_t& written = result.bytes;
    ChunkWriter writer(fd, target, twoStages);
    // Hands what is staged to the writer, converted to the file's encoding where that is not
    // Windows-1250, and goes on in the other stage.
    auto flush = [&] {
        // Once over the whole stage: the line ends and the bytes set below lie outside the range.
        MapControlBytes(stage, staged);
        between();
        // Bytes of a mapped book cut short meanwhile read as NULs: never written as its text.
        if (editor.SourceChanged())
            throw EInOutError(0, kFileCutWhileRead);
        if (!converted) {
            writer.Write(stage, staged);
            written += off_t(staged);
        } else {
            char* const encoded = encodings[current].get();
            const size_t size = encodedStart + ConvertFromWindows1250(format.encoding, std::string_view(stage, staged),
                                                                      encoded + encodedStart, result.replaced);
            writer.Write(encoded, size);
            written += off_t(size);
            encodedStart = 0;  // the mark only at the start
        }
        staged = 0;
        if (twoStages) {
            current ^= 1;
            stage = stages[current].get();
        }
    };
    each([&](const std::string_view text) {
        ReadAhead(text.data());
        assert(text.size() <= kMaxLine);
        if (staged + text.size() + 2 > kStage)
            flush();
        if (!text.empty())
            std::memcpy(stage + staged, text.data(), text.size());
        // A Ctrl+Z at a line start ends the file for the loader, and all behind it would be
        // lost on the next load; anywhere else it only ends its line. It is written as a space,
        // as the other control bytes are, so the file reads back whole.
        if (!text.empty() && text.front() == kCtrlZ)
            stage[staged] = ' ';
        staged += text.size();
        // A CR in front of the LF would make a CR LF of it, and the file one with CR LF line
        // ends: an edit may have left one there, and it is written as a space.
        if (!crLf && !text.empty() && text.back() == '\r')
            stage[staged - 1] = ' ';
        if (crLf)
            stage[staged++] = '\r';
        stage[staged++] = '\n';
    });
    flush();
    writer.Finish();
    return result;
}

// The editor's own paragraphs; an empty last one is what the line end before it leaves.
template <typename Between>
Written WriteParagraphs(const TextEditor& editor, int fd, Target target, Between&& between)
{
    return WriteParagraphs(editor, editor.ByteCount(), fd, target, between, [&](auto&& add) {
        const int32_t count = editor.ParaCount();
        for (int32_t p = 1; p <= count; ++p) {
            const std::string_view text = editor.ParaText(p);
            if (p == count && text.empty())
                break;
            add(text);
        }
    });
}

void SyncData(int fd)
{
    if (const int error = FlushError(fd))
        RaiseIoError(error);
}

// Copies the whole of `from` over the start of `to`; returns the number of bytes.
off_t CopyFrom(int from, int to)
{
    if (::lseek(from, 0, SEEK_SET) < 0 || ::lseek(to, 0, SEEK_SET) < 0)
        RaiseIoError(errno);
    constexpr size_t kBlock = size_t(1) << 20;
    const TextBlock block = AllocateTextBlock(kBlock);
    off_t copied = 0;
    for (;;) {
        const ssize_t got = ::read(from, block.get(), kBlock);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            RaiseIoError(errno);
        if (got == 0)
            return copied;
        WriteAll(to, block.get(), size_t(got));
        copied += got;
    }
}

int64_t ModifiedNs(const struct stat& info) { return int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec; }

// The same file, unchanged: its identity, time of the last change and size.
bool SameState(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && ModifiedNs(a) == ModifiedNs(b) && a.st_size == b.st_size;
}

// A file with several names is written over in place, so that every name sees the new text;
// a copy of the old text beside it puts it back when the write fails or is interrupted.
int64_t SaveInPlace(const TextEditor& editor, const std::filesystem::path& target, const std::filesystem::path& folder)
{
    int64_t replaced = 0;
    FileHandle file(::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
    if (file.fd < 0)
        RaiseIoError(errno);
    std::string backupName;
    std::optional<SignalsHeld> held(std::in_place);
    FileHandle backup(CreateSideFile(folder, target.filename().string(), ".lepotex-old~", false, backupName));
    // Until the write begins, the copy is a temporary like any other: a signal removes it.
    auto copying = std::make_unique<TempRegistration>(backupName);
    held.reset();
    try {
        (void)CopyFrom(file.fd, backup.fd);
        SyncData(backup.fd);
    } catch (...) {
        ::unlink(backupName.c_str());
        throw;
    }
    {
        InPlaceWrite writing;
        copying.reset();
        try {
            InPlaceWrite::StopIfSignalled();
            if (::lseek(file.fd, 0, SEEK_SET) < 0)
                RaiseIoError(errno);
            const Written result = WriteParagraphs(editor, file.fd, Target::SyncedFile, &InPlaceWrite::StopIfSignalled);
            replaced = result.replaced;
            if (::ftruncate(file.fd, result.bytes) != 0)
                RaiseIoError(errno);
            SyncData(file.fd);
            // Gone before a signal that came meanwhile ends the process on leaving this block.
            ::unlink(backupName.c_str());
        } catch (...) {
            bool restored = false;
            try {
                restored = ::ftruncate(file.fd, CopyFrom(backup.fd, file.fd)) == 0 && ::fdatasync(file.fd) == 0;
            } catch (...) {
            }
            // Without the old text back in place, its copy is all there is: it stays.
            if (restored)
                ::unlink(backupName.c_str());
            throw;
        }
    }
    if (::close(file.Release()) != 0)
        RaiseIoError(errno);
    return replaced;
}

// The usual save: the text goes into a new file beside the target, which then takes the
// target's name in one step. Either the old file or the new one is there, whole, at any
// moment; a folder that cannot take the new file is an error, never a reason to write over
// the old one.
// `write` writes the text into the descriptor it is given and returns what WriteParagraphs does.
template <typename Write>
int64_t SaveByRename(const std::filesystem::path& target, const std::filesystem::path& folder, const struct stat* old,
                     bool keepChanges, Write&& write)
{
    int64_t replaced = 0;
    std::string tempName;
    std::optional<SignalsHeld> held(std::in_place);
    FileHandle file(CreateSideFile(folder, target.filename().string(), ".lepotex~", true, tempName));
    TempRegistration registration(tempName);
    held.reset();
    try {
        replaced = write(file.fd).replaced;
        if (old) {
            ::fchmod(file.fd, old->st_mode & 07777);
            if (::fchown(file.fd, old->st_uid, old->st_gid) != 0) {
                // Another owner's file we may write: it becomes ours, as with any editor.
            }
        } else {
            ::fchmod(file.fd, 0666 & ~processUmask);
        }
        SyncData(file.fd);
        if (::close(file.Release()) != 0)
            RaiseIoError(errno);
        // What another program wrote while this text was being written is not replaced either.
        struct stat now {};
        const bool there = ::stat(target.c_str(), &now) == 0;
        if (keepChanges && (old ? !there || !SameState(now, *old) : there))
            throw EFileChangedError();
        if (::rename(tempName.c_str(), target.c_str()) != 0)
            RaiseIoError(errno);
    } catch (...) {
        ::unlink(tempName.c_str());
        throw;
    }
    return replaced;
}

// Reads from `fd` into `into` until the end of the file or `want` bytes; returns the count.
size_t ReadFully(int fd, char* into, size_t want)
{
    size_t got = 0;
    while (got < want) {
        const ssize_t n = ::read(fd, into + got, want - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            RaiseIoError(errno);
        }
        if (n == 0)
            break;
        got += size_t(n);
    }
    return got;
}

}  // namespace

void TextEditor::LoadFromFile(const std::string& name, std::optional<TextEncoding> encoding)
{
    (void)Load(name, encoding, nullptr);
}

bool TextEditor::LoadFromFileInto(const std::string& name, std::optional<TextEncoding> encoding,
                                  LoadedParagraphSink& sink)
{
    return Load(name, encoding, &sink);
}

bool TextEditor::Load(const std::string& name, std::optional<TextEncoding> encoding, LoadedParagraphSink* sink)
{
    if (name.empty())
        return false;
    bool handedOn = false;
    bool plain = false;  // the book handed on holds no tab, CR or LF
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
        const int32_t width = EffectiveWrapWidth();
        int error = kErrNone;
        // inBlock: the bytes lie in the block being read, which the buffer then keeps.
        bool usedSinceNewBlock = false;
        bool mappedBlock = false;  // that block is the file's pages, which are never written
        const char* mappedStart = nullptr;
        size_t mappedSize = 0;
        // The paragraphs handed to the sink rather than put into the buffer, and their bytes.
        int64_t sunk = 0;
        int64_t sunkBytes = 0;
        const bool* controlsRead = nullptr;  // the reader's note of a tab, CR or LF read
        auto append = [&](std::string_view text, bool inBlock, bool mayHoldNul) {
            if (error != kErrNone)
                return;
            if (const char* nul = mayHoldNul ? static_cast<const char*>(std::memchr(text.data(), '\0', text.size())) : nullptr) {
                // A mapped page of a file another process cut short reads as NULs past the cut,
                // with no fault; if the file is made whole again within one tick of its clock,
                // its size and time tell nothing. The file itself says whether the NUL is its own.
                // (Of a mapped book, only the last line, with no line end, is handed out copied.)
                if (mappedBlock) {
                    const size_t offset = inBlock ? size_t(nul - mappedStart) : mappedSize - text.size() + size_t(nul - text.data());
                    if (!MappedFileHoldsNul(mappedStart, offset))
                        throw EInOutError(0, kFileCutWhileRead);
                    fresh->mappedNuls.emplace_back(mappedStart, offset);
                }
                text = text.substr(0, size_t(nul - text.data()));
                ++report.linesCutAtNul;
            }
            // With LF line ends a CR is a character, but one at a line's end (maybe before
            // blanks or a NUL) is what is left of a CR LF: it is trimmed like a blank, since
            // written back before the LF it would turn the whole file into a CR LF file.
            auto trailing = [lf = report.format.lineEnd == LineEnd::Lf](char c) { return IsBlank(c) || (lf && c == '\r'); };
            while (!text.empty() && trailing(text.back()))
                text.remove_suffix(1);
            // A line longer than the paragraph limit goes in as several paragraphs, each ending
            // at its last blank within the limit (or at the limit when it has none). The line's
            // own trailing blanks went first, so they never make an empty paragraph of their own.
            if (text.size() > size_t(paraLengthLimit))
                ++report.longLinesSplit;
            do {
                std::string_view piece = text;
                if (piece.size() > size_t(paraLengthLimit)) {
                    piece = text.substr(0, size_t(paraLengthLimit));
                    const size_t blank = piece.find_last_of(" \t");
                    if (blank != std::string_view::npos)
                        piece = text.substr(0, blank + 1);
                }
                text.remove_prefix(piece.size());
                while (!piece.empty() && trailing(piece.back()))
                    piece.remove_suffix(1);
                int64_t allowed = paraLimit;
                if (paraLimit < kMaxLimit)
                    ++allowed;  // the empty paragraph at the end does not count
                // Counted as the buffer counts them, with its empty last paragraph.
                const int64_t paraCount = handedOn ? sunk + 1 : int64_t(fresh->ParaCount());
                const int64_t byteCount = handedOn ? sunkBytes + 2 * sunk : fresh->ByteCount();
                if (paraCount + 1 > allowed) {
                    error = kErrTooManyParagraphs;
                } else if (byteCount + int64_t(piece.size()) + 2 > byteLimit) {
                    error = kErrTextTooLarge;
                } else if (handedOn) {
                    usedSinceNewBlock = usedSinceNewBlock || inBlock;
                    sink->Take(piece, inBlock, controlsRead && *controlsRead);
                    ++sunk;
                    sunkBytes += int64_t(piece.size());
                } else if (inBlock) {
                    usedSinceNewBlock = true;
                    fresh->AppendLoaded(Paragraph(mappedBlock ? ParaText::ReadOnly(piece) : ParaText::Borrowed(piece)),
                                        width, tabSize);
                } else {
                    fresh->AppendLoaded(Paragraph(piece), width, tabSize);
                }
            } while (!text.empty() && error == kErrNone);
        };
        // Sizes the paragraph table once from the line density of a first step, so a large
        // book is not re-allocated step by step.
        auto reserve = [&](std::string_view step, int64_t total, LineEnd lineEnd) {
            const int64_t lines = std::count(step.begin(), step.end(), lineEnd == LineEnd::Lf ? '\n' : '\r') + 1;
            const int64_t estimate = total / (int64_t(step.size()) / lines + 1) * 21 / 20 + 16;
            if (handedOn) {
                sink->Reserve(size_t(estimate));
                return;
            }
            fresh->paras.Reserve(std::ptrdiff_t(estimate));
            fresh->lines.Reserve(int32_t(std::min<int64_t>(estimate, kMaxLimit)));
        };

        // The file is read into blocks as large as the file (up to kMaxBlock), in steps of
        // kReadSize; the paragraphs then point into them.
        constexpr size_t kReadSize = 1 << 20;
        constexpr size_t kMaxBlock = size_t(64) << 20;
        const size_t fileSize = sized ? size_t(info.st_size) : 0;
        const size_t blockSize = sized ? std::min<size_t>(kMaxBlock, fileSize + 1) : kReadSize;
        // Or the whole file mapped, when it may be: nothing read yet, the first step is its start.
        TextBlock block = mapFiles && fileSize > 0 ? MapFileBlock(file.fd, fileSize) : nullptr;
        const bool mapped = bool(block);
        if (!mapped)
            block = AllocateTextBlock(blockSize);
        size_t filled = mapped ? std::min(kReadSize, fileSize) : ReadFully(file.fd, block.get(), std::min(kReadSize, blockSize));
        const std::string_view first(block.get(), filled);

        // A Windows-1250 book with CR LF line ends, by far the most common, is known from its
        // first step: it is not UTF-8 there, its high bytes are Czech, and it has a CR LF.
        // It is read step by step as it always was. Anything else is read whole first, since
        // its encoding or line end may show only further on.
        bool streamed = false;
        if (!encoding || *encoding == TextEncoding::Windows1250) {
            const bool windows1250 = encoding || (!EncodingOfMark(first) && !ScanUtf8(first, false).valid &&
                                                  DetectCodePage(first) == TextEncoding::Windows1250);
            streamed = windows1250 && std::string_view(first).find("\r\n") != std::string_view::npos &&
                       (encoding || !Utf16WithoutMark(first));
        }

        // A book read whole that the first step shows converted into a block of its own (UTF-8,
        // or an encoding given but Windows-1250 and UTF-16, converted where they lie) is
        // converted from the file's pages, mapped, rather than from a copy of the file.
        const bool convertedWhole = !streamed && [&] {
            if (encoding)
                return *encoding != TextEncoding::Windows1250 && *encoding != TextEncoding::Utf16Le &&
                       *encoding != TextEncoding::Utf16Be;
            if (const auto mark = EncodingOfMark(first))
                return *mark == TextEncoding::Utf8Bom;
            const Utf8Scan scan = ScanUtf8(first, false);
            return scan.valid && scan.multiByte;
        }();
        // The mapping spared reading the first step of a book read whole, and serves its
        // conversion where it has one.
        TextBlock source;
        if (mapped && !streamed) {
            if (convertedWhole)
                source = std::move(block);
            block.reset();
            filled = 0;
        }

        // Only a book read as it is goes to the sink: any other is made whole in the buffer first.
        handedOn = sink && streamed;
        if (streamed && mapped) {
            mappedBlock = true;
            mappedStart = block.get();
            mappedSize = fileSize;
            report.format = FileFormat{};
            reserve(first, int64_t(fileSize), LineEnd::CrLf);
            LineReader reader(LineEnd::CrLf);
            controlsRead = &reader.controls;
            const char* end = block.get() + fileSize;
            // Each page of the mapping costs a fault at its first read, and the scan would
            // wait for every one: a second thread reads one byte of each page ahead of it, so
            // the scan finds them mapped. Only reads: a page of a file cut meanwhile faults
            // there as it would in the scan, and the check after the scan tells.
            std::jthread toucher;
            if (fileSize >= kTouchAheadFrom) {
                try {
                    toucher = std::jthread([from = block.get() + kReadSize, end](std::stop_token stop) {
                        for (const char* page = from; page < end && !stop.stop_requested(); page += 4096)
                            (void)*static_cast<const volatile char*>(page);
                    });
                } catch (const std::system_error&) {
                    // No thread to be had: the scan faults the pages in itself.
                }
            }
            const char* stop = reader.Feed(block.get(), end, append);
            // A scan that stopped at an end mark reads no further, and nor need the pages.
            toucher.request_stop();
            if (toucher.joinable())
                toucher.join();
            if (stop != end)
                report.bytesAfterEndMark = (end - stop) - 1;
            else
                reader.Finish(append);
            if (MappedFileChanged(block.get()))
                throw EInOutError(0, kFileCutWhileRead);
            if (usedSinceNewBlock)
                fresh->blocks.push_back(std::move(block));
            plain = !reader.controls;
            fresh->plainText = handedOn || plain;
        } else if (streamed) {
            report.format = FileFormat{};
            LineReader reader(LineEnd::CrLf);
            controlsRead = &reader.controls;
            int64_t readBefore = 0;  // bytes of the file before the current step
            size_t got = filled;
            filled = 0;
            if (sized)
                reserve(first, int64_t(fileSize), LineEnd::CrLf);
            for (bool firstStep = true;; firstStep = false) {
                if (!firstStep) {
                    if (filled == blockSize) {
                        if (usedSinceNewBlock)
                            fresh->blocks.push_back(std::move(block));
                        block = AllocateTextBlock(blockSize);
                        filled = 0;
                        usedSinceNewBlock = false;
                    }
                    const ssize_t n = ::read(file.fd, block.get() + filled, std::min(kReadSize, blockSize - filled));
                    if (n < 0) {
                        if (errno == EINTR)
                            continue;
                        RaiseIoError(errno);
                    }
                    got = size_t(n);
                }
                if (got == 0) {
                    reader.Finish(append);
                    break;
                }
                char* start = block.get() + filled;
                filled += got;
                const char* stop = reader.Feed(start, start + got, append);
                if (stop != start + got) {
                    const int64_t markAt = readBefore + (stop - start);
                    // The mark itself is the old way to end a text file, and no loss.
                    report.bytesAfterEndMark = (sized ? int64_t(fileSize) - markAt : (start + got) - stop) - 1;
                    break;
                }
                readBefore += int64_t(got);
                if (error != kErrNone)
                    break;
            }
            if (block && usedSinceNewBlock)
                fresh->blocks.push_back(std::move(block));
            plain = !reader.controls;
            fresh->plainText = handedOn || plain;
        } else {
            // The file's pages are let go once converted; a book kept as it is (or converted
            // where it lies, or found to be no UTF-8 after all) is read whole into one block.
            if (convertedWhole && !mapped && sized && fileSize >= kMapToConvertFrom)
                source = MapFileBlock(file.fd, fileSize);
            TextBlock converted;
            std::string_view text;
            Replacements replaced;
            TextEncoding found = TextEncoding::Windows1250;
            // From `bytes` (in `block` when `writable`): the encoding found and the text.
            auto decode = [&](std::string_view bytes, bool writable) {
                converted.reset();
                text = bytes;
                replaced = {};
                found = TextEncoding::Windows1250;
                const bool detect = !encoding && !EncodingOfMark(bytes);
                const auto unmarked = detect ? Utf16WithoutMark(bytes) : std::nullopt;
                if (unmarked) {
                    found = *unmarked;
                } else if (detect) {
                    // Tried as UTF-8 first, converting as it goes; what is no UTF-8 is a code page.
                    if (const auto length = ConvertIfUtf8(bytes, converted, replaced)) {
                        found = TextEncoding::Utf8;
                        text = std::string_view(converted.get(), *length);
                    } else {
                        found = DetectCodePage(bytes);
                    }
                } else {
                    found = ResolveEncoding(bytes, encoding);
                    if (found != TextEncoding::Windows1250 && EncodingOfMark(bytes) == found)
                        bytes.remove_prefix(MarkLength(found));
                }
                if (converted) {
                    // Converted on the way.
                } else if (!writable) {
                    // Kept as it is, or converted where it lies: read into a block of its own.
                } else if (found == TextEncoding::Utf16Le || found == TextEncoding::Utf16Be) {
                    // Half as long as Windows-1250: converted where it lies, with no second block
                    // of the book's size to fill. The mark goes with it (it reads as nothing), so
                    // that a ligature the text starts with has the mark's room to be spelt out in.
                    const std::string_view marked(block.get(), size_t(bytes.data() + bytes.size() - block.get()));
                    text = std::string_view(block.get(), ConvertToWindows1250(found, marked, block.get(), replaced));
                } else if (found != TextEncoding::Windows1250) {
                    converted = AllocateTextBlock(bytes.size() + 1);
                    text = std::string_view(converted.get(), ConvertToWindows1250(found, bytes, converted.get(), replaced));
                }
            };
            bool decoded = false;
            if (source) {
                decode(std::string_view(source.get(), fileSize), false);
                // A NUL in a mapped page may be what is left of a file cut meanwhile: such a
                // rare book is read instead, as is one that changed while it was converted.
                decoded = converted && !std::memchr(source.get(), '\0', fileSize) && !MappedFileChanged(source.get());
                source.reset();
                if (decoded)
                    block.reset();  // nor are the first step's bytes needed
            }
            if (!decoded) {
                if (!block) {  // mapped, nothing read yet
                    block = AllocateTextBlock(blockSize);
                    filled = ReadFully(file.fd, block.get(), std::min(kReadSize, blockSize));
                }
                // The whole file in one block.
                size_t capacity = sized ? fileSize + 1 : blockSize;
                if (capacity > blockSize) {
                    TextBlock whole = AllocateTextBlock(capacity);
                    std::memcpy(whole.get(), block.get(), filled);
                    block = std::move(whole);
                }
                for (;;) {
                    if (filled == capacity) {
                        capacity *= 2;
                        TextBlock larger = AllocateTextBlock(capacity);
                        std::memcpy(larger.get(), block.get(), filled);
                        block = std::move(larger);
                    }
                    const size_t got = ReadFully(file.fd, block.get() + filled, capacity - filled);
                    filled += got;
                    if (got == 0 || filled < capacity)
                        break;
                }
                decode(std::string_view(block.get(), filled), true);
                if (converted)
                    block.reset();  // the file's own bytes are no longer needed
            }
            const LineEnd lineEnd = FindLineEnd(text);
            report.format = FileFormat{found, lineEnd};
            if (replaced.count > 0) {
                report.charsReplaced = replaced.count;
                report.firstReplaced = replaced.first;
                const std::string_view before = text.substr(0, size_t(replaced.firstOffset));
                report.firstReplacedLine =
                    std::count(before.begin(), before.end(), lineEnd == LineEnd::Lf ? '\n' : '\r') + 1;
            }
            reserve(text.substr(0, kReadSize), int64_t(text.size()), lineEnd);
            LineReader reader(lineEnd);
            const char* stop = reader.Feed(text.data(), text.data() + text.size(), append);
            if (stop != text.data() + text.size())
                report.bytesAfterEndMark = (text.data() + text.size() - stop) - 1;
            else
                reader.Finish(append);
            if (usedSinceNewBlock)
                fresh->blocks.push_back(converted ? std::move(converted) : std::move(block));
            fresh->plainText = !reader.controls;
        }
        if (error != kErrNone)
            RaiseEditorError(error);
        // A read that another process's cut of the file overtook may have brought back zeros
        // for the book's bytes, and one that a write overtook half of either text: a file that
        // changed while it was read is no book to take.
        if (struct stat after {}; sized && ::fstat(file.fd, &after) == 0 && !SameState(after, info))
            throw EInOutError(0, kFileCutWhileRead);
        if (::close(file.Release()) != 0)
            RaiseIoError(errno);
        report.oldTextCopy = FindOldTextCopy(name);
        buffer = std::move(fresh);
        sourceChanged = false;
        loadReport = report;
        fileFormat = report.format;
        if (sized)
            knownFile = FileIdentity{std::filesystem::absolute(name).lexically_normal(), uint64_t(info.st_dev),
                                     uint64_t(info.st_ino), ModifiedNs(info), int64_t(info.st_size)};
        else
            knownFile.reset();
    } catch (...) {
        isOpen = false;
        throw;
    }
    isOpen = true;
    ResetView();
    if (handedOn)
        sink->Finish(plain);
    return handedOn;
}

bool TextEditor::SourceChanged() const
{
    return sourceChanged ||
           std::any_of(buffer->blocks.begin(), buffer->blocks.end(),
                       [](const TextBlock& block) { return MappedFileChanged(block.get()); }) ||
           std::any_of(buffer->mappedNuls.begin(), buffer->mappedNuls.end(),
                       [](const auto& nul) { return !MappedFileHoldsNul(nul.first, nul.second); });
}

void TextEditor::PrepareSave(unsigned long long device, unsigned long long inode)
{
    if (SourceChanged())
        throw EInOutError(0, kFileCutWhileRead);
    for (TextBlock& block : buffer->blocks) {
        const size_t length = MappedFileLength(block.get(), device, inode);
        if (length == 0)
            continue;
        // Written over in place, the file would change under the paragraphs being written.
        TextBlock copy = AllocateTextBlock(length);
        std::memcpy(copy.get(), block.get(), length);
        if (MappedFileChanged(block.get()))
            throw EInOutError(0, kFileCutWhileRead);
        const char* const from = block.get();
        for (std::ptrdiff_t i = 0; i < buffer->paras.Length(); ++i) {
            lepotex::ParaText& text = buffer->paras[i].text;
            if (text.data() >= from && text.data() < from + length)
                text = lepotex::ParaText::Borrowed({copy.get() + (text.data() - from), text.size()});
        }
        block = std::move(copy);
    }
}

void TextEditor::SaveToFile(const std::string& name, bool overwriteChanged)
{
    (void)SaveToFileFrom(name, overwriteChanged, nullptr, 0);
}

bool TextEditor::SaveProducedToFile(const std::string& name, int64_t size, const ParagraphProducer& produce,
                                    bool overwriteChanged)
{
    return SaveToFileFrom(name, overwriteChanged, &produce, size);
}

bool TextEditor::SaveToFileFrom(const std::string& name, bool overwriteChanged, const ParagraphProducer* produce,
                                int64_t producedSize)
{
    if (name.empty())
        return !produce;
    if (produce) {
        // The text comes from elsewhere, read meanwhile from the mapped book; the file is only
        // ever replaced, never written over, so the book's pages need no copy.
        if (SourceChanged())
            throw EInOutError(0, kFileCutWhileRead);
    } else if (struct stat named {}; ::stat(name.c_str(), &named) == 0) {
        PrepareSave(named.st_dev, named.st_ino);
    } else {
        PrepareSave(0, 0);
    }
    WatchTerminatingSignals();
    const SaveTarget target = ResolveTarget(name);
    if (target.descriptor >= 0) {
        if (produce)
            return false;
        SaveToDescriptor(target.descriptor);
        return true;
    }
    std::filesystem::path folder = target.path.parent_path();
    if (folder.empty())
        folder = ".";

    struct stat old {};
    const bool exists = ::stat(target.path.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        RaiseIoError(errno);
    // The file last loaded or saved must be as it was left, at the name it had: another
    // program may have written it, put a new file there, or removed it.
    const bool keepChanges = knownFile && !overwriteChanged;
    if (keepChanges) {
        const bool sameName = std::filesystem::absolute(name).lexically_normal() == knownFile->path;
        const bool sameFile = exists && uint64_t(old.st_dev) == knownFile->device && uint64_t(old.st_ino) == knownFile->inode;
        if (sameFile ? ModifiedNs(old) != knownFile->modifiedNs || int64_t(old.st_size) != knownFile->size : sameName)
            throw EFileChangedError();
    }
    // The text written into the descriptor given: the editor's, or the one produced.
    auto write = [&](int fd) {
        if (!produce)
            return WriteParagraphs(*this, fd, Target::SyncedFile, [] {});
        return WriteParagraphs(*this, producedSize, fd, Target::SyncedFile, [] {}, [&](auto&& add) {
            (*produce)([&](std::string_view text) {
                // A stage holds the longest paragraph an editor can have, and no longer one.
                if (text.size() > kMaxLine)
                    RaiseEditorError(kErrParagraphTooLong);
                add(text);
            });
        });
    };
    if (produce && exists && (!S_ISREG(old.st_mode) || old.st_nlink > 1))
        return false;  // written into or over in place: from the editor only
    if (!exists) {
        saveReplacements = SaveByRename(target.path, folder, nullptr, keepChanges, write);
    } else if (S_ISDIR(old.st_mode)) {
        RaiseIoError(EISDIR);
    } else if (!S_ISREG(old.st_mode)) {
        // A device, a pipe or the like is written into: replacing it would put a plain file
        // where the device was.
        FileHandle file(::open(target.path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
        if (file.fd < 0)
            RaiseIoError(errno);
        saveReplacements = WriteParagraphs(*this, file.fd, Target::Stream, [] {}).replaced;
        SyncData(file.fd);
        if (::close(file.Release()) != 0)
            RaiseIoError(errno);
    } else if (::access(target.path.c_str(), W_OK) != 0) {
        RaiseIoError(errno);
    } else if ((old.st_mode & 0222) == 0) {
        // A file nobody may write is read-only for us too, even where the system would let us.
        RaiseIoError(EACCES);
    } else if (old.st_nlink > 1) {
        saveReplacements = SaveInPlace(*this, target.path, folder);
    } else {
        saveReplacements = SaveByRename(target.path, folder, &old, keepChanges, write);
    }
    struct stat saved {};
    if (::stat(target.path.c_str(), &saved) == 0 && S_ISREG(saved.st_mode))
        knownFile = FileIdentity{std::filesystem::absolute(name).lexically_normal(), uint64_t(saved.st_dev),
                                 uint64_t(saved.st_ino), ModifiedNs(saved), int64_t(saved.st_size)};
    else
        knownFile.reset();
    SetModified(false);
    return true;
}

std::string TextEditor::FindOldTextCopy(const std::string& name)
{
    SaveTarget target;
    try {
        target = ResolveTarget(name);
    } catch (const EInOutError&) {
        return {};
    }
    if (target.descriptor >= 0)
        return {};
    std::filesystem::path folder = target.path.parent_path();
    if (folder.empty())
        folder = ".";
    for (int number = 1; number <= kSideNames; ++number) {
        const std::string copy = SideName(folder, target.path.filename().string(), ".lepotex-old~", number);
        FileHandle file(::open(copy.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
        struct stat info {};
        // A locked copy belongs to a save that is running now.
        if (file.fd >= 0 && ::fstat(file.fd, &info) == 0 && S_ISREG(info.st_mode) && LockExclusively(file.fd))
            return copy;
    }
    return {};
}

void TextEditor::RestoreOldTextCopy(const std::string& name, const std::string& copy)
{
    const SaveTarget target = ResolveTarget(name);
    FileHandle from(::open(copy.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (from.fd < 0)
        RaiseIoError(errno);
    if (!LockExclusively(from.fd))
        RaiseIoError(EBUSY);
    FileHandle to(::open(target.path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    if (to.fd < 0)
        RaiseIoError(errno);
    if (::ftruncate(to.fd, CopyFrom(from.fd, to.fd)) != 0)
        RaiseIoError(errno);
    SyncData(to.fd);
    if (::close(to.Release()) != 0)
        RaiseIoError(errno);
    ::unlink(copy.c_str());
}

struct SignalSafeTemporary::Registration {
    explicit Registration(const std::string& path) : held(path) {}
    TempRegistration held;
};

SignalSafeTemporary::SignalSafeTemporary(std::string pattern) : name(std::move(pattern))
{
    WatchTerminatingSignals();
    SignalsHeld held;
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        RaiseIoError(errno);
    registration = std::make_unique<Registration>(name);
}

SignalSafeTemporary::~SignalSafeTemporary()
{
    ::close(fd);
    ::unlink(name.c_str());
    registration.reset();
}

void TextEditor::SaveToDescriptor(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0)
        RaiseIoError(errno);
    if ((flags & O_ACCMODE) == O_RDONLY)
        RaiseIoError(EBADF);
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    PrepareSave(regular ? info.st_dev : 0, regular ? info.st_ino : 0);
    saveReplacements = WriteParagraphs(*this, fd, regular ? Target::File : Target::Stream, [] {}).replaced;
    SetModified(false);
}

}  // namespace lepotex
