#include "platform/files/text_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <tuple>
#include <unistd.h>
#include <utility>

#include "platform/files/binary_file.h"
#include "platform/error.h"
#include "platform/signal_cleanup.h"

namespace tessaly {

BufferedInput::BufferedInput(const std::string& name)
    : name_(name), file_(OpenForReading(name)), buf_(size_t{1} << 16, '\0')
{
}

BufferedInput::~BufferedInput()
{
    if (file_) std::fclose(file_);
}

bool BufferedInput::Refill(int64_t line)
{
    pos_ = 0;
    end_ = std::fread(buf_.data(), 1, buf_.size(), file_);
    if (end_ == 0 && std::ferror(file_)) FailFile(name_, "read error in line " + std::to_string(line));
    return end_ > 0;
}

bool TextLineReader::AtEnd() { return !in_.Fill(line_ + 1); }

void TextLineReader::ReadLine(std::string& line, size_t keep)
{
    line.clear();
    if (AtEnd())
        FailFile(Name(), "the file ends before line " + std::to_string(line_ + 1));
    ++line_;
    while (in_.Fill(line_)) {
        const char* begin = in_.Begin();
        const void* cr = std::memchr(begin, '\r', static_cast<size_t>(in_.End() - begin));
        const char* stop = cr ? static_cast<const char*>(cr) : in_.End();
        size_t n = static_cast<size_t>(stop - begin);
        if (line.size() < keep) line.append(begin, std::min(n, keep - line.size()));
        in_.Skip(n);
        if (cr) {
            in_.Skip(1);  // the carriage return
            if (in_.Fill(line_) && *in_.Begin() == '\n') in_.Skip(1);
            return;
        }
    }
}

namespace {
thread_local bool t_noLinks = false;

// An open descriptor, closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }
    void Reset(int fd)
    {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

// NAME's folder and last part. A name that ends in a slash (or is empty)
// names a folder: its last part is ".".
std::pair<std::string, std::string> Split(const std::string& name)
{
    if (name.empty() || name.ends_with('/')) return {name.empty() ? "." : name, "."};
    const auto slash = name.find_last_of('/');
    if (slash == std::string::npos) return {".", name};
    return {slash == 0 ? "/" : name.substr(0, slash), name.substr(slash + 1)};
}

// Write-protected the way a shell redirect or cp sees it. Root may write
// any file, so for root only a file without any write permission counts.
bool ReadOnly(int folder, const std::string& name, const struct stat& st)
{
    const uid_t me = ::geteuid();
    if (me == 0) return (st.st_mode & 0222) == 0;
    if (st.st_uid == me) return (st.st_mode & S_IWUSR) == 0;
    return ::faccessat(folder, name.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES;
}

// ".NAME.XXXXXX" with six random letters, NAME cut (never inside a UTF-8
// sequence) so that the temporary name fits where the target's name fits.
std::string TemporaryName(int folder, const std::string& name)
{
    const long limit = ::fpathconf(folder, _PC_NAME_MAX);
    const size_t nameMax = limit > 8 ? static_cast<size_t>(limit) : 255;
    std::string base = name;
    if (base.size() + 8 > nameMax) {
        size_t keep = nameMax - 8;
        while (keep > 0 && (static_cast<unsigned char>(base[keep]) & 0xC0) == 0x80) --keep;
        base.resize(keep);
    }
    // splitmix64, seeded once a thread.
    thread_local uint64_t state = (uint64_t{std::random_device{}()} << 32) ^ std::random_device{}();
    uint64_t z = (state += 0x9E3779B97F4A7C15);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
    z ^= z >> 31;
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string temp = "." + base + ".";
    for (int i = 0; i < 6; ++i, z /= 62) temp += kLetters[z % 62];
    return temp;
}

// A write beyond the file-size limit (ulimit -f) then fails with EFBIG
// through the usual failure path instead of ending the program.
void IgnoreFileSizeSignal()
{
    struct sigaction old {};
    if (::sigaction(SIGXFSZ, nullptr, &old) == 0 && !(old.sa_flags & SA_SIGINFO) && old.sa_handler == SIG_DFL)
        std::signal(SIGXFSZ, SIG_IGN);
}

// Whether an unnamed file can be given a name. linkat with AT_EMPTY_PATH
// does it for whoever opened the file from Linux 6.10 on; before, only with
// a capability an ordinary user (and root in many containers) lacks, and
// /proc/self/fd is the way.
bool CanNameUnnamed()
{
    static const bool can = [] {
        utsname u {};
        int major = 0, minor = 0;
        if (::uname(&u) == 0 && std::sscanf(u.release, "%d.%d", &major, &minor) == 2 &&
            (major > 6 || (major == 6 && minor >= 10)))
            return true;
        return ::access("/proc/self/fd", X_OK) == 0;
    }();
    return can;
}
}  // namespace

NoWritingThroughLinks::NoWritingThroughLinks() : previous_(std::exchange(t_noLinks, true)) {}
NoWritingThroughLinks::~NoWritingThroughLinks() { t_noLinks = previous_; }

ReplacingFileWriter::ReplacingFileWriter(const std::string& target) : target_(target)
{
    IgnoreFileSizeSignal();
    // Each link is looked at through a descriptor of the link itself (owner
    // and text from the same link, whatever replaces it meanwhile), relative
    // to its folder's descriptor. The file finally replaced is never opened:
    // the rename replaces whatever then has its name, a link put there since
    // included, and writes through nothing.
    auto [folderName, name] = Split(target);
    Descriptor folder(::open(folderName.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat st {};
    for (int hops = 0;; ++hops) {
        if (folder.Get() < 0) {
            const int err = errno;
            if (hops > 0 && err == ENOENT) FailFile(target, "is a symbolic link that leads nowhere; it is not followed");
            FailFile(target, "cannot write in folder " + QuotedName(folderName) + ": " + std::strerror(err));
        }
        Descriptor entry(::openat(folder.Get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (entry.Get() < 0) {
            const int err = errno;
            if (err != ENOENT)
                FailFile(target, "cannot write in folder " + QuotedName(folderName) + ": " + std::strerror(err));
            if (hops > 0) FailFile(target, "is a symbolic link that leads nowhere; it is not followed");
            break;
        }
        if (::fstat(entry.Get(), &st) != 0) FailFile(target, std::string("cannot write: ") + std::strerror(errno));
        if (!S_ISLNK(st.st_mode)) {
            existed_ = true;
            break;
        }
        if (t_noLinks) FailFile(target, "is a symbolic link, which a batch never writes through");
        struct stat holder {};
        if (::fstat(folder.Get(), &holder) != 0) FailFile(target, std::string("cannot write: ") + std::strerror(errno));
        if (st.st_uid != ::geteuid() && st.st_uid != holder.st_uid)
            FailFile(target, "is a symbolic link that belongs to neither you nor the folder's owner; it is not followed");
        if (hops == 40) FailFile(target, "too many levels of symbolic links");
        std::string text(PATH_MAX, '\0');
        const ssize_t n = ::readlinkat(entry.Get(), "", text.data(), text.size());
        if (n < 0 || static_cast<size_t>(n) >= text.size())
            FailFile(target, std::string("cannot read the symbolic link: ") + std::strerror(n < 0 ? errno : ENAMETOOLONG));
        text.resize(static_cast<size_t>(n));
        std::tie(folderName, name) = Split(text);
        folder.Reset(::openat(folder.Get(), folderName.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    if (existed_ && S_ISDIR(st.st_mode)) FailFile(target, "is a folder, not a file");
    if (existed_ && ReadOnly(folder.Get(), name, st)) FailFile(target, "is read-only");
    folder_ = folder.Get();  // released once nothing can fail any more
    name_ = name;

    // A new file gets the mode an ordinary new file would get; a replaced
    // one its owner, group and permissions, which a private file takes on
    // before any byte goes in. Set-user-id and set-group-id bits are never
    // carried over.
    const mode_t mode = existed_ ? 0600 : 0666;
    int fd = -1;
    if (CanNameUnnamed()) {
        fd = ::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
        unnamed_ = fd >= 0;
    }
    if (fd < 0) {
        // No unnamed files here: a named one, removed on failure or signal.
        cleanup::SignalsHeld held;
        for (int tries = 0; tries < 100; ++tries) {
            temp_ = TemporaryName(folder_, name_);
            fd = ::openat(folder_, temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            if (fd >= 0 || errno != EEXIST) break;
        }
        if (fd < 0) {
            const int err = errno;
            temp_.clear();
            Discard();
            FailFile(target, "cannot write in folder " + QuotedName(folderName) + ": " + std::strerror(err));
        }
        entry_ = cleanup::AddFile(folder_, temp_);
    }
    if (existed_) {
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
        ::fchmod(fd, st.st_mode & 0777);
    }
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        const int err = errno;
        ::close(fd);
        Discard();
        FailFile(target, std::string("cannot write: ") + std::strerror(err));
    }
    folder.Release();
}

ReplacingFileWriter::~ReplacingFileWriter()
{
    if (file_) std::fclose(file_);
    if (!committed_) Discard();
    if (folder_ >= 0) ::close(folder_);
}

void ReplacingFileWriter::Discard()
{
    if (!temp_.empty()) ::unlinkat(folder_, temp_.c_str(), 0);
    cleanup::RemoveFile(entry_);
    entry_ = nullptr;
    temp_.clear();
}

void ReplacingFileWriter::Fail(const std::string& what)
{
    int err = errno;
    FailFile(target_, what + ": " + std::strerror(err));
}

void ReplacingFileWriter::Write(std::string_view bytes)
{
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) Fail("write failed");
}

// Gives the unnamed file NAME in the folder; false with errno set when it
// cannot (EEXIST when NAME is taken).
bool ReplacingFileWriter::NameUnnamed(const std::string& name)
{
    const int fd = ::fileno(file_);
    if (::linkat(fd, "", folder_, name.c_str(), AT_EMPTY_PATH) == 0) return true;
    if (errno == EEXIST) return false;
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), folder_, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// Names the unnamed file with a hidden temporary name, registered for
// removal on a signal before it exists: between the name and the rename over
// the target nothing else happens, the narrowest window a kill can hit.
void ReplacingFileWriter::NameTemporary()
{
    for (int tries = 0; tries < 100; ++tries) {
        temp_ = TemporaryName(folder_, name_);
        entry_ = cleanup::AddFile(folder_, temp_);
        if (NameUnnamed(temp_)) return;
        const int err = errno;
        cleanup::RemoveFile(entry_);
        entry_ = nullptr;
        temp_.clear();
        errno = err;
        if (err != EEXIST) break;
    }
    Fail("cannot name the file written");
}

void ReplacingFileWriter::Commit()
{
    if (std::fflush(file_) != 0) Fail("write failed");
    if (::fsync(::fileno(file_)) != 0) Fail("write failed");
    if (unnamed_) {
        // A new file is named at once, nothing to replace. Otherwise (or
        // when the name was taken meanwhile) it gets a temporary name first
        // and is renamed over the target.
        if (!existed_) {
            committed_ = NameUnnamed(name_);
            if (!committed_ && errno != EEXIST) Fail("cannot name the file written");
        }
        if (!committed_) NameTemporary();
    }
    std::FILE* f = std::exchange(file_, nullptr);
    if (std::fclose(f) != 0 && !committed_) Fail("write failed");
    if (committed_) return;
    if (::renameat(folder_, temp_.c_str(), folder_, name_.c_str()) != 0) Fail("cannot replace the file");
    committed_ = true;
    cleanup::RemoveFile(entry_);
    entry_ = nullptr;
}

bool BoundedLines::Read(std::string& line)
{
    line.clear();
    cut_ = false;
    if (afterCr_) {
        afterCr_ = false;
        if (in_.Fill(line_) && *in_.Begin() == '\n') in_.Skip(1);
    }
    if (!in_.Fill(line_ + 1)) return false;
    ++line_;
    while (in_.Fill(line_)) {
        const char* begin = in_.Begin();
        const char* stop = std::find_if(begin, in_.End(), [](char c) { return c == '\r' || c == '\n'; });
        const size_t n = static_cast<size_t>(stop - begin);
        const size_t room = max_ - line.size();
        line.append(begin, std::min(n, room));
        cut_ = cut_ || n > room;
        in_.Skip(n);
        if (stop != in_.End()) {
            afterCr_ = *stop == '\r';
            in_.Skip(1);
            break;
        }
    }
    return true;
}

}  // namespace tessaly
