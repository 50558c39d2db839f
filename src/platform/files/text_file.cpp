#include "platform/files/text_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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
std::string Folder(const std::string& path)
{
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}
std::string BaseName(const std::string& path)
{
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a name leads to: symbolic links followed, as a shell redirect
// follows them, so that a link is written through and stays a link. A link
// to a file that does not exist yet leads to that file.
std::string FollowLinks(const std::string& name)
{
    std::string path = name;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0 || static_cast<size_t>(n) >= link.size()) return path;
        link.resize(static_cast<size_t>(n));
        path = link.starts_with('/') ? link : Folder(path) + "/" + link;
    }
    FailFile(name, "too many levels of symbolic links");
}

// Write-protected the way a shell redirect or cp sees it. Root may write
// any file, so for root only a file without any write permission counts.
bool ReadOnly(const std::string& path, const struct stat& st)
{
    const uid_t me = ::geteuid();
    if (me == 0) return (st.st_mode & 0222) == 0;
    if (st.st_uid == me) return (st.st_mode & S_IWUSR) == 0;
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES;
}

// ".NAME.XXXXXX" beside the file, NAME cut (never inside a UTF-8 sequence)
// so that the temporary name fits where the target's name fits.
std::string TemporaryPattern(const std::string& path)
{
    const std::string folder = Folder(path);
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    const size_t nameMax = limit > 8 ? static_cast<size_t>(limit) : 255;
    std::string base = BaseName(path);
    if (base.size() + 8 > nameMax) {
        size_t keep = nameMax - 8;
        while (keep > 0 && (static_cast<unsigned char>(base[keep]) & 0xC0) == 0x80) --keep;
        base.resize(keep);
    }
    return folder + "/." + base + ".XXXXXX";
}

// A write beyond the file-size limit (ulimit -f) then fails with EFBIG
// through the usual failure path instead of ending the program.
void IgnoreFileSizeSignal()
{
    struct sigaction old {};
    if (::sigaction(SIGXFSZ, nullptr, &old) == 0 && !(old.sa_flags & SA_SIGINFO) && old.sa_handler == SIG_DFL)
        std::signal(SIGXFSZ, SIG_IGN);
}
}  // namespace

ReplacingFileWriter::ReplacingFileWriter(const std::string& target) : target_(target), path_(FollowLinks(target))
{
    IgnoreFileSizeSignal();
    struct stat st {};
    const bool exists = ::stat(path_.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) FailFile(target, "is a folder, not a file");
    if (exists && ReadOnly(path_, st)) FailFile(target, "is read-only");
    std::string pattern = TemporaryPattern(path_);
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    int fd = ::mkstemp(buf.data());
    if (fd < 0) {
        int err = errno;
        FailFile(target, "cannot write in folder " + QuotedName(Folder(path_)) + ": " + std::strerror(err));
    }
    temp_ = buf.data();
    slot_ = cleanup::AddFile(temp_);
    // mkstemp makes the file private; give it the mode an ordinary new file
    // would get, or the owner, group and permissions of the file it
    // replaces. Set-user-id and set-group-id bits are never carried over.
    mode_t mode = 0666;
    if (exists) {
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
        mode = st.st_mode & 0777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    ::fchmod(fd, mode);
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        ::close(fd);
        Discard();
        FailFile(target, std::string("cannot write: ") + std::strerror(errno));
    }
}

ReplacingFileWriter::~ReplacingFileWriter()
{
    if (file_) std::fclose(file_);
    if (!committed_) Discard();
}

void ReplacingFileWriter::Discard()
{
    if (!temp_.empty()) ::unlink(temp_.c_str());
    cleanup::RemoveFile(slot_);
    slot_ = -1;
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

void ReplacingFileWriter::Commit()
{
    if (std::fflush(file_) != 0) Fail("write failed");
    if (::fsync(::fileno(file_)) != 0) Fail("write failed");
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0) Fail("write failed");
    if (::rename(temp_.c_str(), path_.c_str()) != 0) Fail("cannot replace the file");
    committed_ = true;
    cleanup::RemoveFile(slot_);
    slot_ = -1;
}

}  // namespace tessaly
