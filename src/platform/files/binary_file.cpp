#include "platform/files/binary_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/error.h"

namespace tessaly {

std::FILE* OpenForReading(const std::string& name)
{
    // O_NONBLOCK keeps the open of a FIFO without a writer from hanging; the
    // file type is then checked before a single byte is read.
    int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        if (err == ENOENT || err == ENOTDIR) FailFile(name, "file not found");
        if (err == EACCES) FailFile(name, "permission denied");
        FailFile(name, std::string("cannot open: ") + std::strerror(err));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        bool dir = S_ISDIR(st.st_mode);
        ::close(fd);
        FailFile(name, dir ? "is a folder, not a file" : "is not an ordinary file");
    }
    int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) {
        ::close(fd);
        FailFile(name, std::string("cannot open: ") + std::strerror(errno));
    }
    return f;
}

int64_t FileLength(const std::string& name)
{
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool FileExists(const std::string& name) { return FileLength(name) >= 0; }

BinaryFile::BinaryFile(const std::string& name) : name_(name), file_(OpenForReading(name))
{
    struct stat st {};
    ::fstat(::fileno(file_), &st);
    length_ = static_cast<int64_t>(st.st_size);
}

BinaryFile::~BinaryFile()
{
    if (file_) std::fclose(file_);
}

void BinaryFile::Seek(int64_t offset)
{
    if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0)
        FailFile(name_, "cannot seek to byte " + std::to_string(offset));
    position_ = offset;
}

size_t BinaryFile::ReadZeroFilled(void* out, size_t n)
{
    size_t got = position_ < length_ ? std::fread(out, 1, n, file_) : 0;
    if (got < n) {
        if (std::ferror(file_))
            FailFile(name_, "read error at byte " + std::to_string(position_ + got));
        std::memset(static_cast<unsigned char*>(out) + got, 0, n - got);
    }
    position_ += static_cast<int64_t>(n);
    return got;
}

void BinaryFile::ReadExact(void* out, size_t n)
{
    // The end is where reading stopped, not the length the file had when it
    // was opened: a file cut short meanwhile ends earlier.
    const int64_t start = position_;
    const size_t got = ReadZeroFilled(out, n);
    if (got == n) return;
    int64_t end = start + static_cast<int64_t>(got);
    struct stat st {};
    if (::fstat(::fileno(file_), &st) == 0 && st.st_size < end) end = st.st_size;  // cut below START
    FailFile(name_, "the file ends at byte " + std::to_string(end) + ", inside the " + std::to_string(n) +
                        " bytes read at byte " + std::to_string(start));
}

}  // namespace tessaly
