// Starting the database reader: its limits and environment, the process
// itself, the database it is handed, and where the program is found.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/database/database_control.h"
#include "platform/database/database_internal.h"
#include "platform/error.h"
#include "platform/signal_cleanup.h"

extern char** environ;

namespace tessaly {

namespace {
constexpr char kReaderName[] = "tessaly-mdb-reader";

// The reader's environment: ours, with the C locale and without mdbtools'
// debug and character set switches.
std::vector<std::string> ReaderEnvironment()
{
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        std::string_view v(*e);
        if (v.starts_with("LC_ALL=") || v.starts_with("MDBOPTS=") || v.starts_with("MDBICONV=")) continue;
        env.emplace_back(v);
    }
    env.emplace_back("LC_ALL=C");
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> p;
    for (auto& s : strings) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

// AddressSanitizer and ThreadSanitizer reserve terabytes of address space for their shadow
// memory, so a reader built with it cannot run under an address-space limit:
// the sanitizer's own check of resident memory bounds it instead, with room
// for its shadow and quarantine, and it gets ten times the processor time,
// for it runs that much slower.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// No database gets more than this, whatever its size: an Access file holds
// at most 2 GB, and a table of points is read in a small part of either.
constexpr rlim_t kMemoryCeiling = rlim_t{1} << 30;
constexpr rlim_t kCpuCeiling = 60;

// The bytes a database really holds, which size the reader's limits: the
// space allocated to it when that is less than its length, so that a file
// padded with a hole (a sparse file) gets the limits of the data before the
// hole; mdbtools can spin on the zeros of a hole as long as on any others.
int64_t DataSize(const struct stat& st)
{
    const int64_t allocated = static_cast<int64_t>(st.st_blocks) * 512;
    return std::max<int64_t>(0, std::min<int64_t>(st.st_size, allocated));
}

#if defined(__SANITIZE_THREAD__)
const std::string kSanitizerOptions = "TSAN_OPTIONS=";
#else
const std::string kSanitizerOptions = "ASAN_OPTIONS=";
#endif

void LimitSanitizedMemory(std::vector<std::string>& env, int64_t dataSize)
{
    if (!kSanitized) return;
    const int64_t megabytes = std::min<int64_t>(std::max<int64_t>(dataSize, 0) >> 20, kMemoryCeiling >> 20);
    const std::string limit = "hard_rss_limit_mb=" + std::to_string(256 + 4 * megabytes);
    for (auto& v : env)
        if (v.starts_with(kSanitizerOptions)) {
            v += ":" + limit;
            return;
        }
    env.push_back(kSanitizerOptions + limit);
}

// In the child between fork and exec: async-signal-safe calls only. A
// serving reader (LIMITS null) sets its limits itself, for each request.
[[noreturn]] void RunReaderInChild(const char* reader, char* const* argv, char* const* envp,
                                   const ReaderLimits* limits, pid_t parent, int input, int output, int devNull)
{
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) ::sigaction(sig, &dfl, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    // The reader goes with its parent, even one killed outright; a parent
    // gone before this line is caught by the check after it. (The signal
    // comes when the thread that started the reader ends: readers are
    // started by threads that outlive them.)
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    if (limits) {
        if (limits->addressSpace > 0) {
            const struct rlimit as {limits->addressSpace, limits->addressSpace};
            ::setrlimit(RLIMIT_AS, &as);
        }
        // SIGXCPU at the soft limit, SIGKILL a second later.
        const struct rlimit cpu {limits->cpuSeconds, limits->cpuSeconds + 1};
        ::setrlimit(RLIMIT_CPU, &cpu);
    }
    const struct rlimit noCore {0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    if (::dup2(input, STDIN_FILENO) < 0 || ::dup2(output, STDOUT_FILENO) < 0 || ::dup2(devNull, STDERR_FILENO) < 0)
        ::_exit(127);
    ::execve(reader, argv, envp);
    ::_exit(127);
}
}  // namespace

namespace database_detail {

int AboveStandard(int fd)
{
    if (fd > STDERR_FILENO) return fd;
    int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    ::close(fd);
    return moved;
}

// 64 MB plus four times the data, and 2 seconds plus 1 per 16 MB, up to the
// ceilings: 1 GiB is reached at 240 MiB of data, 60 seconds at 928 MiB.
ReaderLimits LimitsFor(int64_t dataSize)
{
    const auto size = static_cast<rlim_t>(std::max<int64_t>(dataSize, 0));
    ReaderLimits limits{};
    limits.addressSpace = kSanitized ? 0 : std::min((rlim_t{64} << 20) + 4 * size, kMemoryCeiling);
    limits.cpuSeconds = std::min(2 + size / (rlim_t{16} << 20), kCpuCeiling) * (kSanitized ? 10 : 1);
    return limits;
}

pid_t SpawnProcess(std::vector<std::string> args, int64_t dataSize, const ReaderLimits* limits, int input,
                   int output)
{
    const int devNull = AboveStandard(::open("/dev/null", O_RDWR | O_CLOEXEC));
    if (devNull < 0) return -EMFILE;

    // Everything the child needs is made before the fork: between fork and
    // exec it makes only calls that are safe in a copy of a process that
    // may have other threads.
    std::vector<std::string> env = ReaderEnvironment();
    LimitSanitizedMemory(env, dataSize);
    std::vector<char*> argv = Pointers(args), envp = Pointers(env);
    const pid_t parent = ::getpid();

    pid_t pid = -1;
    int err = 0;
    {
        cleanup::SignalsHeld held;
        pid = ::fork();
        if (pid < 0) err = errno;
        if (pid == 0)
            RunReaderInChild(args[0].c_str(), argv.data(), envp.data(), limits, parent,
                             input >= 0 ? input : devNull, output, devNull);
        if (pid > 0) cleanup::AddProcess(pid);
    }
    ::close(devNull);
    return pid < 0 ? -err : pid;
}

namespace {
[[noreturn]] void RefuseKind(const std::string& file, mode_t mode)
{
    if (S_ISDIR(mode)) FailFile(file, "is a folder, not a file");
    const char* kind = S_ISFIFO(mode)                   ? "a FIFO"
                       : S_ISSOCK(mode)                 ? "a socket"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                                                        : "a special file";
    FailFile(file, std::string("is ") + kind + ", not an ordinary file");
}
}  // namespace

int OpenDatabase(const std::string& file, int64_t& dataSize)
{
    // Only an ordinary file is opened at all: opening a device can have
    // effects of its own (a tape rewinds, a line hangs up).
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) RefuseKind(file, st.st_mode);
    // Should one be swapped in since, O_NONBLOCK keeps the open of a FIFO
    // from waiting for a writer, and O_NOCTTY a terminal from becoming ours.
    int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    // Above the standard three, for it becomes a reader's standard input.
    if (fd >= 0) fd = AboveStandard(fd);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR) FailFile(file, "file not found");
        if (err == EACCES) FailFile(file, "permission denied");
        FailFile(file, std::string("cannot open: ") + std::strerror(err));
    }
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        FailFile(file, std::string("cannot open: ") + std::strerror(err));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        RefuseKind(file, st.st_mode);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    dataSize = DataSize(st);
    return fd;
}

bool SendWithDescriptor(int socket, std::string_view bytes, int fd)
{
    size_t done = 0;
    while (done < bytes.size()) {
        iovec iov{const_cast<char*>(bytes.data() + done), bytes.size() - done};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
        if (done == 0) {
            msg.msg_control = control;
            msg.msg_controllen = sizeof control;
            cmsghdr* c = CMSG_FIRSTHDR(&msg);
            c->cmsg_level = SOL_SOCKET;
            c->cmsg_type = SCM_RIGHTS;
            c->cmsg_len = CMSG_LEN(sizeof(int));
            std::memcpy(CMSG_DATA(c), &fd, sizeof fd);
        }
        const ssize_t n = ::sendmsg(socket, &msg, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

const std::string& ReaderProgram()
{
    static const std::string reader = [] {
        const std::string beside = ProgramBesideThisOne(kReaderName);
        if (::access(beside.c_str(), X_OK) == 0 || beside.find('/') == std::string::npos) return beside;
        const std::string bin = beside.substr(0, beside.rfind('/'));
        const std::string installed = bin.substr(0, bin.rfind('/') + 1) + "libexec/tessaly/" + kReaderName;
        return ::access(installed.c_str(), X_OK) == 0 ? installed : beside;
    }();
    return reader;
}

}  // namespace database_detail

std::string ProgramBesideThisOne(std::string_view name)
{
    std::string self(4096, '\0');
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", self.data(), self.size());
        if (n <= 0) return std::string(name);
        if (static_cast<size_t>(n) < self.size()) {
            self.resize(static_cast<size_t>(n));
            break;
        }
        self.resize(self.size() * 2);
    }
    return self.substr(0, self.rfind('/') + 1) + std::string(name);
}

}  // namespace tessaly
