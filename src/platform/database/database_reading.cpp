// Reading the frames a database reader sends: the records, the end of the
// table, and how the reader failed when the frames stop.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <strings.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/database/database_control.h"
#include "platform/database/database_frames.h"
#include "platform/database/database_internal.h"
#include "platform/error.h"
#include "platform/signal_cleanup.h"
#include "platform/text/text_rules.h"

namespace tessaly {

using namespace database_detail;

namespace {
constexpr size_t kReadChunk = 64 * 1024;

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string Seconds(std::chrono::milliseconds ms)
{
    const double s = static_cast<double>(ms.count()) / 1000.0;
    return NumberText(s) + (s == 1 ? " second" : " seconds");
}
}  // namespace

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
