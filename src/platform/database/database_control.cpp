#include "platform/database/database_control.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

#include "platform/database/database_frames.h"
#include "platform/error.h"
#include "platform/signal_cleanup.h"
#include "platform/text/text_rules.h"

extern char** environ;

namespace tessaly {

namespace {
using Clock = std::chrono::steady_clock;

constexpr char kReaderName[] = "tessaly-mdb-reader";
constexpr size_t kReadChunk = 64 * 1024;

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// A descriptor above the standard three, so that the reader's standard
// output can be set up from it whatever the caller has closed.
int AboveStandard(int fd)
{
    if (fd > STDERR_FILENO) return fd;
    int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    ::close(fd);
    return moved;
}

std::string Seconds(std::chrono::milliseconds ms)
{
    const double s = static_cast<double>(ms.count()) / 1000.0;
    return NumberText(s) + (s == 1 ? " second" : " seconds");
}

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
}  // namespace

// The reader's limits. A table of 10000 points needs a few megabytes and a
// fraction of a second: the reader runs in 24 MB of address space, libraries
// and bind buffers included. Damaged files on which
// mdbtools spins and allocates without end then fail within seconds: the
// reader is killed and the database reported damaged.
struct ReaderLimits {
    rlim_t addressSpace;  // bytes; 0 for no limit
    rlim_t cpuSeconds;
};

namespace {
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

// Starts a process of the reader ARGS[0] with OUTPUT as its standard output
// and INPUT (or /dev/null when -1) as its standard input, under LIMITS (null
// for a serving reader, which sets them itself for each request); returns its
// id, or minus the error number.
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

thread_local DatabaseReaderSession* t_session = nullptr;

// Each thread's own, as the session is.
std::function<bool()>& WaitHook()
{
    thread_local std::function<bool()> hook;
    return hook;
}
constexpr auto kHookInterval = std::chrono::milliseconds(50);

struct OwnedDescriptor {
    int fd;
    ~OwnedDescriptor() { ::close(fd); }
};

[[noreturn]] void RefuseKind(const std::string& file, mode_t mode)
{
    if (S_ISDIR(mode)) FailFile(file, "is a folder, not a file");
    const char* kind = S_ISFIFO(mode)                   ? "a FIFO"
                       : S_ISSOCK(mode)                 ? "a socket"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                                                        : "a special file";
    FailFile(file, std::string("is ") + kind + ", not an ordinary file");
}

// Opens FILE for its reader, which is handed this descriptor and never the
// name: the file checked here is the file read, and one swapped for a FIFO or
// a device after the check never reaches mdbtools. Links are followed, for a
// link is an ordinary way to keep a database elsewhere. DATA_SIZE is set to
// the bytes it holds. Throws Error naming the file.
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

// Sends BYTES on SOCKET with a copy of descriptor FD riding on the first of
// them; false when the other end has gone.
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
}  // namespace

DatabaseWaitHook::DatabaseWaitHook(std::function<bool()> hook) : previous_(std::move(WaitHook()))
{
    WaitHook() = std::move(hook);
}

DatabaseWaitHook::~DatabaseWaitHook() { WaitHook() = std::move(previous_); }

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

namespace {
// The reader beside the program (the build tree), or where an installation
// keeps it: PREFIX/libexec/tessaly/ for programs in PREFIX/bin/. Looked for
// once; whether it is there is checked at each load.
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
}  // namespace

DatabaseControl::DatabaseControl(std::string recordSource, std::vector<std::string> fields, DatabaseOptions options)
    : source_(std::move(recordSource)), fields_(std::move(fields)), options_(std::move(options))
{
}

DatabaseControl::~DatabaseControl() { StopReader(); }

void DatabaseControl::Close()
{
    StopReader();
    file_.clear();
    named_ = positioned_ = eof_ = ready_ = false;
    failure_.clear();
    declared_ = fetched_ = 0;
    current_.clear();
}

void DatabaseControl::Fail(const std::string& what)
{
    failure_ = FileMessage(file_, what);
    StopReader();
    throw Error(failure_);
}

void DatabaseControl::SetDatabaseName(const std::string& file)
{
    Close();
    file_ = file;
    named_ = true;
    int64_t dataSize = 0;
    int database = -1;
    try {
        // The usual refusals (missing, a folder, a FIFO, no permission)
        // before a reader is started for it.
        database = OpenDatabase(file, dataSize);
    } catch (const Error& e) {
        failure_ = e.what();
        throw;
    }
    const OwnedDescriptor owned{database};
    Start(database, dataSize);
}

void DatabaseControl::Start(int database, int64_t dataSize)
{
    const std::string& reader = options_.reader.empty() ? ReaderProgram() : options_.reader;
    if (::access(reader.c_str(), X_OK) != 0)
        Fail("the database reader " + reader + " is missing or cannot be run");
    clean_ = false;
    const ReaderLimits limits = LimitsFor(dataSize);
    cpuSeconds_ = static_cast<int64_t>(limits.cpuSeconds);
    std::vector<std::string> args = {source_};
    args.insert(args.end(), fields_.begin(), fields_.end());
    if (t_session) Request(*t_session, reader, args, database, limits, dataSize);
    else Spawn(reader, std::move(args), database, limits, dataSize);
    ReadReady();
}

// Starts a reader for this load alone, the database its standard input: ARGS
// are the table and the fields.
void DatabaseControl::Spawn(const std::string& reader, std::vector<std::string> args, int database,
                            const ReaderLimits& limits, int64_t dataSize)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) Fail(std::string("cannot start the database reader: ") + std::strerror(errno));
    const int readEnd = AboveStandard(fds[0]);
    const int writeEnd = AboveStandard(fds[1]);
    if (readEnd < 0 || writeEnd < 0) {
        for (int fd : {readEnd, writeEnd})
            if (fd >= 0) ::close(fd);
        Fail("cannot start the database reader: no free file descriptor");
    }
    args.insert(args.begin(), reader);
    const pid_t pid = SpawnProcess(std::move(args), dataSize, &limits, database, writeEnd);
    ::close(writeEnd);
    if (pid < 0) {
        ::close(readEnd);
        Fail("the database reader " + reader + " cannot be started: " + std::strerror(-pid));
    }
    own_.pid = pid;
    own_.frames = readEnd;
}

// Sends the load to the session's reader, starting one when none runs.
void DatabaseControl::Request(DatabaseReaderSession& session, const std::string& reader,
                              const std::vector<std::string>& args, int database, const ReaderLimits& limits,
                              int64_t dataSize)
{
    ReaderProcess& s = session.reader_;
    std::string request;
    frames::AppendU32(request, static_cast<uint32_t>(limits.cpuSeconds));
    frames::AppendU32(request, static_cast<uint32_t>(limits.addressSpace >> 20));
    for (const std::string& a : args) frames::AppendText(request, a);
    std::string frame;
    frames::AppendFrame(frame, frames::kRequest, request);

    for (int attempt = 0; attempt < 2; ++attempt) {
        if (s.pid < 0) {
            int requests[2], replies[2];
            if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, requests) != 0)
                Fail(std::string("cannot start the database reader: ") + std::strerror(errno));
            if (::pipe2(replies, O_CLOEXEC) != 0) {
                ::close(requests[0]), ::close(requests[1]);
                Fail(std::string("cannot start the database reader: ") + std::strerror(errno));
            }
            const int theirIn = AboveStandard(requests[1]), theirOut = AboveStandard(replies[1]);
            s.requests = requests[0];
            s.frames = replies[0];
            const pid_t pid = theirIn < 0 || theirOut < 0
                                  ? -EMFILE
                                  : SpawnProcess({reader, "--serve"}, dataSize, nullptr, theirIn, theirOut);
            for (int fd : {theirIn, theirOut})
                if (fd >= 0) ::close(fd);
            if (pid < 0) {
                s.Stop();
                Fail("the database reader " + reader + " cannot be started: " + std::strerror(-pid));
            }
            s.pid = pid;
        }
        if (SendWithDescriptor(s.requests, frame, database)) {
            reader_ = &s;
            return;
        }
        s.Stop();  // the reader has gone: once more with a fresh one
    }
    Fail("cannot send the request to the database reader");
}

DatabaseReaderSession::DatabaseReaderSession() : previous_(t_session) { t_session = this; }

DatabaseReaderSession::~DatabaseReaderSession()
{
    reader_.Stop();
    t_session = previous_;
}

void DatabaseReaderSession::ReaderProcess::Stop()
{
    for (int* fd : {&requests, &frames}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
    if (pid > 0) {
        cleanup::RemoveProcess(pid);
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    pid = -1;
}

void DatabaseControl::ReadReady()
{
    char tag = 0;
    std::string payload;
    NextFrame(tag, payload);
    if (tag == frames::kFailure) Fail(payload);
    if (tag != frames::kReady || payload.size() != 8 || frames::U32(payload, 0) != frames::kVersion)
        Fail("the database is damaged: " + Progress() + ": the database reader sent malformed data");
    declared_ = frames::U32(payload, 4);
    ready_ = true;
}

void DatabaseControl::Position()
{
    if (!named_) throw Error("no database has been named");
    if (!failure_.empty()) throw Error(failure_);
    if (positioned_) return;
    positioned_ = true;
    Advance();
}

void DatabaseControl::Advance()
{
    char tag = 0;
    std::string payload;
    NextFrame(tag, payload);
    const auto malformed = [&] {
        Fail("the database is damaged: " + Progress() + ": the database reader sent malformed data");
    };
    if (tag == frames::kRecord) {
        std::vector<std::string> record(fields_.size());
        size_t at = 0;
        for (std::string& text : record)
            if (!frames::NextText(payload, at, text)) malformed();
        if (at != payload.size()) malformed();
        current_ = std::move(record);
        ++fetched_;
        return;
    }
    if (tag == frames::kEnd) {
        if (payload.size() != 4 || frames::U32(payload, 0) != fetched_) malformed();
        eof_ = true;
        current_.clear();
        clean_ = pos_ == buf_.size();
        StopReader();
        // A table that declares more records than could be fetched is cut
        // short, not a smaller table.
        if (fetched_ < declared_)
            Fail("the database is damaged: " + std::to_string(fetched_) + " of " + std::to_string(declared_) +
                 " records could be read");
        return;
    }
    if (tag == frames::kFailure) Fail(payload);
    malformed();
}

std::string DatabaseControl::FieldText(std::string_view field)
{
    Position();
    if (eof_) FailFile(file_, "no current record");
    for (const auto& [name, index] : resolved_)
        if (name == field) return current_[index];
    for (size_t i = 0; i < fields_.size(); ++i)
        if (SameName(fields_[i], field)) {
            resolved_.emplace_back(field, i);
            return current_[i];
        }
    FailFile(file_, "field " + std::string(field) + " is not bound");
}

void DatabaseControl::MoveNext()
{
    Position();
    if (eof_) FailFile(file_, "no current record");
    Advance();
}

bool DatabaseControl::EndOfFile()
{
    Position();
    return eof_;
}

std::string DatabaseControl::Progress() const
{
    if (!ready_) return "it could not be opened";
    return "reading stopped after " + std::to_string(fetched_) + " of " + std::to_string(declared_) + " records";
}

void DatabaseControl::NextFrame(char& tag, std::string& payload)
{
    const auto deadline = Clock::now() + options_.timeout;
    Need(frames::kHeaderSize, deadline);
    tag = buf_[pos_];
    const uint32_t len = frames::U32(buf_, pos_ + 1);
    if (len > frames::kMaxPayload)
        Fail("the database is damaged: " + Progress() + ": the database reader sent malformed data");
    Need(frames::kHeaderSize + len, deadline);
    payload.assign(buf_, pos_ + frames::kHeaderSize, len);
    pos_ += frames::kHeaderSize + len;
    if (pos_ >= kReadChunk || pos_ == buf_.size()) {  // only a partial frame is left to move
        buf_.erase(0, pos_);
        pos_ = 0;
    }
}

void DatabaseControl::Need(size_t bytes, Clock::time_point deadline)
{
    while (buf_.size() - pos_ < bytes) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) ReaderTimedOut();
        const bool hooked = static_cast<bool>(WaitHook());
        if (hooked && Clock::now() - lastHook_ >= kHookInterval) {
            lastHook_ = Clock::now();
            if (!WaitHook()()) Fail("the load was cancelled");
        }
        pollfd p{reader_->frames, POLLIN, 0};
        const int64_t wait = std::min<int64_t>(left.count(), hooked ? kHookInterval.count() : 60 * 60 * 1000);
        const int ready = ::poll(&p, 1, static_cast<int>(wait));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) Fail(std::string("cannot read from the database reader: ") + std::strerror(errno));
        if (ready == 0) continue;  // the deadline is checked at the top
        const size_t old = buf_.size();
        buf_.resize(old + kReadChunk);
        const ssize_t n = ::read(reader_->frames, buf_.data() + old, kReadChunk);
        buf_.resize(old + static_cast<size_t>(n > 0 ? n : 0));
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n < 0) Fail(std::string("cannot read from the database reader: ") + std::strerror(errno));
        if (n == 0) ReaderStopped();
    }
}

void DatabaseControl::ReaderStopped()
{
    // The reader closed its end: collect how it ended, giving it the same
    // time limit to finish.
    const auto deadline = Clock::now() + options_.timeout;
    int status = 0;
    bool ended = false;
    const pid_t pid = reader_->pid;
    while (pid > 0) {
        // Seen ended but not yet collected, so that the number is forgotten
        // before it can be given to another process.
        siginfo_t info{};
        const int r = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
        if (r == 0 && info.si_pid == pid) {
            cleanup::RemoveProcess(pid);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            ended = true;
            reader_->pid = -1;  // collected; our ends close as the load fails
            break;
        }
        if (r < 0 && errno != EINTR) break;
        if (Clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::string how;
    if (!ended) how = "the database reader closed its output but did not end";
    else if (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU)
        how = "the database reader used up its " + std::to_string(cpuSeconds_) + " seconds of processor time";
    else if (WIFSIGNALED(status))
        how = "the database reader crashed (" + std::string(::strsignal(WTERMSIG(status))) + ")";
    else if (WEXITSTATUS(status) != 0)
        how = "the database reader stopped with exit status " + std::to_string(WEXITSTATUS(status));
    else how = "the database reader stopped before the end of the table";
    Fail("the database is damaged: " + Progress() + ": " + how);
}

void DatabaseControl::ReaderTimedOut()
{
    Fail("the database is damaged: " + Progress() + ": the database reader did not answer within " +
         Seconds(options_.timeout));
}

void DatabaseControl::StopReader()
{
    // A session's reader that answered the whole request serves the next
    // one; any other is stopped, and the next request starts a fresh one.
    if (reader_ == &own_ || !clean_) reader_->Stop();
    reader_ = &own_;
    buf_.clear();
    pos_ = 0;
}

}  // namespace tessaly
