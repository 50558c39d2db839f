#include "cli/batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <sys/ioctl.h>
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

    void Show(size_t done, long long points, const std::string& current)
    {
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

}  // namespace

std::string BatchUsage()
{
    return "With --output-dir, each INPUT is converted to DIR/NAME.EXT: NAME is the\n"
           "input's name without its last extension, EXT the ending of the kind\n"
           "--to names (" + WriterKinds() + "; asc when not given). The writer\n"
           "options apply to every file. DIR must exist. Two inputs with the same\n"
           "output name are wrong usage, found before anything is written. A failed\n"
           "input is reported and the others go on; a summary line ends the batch.\n"
           "--jobs N converts up to N inputs at once (default: one a processor);\n"
           "messages come in input order. After \"--\" every argument is an INPUT,\n"
           "so --output-dir must come before it.\n";
}

int RunBatch(const CommandLine& line)
{
    const std::vector<std::string>& inputs = line.names;
    const std::string& outputDir = *line.outputDir;
    if (inputs.empty()) return UsageError("no input files");
    const Format& writer = line.to ? *line.to : *ChooseWriter("points.asc");
    std::error_code ec;
    if (!std::filesystem::is_directory(outputDir, ec))
        return UsageError(FileMessage(outputDir, "the output folder does not exist"));

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

    size_t jobs = line.jobs > 0 ? static_cast<size_t>(line.jobs) : std::max(1u, std::thread::hardware_concurrency());
    jobs = std::min(jobs, count);

    std::vector<std::optional<Converted>> results(count);
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<size_t> next{0};
    auto work = [&] {
        NoWritingThroughLinks noLinks;  // a link among the outputs was planted: refused
        DatabaseReaderSession databases;  // one database reader for all this worker's databases
        PointTable table;
        for (size_t i; (i = next.fetch_add(1)) < count;) {
            Converted c = ConvertOne(table, inputs[i], outputs[i], writer, line.options);
            std::lock_guard lock(mutex);
            results[i] = std::move(c);
            changed.notify_one();
        }
    };

    // Workers live until the batch ends: a database reader a worker starts
    // is bound to the worker's thread by its parent-death signal. With one
    // job the main thread converts and reports as it goes.
    std::vector<std::thread> workers;
    if (jobs > 1)
        for (size_t j = 0; j < jobs; ++j) workers.emplace_back(work);

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
        ++reported;
    };
    if (workers.empty()) {
        NoWritingThroughLinks noLinks;
        DatabaseReaderSession databases;
        PointTable table;
        for (size_t i = 0; i < count; ++i) {
            progress.Show(reported, points, inputs[i]);
            report(ConvertOne(table, inputs[i], outputs[i], writer, line.options));
        }
    } else {
        std::unique_lock lock(mutex);
        while (reported < count) {
            progress.Show(reported, points, inputs[reported]);
            changed.wait_for(lock, std::chrono::milliseconds(100), [&] { return results[reported].has_value(); });
            // Messages in input order, whatever order the inputs finish in.
            while (reported < count && results[reported]) {
                Converted done = std::move(*results[reported]);
                results[reported].reset();
                report(done);
            }
        }
        lock.unlock();
        for (auto& w : workers) w.join();
    }
    progress.Clear();
    const size_t failed = count - converted;
    std::fprintf(stderr, "%s: %zu converted, %zu failed, %lld points in all\n", kProgram, converted, failed, points);
    return failed == 0 ? 0 : 1;
}

}  // namespace tessaly::cli
