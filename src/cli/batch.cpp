#include "cli/batch.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <malloc.h>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "cli/convert.h"
#include "platform/database/database_control.h"
#include "platform/error.h"
#include "platform/files/text_file.h"

namespace tessaly::cli {

namespace {

// The output ending of a writing row: its first name ending.
std::string Ending(const Format& format)
{
    const std::string endings = format.endings;
    return endings.substr(0, endings.find(' '));
}

// The status line of a batch on a terminal: rewritten in place, cleared
// before each message and at the end.
class Progress {
public:
    explicit Progress(size_t total) : total_(total), on_(total > 1 && ::isatty(STDERR_FILENO)) {}

    // Never throws: without memory for it the line is not shown.
    void Show(size_t done, long long points, const std::string& current) noexcept
    try {
        if (!on_) return;
        char counts[80];
        std::snprintf(counts, sizeof counts, "[%zu/%zu] %lld points", done, total_, points);
        std::string line = counts;
        if (!current.empty()) {
            line += "  ";
            line += QuotedName(current);
        }
        // One row of the terminal: a line that wraps cannot be rewritten.
        winsize ws{};
        const size_t width = ::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 1 ? ws.ws_col - 1 : 79;
        if (line.size() > width) line.resize(width);
        std::fprintf(stderr, "\r%s\033[K", line.c_str());
        std::fflush(stderr);
        shown_ = true;
    } catch (const std::bad_alloc&) {
    }
    void Clear()
    {
        if (!shown_) return;
        std::fputs("\r\033[K", stderr);
        shown_ = false;
    }

private:
    size_t total_;
    bool on_;
    bool shown_ = false;
};

// At most this many database readers run at once.
constexpr size_t kDatabaseReaders = 4;

// True when FILE goes to the database reader: chosen by the name alone.
bool IsDatabase(const std::string& file)
{
    for (const Format& format : Formats())
        if (std::string_view(format.id) == "mdb") return NamedFor(format, file);
    return false;
}

// The workers to start for COUNT inputs: --jobs (REQUESTED, 0 when not
// given) or one a processor, no more than the inputs nor than a few a
// processor (threads beyond that only wait on the disk, each holding a
// stack, and a thousand exhaust the address space).
size_t Jobs(int requested, size_t count)
{
    const size_t processors = std::max(1u, std::thread::hardware_concurrency());
    const size_t cap = std::clamp<size_t>(4 * processors, 8, 64);
    size_t jobs = std::min(requested > 0 ? static_cast<size_t>(requested) : processors, count);
    if (jobs > cap) {
        Say("--jobs " + std::to_string(requested) + " is more than this computer can use; converting " +
            std::to_string(cap) + " at once");
        jobs = cap;
    }
    return jobs;
}

// The output of each input: DIR/STEM.EXT, into OUTPUTS. What is wrong when
// two inputs would be written to one output; nothing when none would.
std::optional<std::string> OutputNames(const std::vector<std::string>& inputs, const std::string& outputDir,
                                       const Format& writer, std::vector<std::string>& outputs)
{
    const std::string dir = outputDir.ends_with('/') ? outputDir : outputDir + "/";
    outputs.assign(inputs.size(), {});
    std::map<std::string, size_t> taken;
    for (size_t i = 0; i < inputs.size(); ++i) {
        const std::string stem = std::filesystem::path(inputs[i]).stem().string();
        outputs[i] = dir + stem + "." + Ending(writer);
        auto [at, fresh] = taken.emplace(outputs[i], i);
        if (!fresh)
            return QuotedName(inputs[at->second]) + " and " + QuotedName(inputs[i]) + " would both be written to " +
                   QuotedName(outputs[i]) + "; nothing written";
    }
    return std::nullopt;
}

// A conversion never replaces one of the inputs, by its name or by a link to
// it (one device and inode): what is wrong when one would, else nothing.
std::optional<std::string> ReplacedInput(const std::vector<std::string>& inputs,
                                         const std::vector<std::string>& outputs)
{
    std::error_code ec;
    std::map<std::filesystem::path, size_t> canonical;
    std::map<std::pair<dev_t, ino_t>, size_t> files;
    auto id = [](const std::string& name) {
        struct stat s {};
        return ::stat(name.c_str(), &s) == 0 ? std::optional(std::pair(s.st_dev, s.st_ino)) : std::nullopt;
    };
    for (size_t i = 0; i < inputs.size(); ++i) {
        canonical.emplace(std::filesystem::weakly_canonical(inputs[i], ec), i);
        if (const auto file = id(inputs[i])) files.emplace(*file, i);
    }
    for (size_t i = 0; i < inputs.size(); ++i) {
        std::optional<size_t> same;
        if (auto named = canonical.find(std::filesystem::weakly_canonical(outputs[i], ec)); named != canonical.end())
            same = named->second;
        else if (const auto file = id(outputs[i]); file && files.count(*file))
            same = files[*file];
        if (same)
            return QuotedName(inputs[i]) + " would be written to " + QuotedName(outputs[i]) + ", which is the input " +
                   QuotedName(inputs[*same]) + "; nothing written";
    }
    return std::nullopt;
}

// The conversions of a checked batch. Databases go to the first few workers
// only, each keeping one reader running, so that no more readers than that
// run at once whatever --jobs says: each takes tens of megabytes. Workers
// live until the batch ends: a database reader a worker starts is bound to
// the worker's thread by its parent-death signal. With one job, or when no
// thread can be started, the main thread converts.
class Batch {
public:
    Batch(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs, const Format& writer,
          const ConvertOptions& options)
        : inputs_(inputs), outputs_(outputs), writer_(writer), options_(options), results_(inputs.size())
    {
        for (size_t i = 0; i < inputs.size(); ++i) (IsDatabase(inputs[i]) ? databases_ : others_).push_back(i);
    }

    // Starts up to JOBS workers (none for one job).
    void StartWorkers(size_t jobs)
    {
        if (jobs <= 1) return;
        for (size_t j = 0; j < jobs; ++j) {
            std::lock_guard lock(mutex_);
            try {
                workers_.emplace_back([this](bool readsDatabases) { Work(readsDatabases); }, j < kDatabaseReaders);
                ++running_;
            } catch (const std::exception&) {
                break;
            }
        }
        if (workers_.size() < jobs) try {
            Say("only " + std::to_string(workers_.size()) + " of " + std::to_string(jobs) +
                " jobs could be started; going on with " +
                (workers_.empty() ? std::string("one") : std::to_string(workers_.size())));
        } catch (const std::bad_alloc&) {
        }
    }

    // Says every input's messages, in input order whatever order the inputs
    // finish in, converting on this thread once no worker is left; then the
    // summary line. Returns the exit status.
    int Finish()
    {
        Progress progress(inputs_.size());
        {
            NoWritingThroughLinks noLinks;
            std::optional<DatabaseReaderSession> session;
            std::optional<PointTable> table;
            std::unique_lock lock(mutex_);
            while (reported_ < inputs_.size()) {
                progress.Show(reported_, points_, inputs_[reported_]);
                if (running_ == 0) ConvertHere(lock, session, table);
                else
                    changed_.wait_for(lock, std::chrono::milliseconds(100),
                                      [&] { return results_[reported_].has_value() || running_ == 0; });
                while (reported_ < inputs_.size() && results_[reported_]) {
                    Converted done = std::move(*results_[reported_]);
                    results_[reported_].reset();
                    Report(done, progress);
                }
            }
        }
        workers_.clear();
        progress.Clear();
        const size_t failed = inputs_.size() - converted_;
        std::fprintf(stderr, "%s: %zu converted, %zu failed, %lld points in all\n", kProgram, converted_, failed,
                     points_);
        return failed == 0 ? 0 : 1;
    }

private:
    // The next input to convert (under the lock), databases first for a
    // worker that reads them.
    std::optional<size_t> Take(bool readsDatabases)
    {
        std::deque<size_t>& from = readsDatabases && !databases_.empty() ? databases_ : others_;
        if (from.empty()) return std::nullopt;
        const size_t i = from.front();
        from.pop_front();
        return i;
    }

    // Converts input I into TABLE (made on first use). Memory running out
    // where the conversion does not catch it (before it starts, mostly)
    // fails that input with one line or, HAND_BACK, puts the input back for
    // someone else and returns nothing.
    std::optional<Converted> Convert(std::optional<PointTable>& table, size_t i, bool handBack)
    {
        try {
            if (!table) table.emplace();
            return ConvertOne(*table, inputs_[i], outputs_[i], writer_, options_);
        } catch (...) {
            if (handBack) {
                std::lock_guard lock(mutex_);
                (IsDatabase(inputs_[i]) ? databases_ : others_).push_front(i);
                return std::nullopt;
            }
            Converted failed;
            failed.status = 1;
            try {
                failed.messages.push_back(FailureMessage(inputs_[i]));
            } catch (...) {
            }
            return failed;
        }
    }

    void Work(bool readsDatabases)
    {
        {
            NoWritingThroughLinks noLinks;  // a link among the outputs was planted: refused
            std::optional<DatabaseReaderSession> session;  // one reader for all this worker's databases
            if (readsDatabases) session.emplace();
            std::optional<PointTable> table;
            std::unique_lock lock(mutex_);
            while (const std::optional<size_t> i = Take(readsDatabases)) {
                lock.unlock();
                // A worker that runs out of memory ends, leaving its input
                // to the others or, once none is left, to the main thread:
                // fewer jobs, not failed files.
                std::optional<Converted> c = Convert(table, *i, true);
                lock.lock();
                if (!c) break;
                results_[*i] = std::move(c);
                changed_.notify_one();
            }
        }
        std::lock_guard lock(mutex_);
        --running_;
        changed_.notify_one();
    }

    // No worker left: the main thread converts the next input, with the
    // memory of the ended workers' stacks given back.
    void ConvertHere(std::unique_lock<std::mutex>& lock, std::optional<DatabaseReaderSession>& session,
                     std::optional<PointTable>& table)
    {
        const std::optional<size_t> i = Take(true);
        lock.unlock();
        workers_.clear();
        if (!session) session.emplace();
        std::optional<Converted> c;
        if (i) c = Convert(table, *i, false);
        lock.lock();
        if (i) results_[*i] = std::move(c);
    }

    void Report(const Converted& c, Progress& progress)
    {
        if (c.status == 0) {
            ++converted_;
            points_ += c.points;
        }
        if (!c.messages.empty()) progress.Clear();
        for (const std::string& message : c.messages) Say(message);
        // Not even the message could be made.
        if (c.status != 0 && c.messages.empty())
            std::fprintf(stderr, "%s: input %zu of %zu: not enough memory to go on\n", kProgram, reported_ + 1,
                         inputs_.size());
        ++reported_;
    }

    const std::vector<std::string>& inputs_;
    const std::vector<std::string>& outputs_;
    const Format& writer_;
    const ConvertOptions& options_;
    std::mutex mutex_;  // guards what follows
    std::condition_variable changed_;
    std::deque<size_t> databases_, others_;  // the inputs not taken yet
    std::vector<std::optional<Converted>> results_;
    size_t running_ = 0;  // workers not yet ended
    std::vector<std::jthread> workers_;
    // The main thread's alone.
    size_t reported_ = 0, converted_ = 0;
    long long points_ = 0;
};

}  // namespace

std::string BatchUsage()
{
    return "With --output-dir, each INPUT is converted to DIR/NAME.EXT: NAME is the\n"
           "input's name without its last extension, EXT the ending of the kind\n"
           "--to names (" + WriterKinds() + "; asc when not given). The writer\n"
           "options apply to every file. DIR must exist. Two inputs with the same\n"
           "output name are wrong usage, found before anything is written. A failed\n"
           "input is reported and the others go on; a summary line ends the batch.\n"
           "--jobs N converts up to N inputs at once (default: one a processor;\n"
           "never more than four a processor, or 8 when that is fewer, nor more\n"
           "than 64), and at most four databases at once. Messages come in input\n"
           "order. After \"--\" every argument is an INPUT, so --output-dir must\n"
           "come before it.\n";
}

int RunBatch(const CommandLine& line)
{
    const std::vector<std::string>& inputs = line.names;
    const std::string& outputDir = *line.outputDir;
    if (inputs.empty()) return UsageError("no input files");
    const Format& writer = line.to ? *line.to : *ChooseWriter("points.asc");
    std::error_code ec;
    if (!std::filesystem::is_directory(outputDir, ec))
        return UsageError(FileMessage(outputDir, std::filesystem::exists(outputDir, ec)
                                                     ? "is a file, not a folder"
                                                     : "the output folder does not exist"));
    // The writer options apply to every file: wrong for this kind, wrong for all.
    if (const std::string misfit = OutputMisfit(&writer, line.options); !misfit.empty())
        return UsageError(misfit);
    // Every output name, checked before anything is written.
    std::vector<std::string> outputs;
    if (const auto clash = OutputNames(inputs, outputDir, writer, outputs)) return UsageError(*clash);
    if (const auto replaced = ReplacedInput(inputs, outputs)) return UsageError(*replaced);

    const size_t jobs = Jobs(line.jobs, inputs.size());
    // Under an address-space limit the 64 MiB a thread's own allocation arena
    // reserves would take what the conversions need: the workers share.
    if (rlimit as{}; ::getrlimit(RLIMIT_AS, &as) == 0 && as.rlim_cur != RLIM_INFINITY) ::mallopt(M_ARENA_MAX, 2);
    Batch batch(inputs, outputs, writer, line.options);
    batch.StartWorkers(jobs);
    return batch.Finish();
}

}  // namespace tessaly::cli
