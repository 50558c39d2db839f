#include "platform/database/database_control.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

#include "platform/database/database_frames.h"
#include "platform/database/database_internal.h"
#include "platform/error.h"
#include "platform/signal_cleanup.h"

namespace tessaly {

using namespace database_detail;

namespace {
thread_local DatabaseReaderSession* t_session = nullptr;

struct OwnedDescriptor {
    int fd;
    ~OwnedDescriptor() { ::close(fd); }
};
}  // namespace

namespace database_detail {
// Each thread's own, as the session is.
std::function<bool()>& WaitHook()
{
    thread_local std::function<bool()> hook;
    return hook;
}
}  // namespace database_detail

DatabaseWaitHook::DatabaseWaitHook(std::function<bool()> hook) : previous_(std::move(WaitHook()))
{
    WaitHook() = std::move(hook);
}

DatabaseWaitHook::~DatabaseWaitHook() { WaitHook() = std::move(previous_); }

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

}  // namespace tessaly
