#pragma once
// Read-only access to a file as bytes. Opening never creates a file, and only
// ordinary files open: a folder, a FIFO or a device is refused at once rather
// than read forever. The file is closed when the object goes away.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tessaly {

// Bytes a reader or writer moves in one system call. A new buffer costs a
// page fault for every 4 KB it touches, and a fault costs far more than a
// call: 16 KB blocks came out cheapest.
constexpr size_t kIoBlock = size_t{16} << 10;

// Opens NAME for reading with the checks above. Throws Error with a message
// that names the file ("file not found", "is a folder", "permission denied").
std::FILE* OpenForReading(const std::string& name);

// Length of a named ordinary file, or -1 when there is no such file.
int64_t FileLength(const std::string& name);

// True when NAME is an existing ordinary file.
bool FileExists(const std::string& name);

class BinaryFile {
public:
    explicit BinaryFile(const std::string& name);
    ~BinaryFile();
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;

    int64_t Length() const { return length_; }
    int64_t Position() const { return position_; }
    void Seek(int64_t offset);

    // Reads up to N bytes from the current position. Bytes past the end of
    // the file are filled with zero. Returns how many came from the file.
    size_t ReadZeroFilled(void* out, size_t n);

    // Reads exactly N bytes or throws Error naming the offset where the file
    // ended.
    void ReadExact(void* out, size_t n);

    const std::string& Name() const { return name_; }

private:
    std::string name_;
    std::FILE* file_ = nullptr;
    int64_t length_ = 0;
    int64_t position_ = 0;
};

}  // namespace tessaly
