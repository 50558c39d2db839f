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

    // Every output name, checked before anything is written.
    const size_t count = inputs.size();
    std::vector<std::string> outputs(count);
    // The writer options apply to every file: wrong for this kind, wrong for all.
    const std::string dir = outputDir.ends_with('/') ? outputDir : outputDir + "/";
    if (const std::string misfit = OutputMisfit(&writer, line.options); !misfit.empty())
        return UsageError(misfit);
    std::map<std::string, size_t> taken;
    for (size_t i = 0; i < count; ++i) {
        const std::string stem = std::filesystem::path(inputs[i]).stem().string();
        outputs[i] = dir + stem + "." + Ending(writer);
        auto [at, fresh] = taken.emplace(outputs[i], i);
        if (!fresh)
            return UsageError(QuotedName(inputs[at->second]) + " and " + QuotedName(inputs[i]) +
                              " would both be written to " + QuotedName(outputs[i]) + "; nothing written");
    }

    // A conversion never replaces one of the inputs, by its name or by a
    // link to it (one device and inode).
    std::map<std::filesystem::path, size_t> canonical;
    std::map<std::pair<dev_t, ino_t>, size_t> files;
    auto id = [](const std::string& name) {
        struct stat s {};
        return ::stat(name.c_str(), &s) == 0 ? std::optional(std::pair(s.st_dev, s.st_ino)) : std::nullopt;
    };
    for (size_t i = 0; i < count; ++i) {
        canonical.emplace(std::filesystem::weakly_canonical(inputs[i], ec), i);
        if (const auto file = id(inputs[i])) files.emplace(*file, i);
    }
    for (size_t i = 0; i < count; ++i) {
        std::optional<size_t> same;
        if (auto named = canonical.find(std::filesystem::weakly_canonical(outputs[i], ec)); named != canonical.end())
            same = named->second;
        else if (const auto file = id(outputs[i]); file && files.count(*file))
            same = files[*file];
        if (same)
            return UsageError(QuotedName(inputs[i]) + " would be written to " + QuotedName(outputs[i]) +
                              ", which is the input " + QuotedName(inputs[*same]) + "; nothing written");
    }

    const size_t jobs = Jobs(line.jobs, count);
    // Under an address-space limit the 64 MiB a thread's own allocation arena
    // reserves would take what the conversions need: the workers share.
    if (rlimit as{}; ::getrlimit(RLIMIT_AS, &as) == 0 && as.rlim_cur != RLIM_INFINITY) ::mallopt(M_ARENA_MAX, 2);

    // Databases go to the first few workers only, each keeping one reader
    // running, so that no more readers than that run at once whatever --jobs
    // says: each takes tens of megabytes.
    std::mutex mutex;  // guards what follows
    std::condition_variable changed;
    std::deque<size_t> databases, others;  // the inputs not taken yet
    for (size_t i = 0; i < count; ++i) (IsDatabase(inputs[i]) ? databases : others).push_back(i);
    std::vector<std::optional<Converted>> results(count);
    size_t running = 0;  // workers not yet ended
    auto take = [&](bool readsDatabases) -> std::optional<size_t> {
        std::deque<size_t>& from = readsDatabases && !databases.empty() ? databases : others;
        if (from.empty()) return std::nullopt;
        const size_t i = from.front();
        from.pop_front();
        return i;
    };

    // Converts input I into TABLE (made on first use). Memory running out
    // where the conversion does not catch it (before it starts, mostly)
    // fails that input with one line or, HAND_BACK, puts the input back for
    // someone else and returns nothing.
    auto convert = [&](std::optional<PointTable>& table, size_t i, bool handBack) -> std::optional<Converted> {
        try {
            if (!table) table.emplace();
            return ConvertOne(*table, inputs[i], outputs[i], writer, line.options);
        } catch (...) {
            if (handBack) {
                std::lock_guard lock(mutex);
                (IsDatabase(inputs[i]) ? databases : others).push_front(i);
                return std::nullopt;
            }
            Converted failed;
            failed.status = 1;
            try {
                failed.messages.push_back(FailureMessage(inputs[i]));
            } catch (...) {
            }
            return failed;
        }
    };

    auto work = [&](bool readsDatabases) {
        {
            NoWritingThroughLinks noLinks;  // a link among the outputs was planted: refused
            std::optional<DatabaseReaderSession> session;  // one reader for all this worker's databases
            if (readsDatabases) session.emplace();
            std::optional<PointTable> table;
            std::unique_lock lock(mutex);
            while (const std::optional<size_t> i = take(readsDatabases)) {
                lock.unlock();
                // A worker that runs out of memory ends, leaving its input
                // to the others or, once none is left, to the main thread:
                // fewer jobs, not failed files.
                std::optional<Converted> c = convert(table, *i, true);
                lock.lock();
                if (!c) break;
                results[*i] = std::move(c);
                changed.notify_one();
            }
        }
        std::lock_guard lock(mutex);
        --running;
        changed.notify_one();
    };

    // Workers live until the batch ends: a database reader a worker starts
    // is bound to the worker's thread by its parent-death signal. With one
    // job, or when no thread can be started, the main thread converts.
    std::vector<std::jthread> workers;
    if (jobs > 1) {
        for (size_t j = 0; j < jobs; ++j) {
            std::lock_guard lock(mutex);
            try {
                workers.emplace_back(work, j < kDatabaseReaders);
                ++running;
            } catch (const std::exception&) {
                break;
            }
        }
        if (workers.size() < jobs) try {
            Say("only " + std::to_string(workers.size()) + " of " + std::to_string(jobs) +
                " jobs could be started; going on with " +
                (workers.empty() ? std::string("one") : std::to_string(workers.size())));
        } catch (const std::bad_alloc&) {
        }
    }

    Progress progress(count);
    size_t reported = 0, converted = 0;
    long long points = 0;
    auto report = [&](const Converted& c) {
        if (c.status == 0) {
            ++converted;
            points += c.points;
        }
        if (!c.messages.empty()) progress.Clear();
        for (const std::string& message : c.messages) Say(message);
        // Not even the message could be made.
        if (c.status != 0 && c.messages.empty())
            std::fprintf(stderr, "%s: input %zu of %zu: not enough memory to go on\n", kProgram, reported + 1, count);
        ++reported;
    };
    {
        NoWritingThroughLinks noLinks;
        std::optional<DatabaseReaderSession> session;
        std::optional<PointTable> table;
        std::unique_lock lock(mutex);
        while (reported < count) {
            progress.Show(reported, points, inputs[reported]);
            if (running == 0) {
                // No worker left: the main thread converts the next input,
                // with the memory of the ended workers' stacks given back.
                const std::optional<size_t> i = take(true);
                lock.unlock();
                workers.clear();
                if (!session) session.emplace();
                std::optional<Converted> c;
                if (i) c = convert(table, *i, false);
                lock.lock();
                if (i) results[*i] = std::move(c);
            } else {
                changed.wait_for(lock, std::chrono::milliseconds(100),
                                 [&] { return results[reported].has_value() || running == 0; });
            }
            // Messages in input order, whatever order the inputs finish in.
            while (reported < count && results[reported]) {
                Converted done = std::move(*results[reported]);
                results[reported].reset();
                report(done);
            }
        }
    }
    workers.clear();
    progress.Clear();
    const size_t failed = count - converted;
    std::fprintf(stderr, "%s: %zu converted, %zu failed, %lld points in all\n", kProgram, converted, failed, points);
    return failed == 0 ? 0 : 1;
}

}  // namespace tessaly::cli
