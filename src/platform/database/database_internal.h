#pragma once
// What the files of the database component share, and nothing outside
// platform/database uses: the reader's limits, starting its process, handing
// it the database, and the wait hook of the calling thread.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/types.h>
#include <vector>

namespace tessaly {

// The reader's limits. A table of 10000 points needs a few megabytes and a
// fraction of a second: the reader runs in 24 MB of address space, libraries
// and bind buffers included. Damaged files on which
// mdbtools spins and allocates without end then fail within seconds: the
// reader is killed and the database reported damaged.
struct ReaderLimits {
    rlim_t addressSpace;  // bytes; 0 for no limit
    rlim_t cpuSeconds;
};

namespace database_detail {

using Clock = std::chrono::steady_clock;

// The limits for a database holding DATA_SIZE bytes.
ReaderLimits LimitsFor(int64_t dataSize);

// A descriptor above the standard three, so that the reader's standard
// output can be set up from it whatever the caller has closed. Closes FD
// when it moves it; -1 when there is no descriptor left.
int AboveStandard(int fd);

// Starts a process of the reader ARGS[0] with OUTPUT as its standard output
// and INPUT (or /dev/null when -1) as its standard input, under LIMITS (null
// for a serving reader, which sets them itself for each request); returns its
// id, or minus the error number.
pid_t SpawnProcess(std::vector<std::string> args, int64_t dataSize, const ReaderLimits* limits, int input,
                   int output);

// Opens FILE for its reader, which is handed this descriptor and never the
// name: the file checked here is the file read, and one swapped for a FIFO or
// a device after the check never reaches mdbtools. Links are followed, for a
// link is an ordinary way to keep a database elsewhere. DATA_SIZE is set to
// the bytes it holds. Throws Error naming the file.
int OpenDatabase(const std::string& file, int64_t& dataSize);

// Sends BYTES on SOCKET with a copy of descriptor FD riding on the first of
// them; false when the other end has gone.
bool SendWithDescriptor(int socket, std::string_view bytes, int fd);

// The reader beside the program (the build tree), or where an installation
// keeps it: PREFIX/libexec/tessaly/ for programs in PREFIX/bin/. Looked for
// once; whether it is there is checked at each load.
const std::string& ReaderProgram();

// The hook DatabaseWaitHook set for this thread, called every kHookInterval
// while a component waits.
std::function<bool()>& WaitHook();
constexpr auto kHookInterval = std::chrono::milliseconds(50);

}  // namespace database_detail
}  // namespace tessaly
