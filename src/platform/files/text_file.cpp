#include "platform/files/text_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/files/binary_file.h"
#include "platform/error.h"

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
    if (end_ == 0 && std::ferror(file_)) throw Error(name_ + ": read error in line " + std::to_string(line));
    return end_ > 0;
}

bool TextLineReader::AtEnd() { return !in_.Fill(line_ + 1); }

void TextLineReader::ReadLine(std::string& line, size_t keep)
{
    line.clear();
    if (AtEnd())
        throw Error(Name() + ": the file ends before line " + std::to_string(line_ + 1));
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
}  // namespace

ReplacingFileWriter::ReplacingFileWriter(const std::string& target) : target_(target)
{
    struct stat st {};
    bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) throw Error(target + ": is a folder, not a file");
    std::string pattern = Folder(target) + "/." + BaseName(target) + ".XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    int fd = ::mkstemp(buf.data());
    if (fd < 0) {
        int err = errno;
        throw Error(target + ": cannot write in folder " + Folder(target) + ": " + std::strerror(err));
    }
    temp_ = buf.data();
    // mkstemp makes the file private; give it the mode an ordinary new file
    // would get, or the mode of the file it replaces.
    mode_t mode = 0666;
    if (exists) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    ::fchmod(fd, mode);
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        ::close(fd);
        ::unlink(temp_.c_str());
        throw Error(target + ": cannot write: " + std::strerror(errno));
    }
}

ReplacingFileWriter::~ReplacingFileWriter()
{
    if (file_) std::fclose(file_);
    if (!committed_ && !temp_.empty()) ::unlink(temp_.c_str());
}

void ReplacingFileWriter::Fail(const std::string& what)
{
    int err = errno;
    throw Error(target_ + ": " + what + ": " + std::strerror(err));
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
    if (::rename(temp_.c_str(), target_.c_str()) != 0) Fail("cannot replace the file");
    committed_ = true;
}

}  // namespace tessaly
