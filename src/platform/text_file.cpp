#include "platform/text_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/binary_file.h"
#include "platform/error.h"

namespace tessaly {

TextLineReader::TextLineReader(const std::string& name) : name_(name), file_(OpenForReading(name)) {}

TextLineReader::~TextLineReader()
{
    if (file_) std::fclose(file_);
}

// Refills the buffer when it is used up; false at the end of the file.
bool TextLineReader::Fill()
{
    if (pos_ < buf_.size()) return true;
    buf_.resize(1 << 16);
    size_t got = std::fread(buf_.data(), 1, buf_.size(), file_);
    if (got == 0 && std::ferror(file_))
        throw Error(name_ + ": read error after line " + std::to_string(line_));
    buf_.resize(got);
    pos_ = 0;
    return got > 0;
}

bool TextLineReader::AtEnd() { return !Fill(); }

void TextLineReader::ReadLine(std::string& line, size_t keep)
{
    line.clear();
    if (AtEnd())
        throw Error(name_ + ": the file ends before line " + std::to_string(line_ + 1));
    ++line_;
    while (Fill()) {
        const char* begin = buf_.data() + pos_;
        const char* end = buf_.data() + buf_.size();
        const void* cr = std::memchr(begin, '\r', static_cast<size_t>(end - begin));
        const char* stop = cr ? static_cast<const char*>(cr) : end;
        size_t n = static_cast<size_t>(stop - begin);
        if (line.size() < keep) line.append(begin, std::min(n, keep - line.size()));
        pos_ += n;
        if (cr) {
            ++pos_;  // the carriage return
            if (Fill() && buf_[pos_] == '\n') ++pos_;
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
