#include "cli/batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/database/database_control.h"
#include "platform/error.h"

namespace tessaly::cli {

namespace {

constexpr char kProgram[] = "tessaly-convert";

struct BatchArgs {
    std::vector<std::string> inputs;
    std::string outputDir;
    bool haveOutputDir = false;
    std::string kind = "asc";
    int jobs = 0;  // 0: one a processor
};

// The writing rows of the format table: the kinds --to accepts.
std::vector<const Format*> Writers()
{
    std::vector<const Format*> writers;
    for (const Format& format : Formats())
        if (format.write) writers.push_back(&format);
    return writers;
}

std::string Kinds()
{
    std::string kinds;
    for (const Format* w : Writers()) kinds += (kinds.empty() ? "" : ", ") + std::string(w->id);
    return kinds;
}

// The output ending of a writing row: its first name ending.
std::string Ending(const Format& format)
{
    const std::string endings = format.endings;
    return endings.substr(0, endings.find(' '));
}

int UsageError(const std::string& what)
{
    std::fprintf(stderr,
                 "%s: %s\n"
                 "Usage: %s [--to KIND] [--jobs N] INPUT... --output-dir DIR\n"
                 "Try '%s --help' for more.\n",
                 kProgram, what.c_str(), kProgram, kProgram);
    return 2;
}

// An option's value, from "--name=value" or the next argument.
std::optional<std::string> Value(const std::string& arg, const char* name, int& i, int argc, char** argv,
                                 std::string& error)
{
    const std::string option = name;
    if (arg == option) {
        if (i + 1 >= argc) {
            error = option + " needs a value";
            return std::nullopt;
        }
        return std::string(argv[++i]);
    }
    if (arg.starts_with(option + "=")) return arg.substr(option.size() + 1);
    return std::nullopt;
}

// Parses the arguments; an empty ERROR means success.
BatchArgs Parse(int argc, char** argv, std::string& error)
{
    BatchArgs args;
    bool options = true;
    for (int i = 1; i < argc && error.empty(); ++i) {
        const std::string arg = argv[i];
        if (!options || arg == "-" || !arg.starts_with("-")) {
            args.inputs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options = false;
        } else if (auto dir = Value(arg, "--output-dir", i, argc, argv, error)) {
            args.outputDir = *dir;
            args.haveOutputDir = true;
        } else if (auto kind = Value(arg, "--to", i, argc, argv, error)) {
            args.kind = *kind;
        } else if (auto jobs = Value(arg, "--jobs", i, argc, argv, error)) {
            char* end = nullptr;
            const long n = std::strtol(jobs->c_str(), &end, 10);
            if (jobs->empty() || *end != '\0' || n < 1 || n > 1024)
                error = "--jobs needs a number from 1 to 1024, not " + QuotedName(*jobs);
            else args.jobs = static_cast<int>(n);
        } else if (error.empty()) {
            error = "unknown option " + QuotedName(arg);
        }
    }
    return args;
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

Converted ConvertOne(PointTable& table, const std::string& input, const std::string& output, const Format& writer)
{
    Converted result;
    // As in the single-file form, the count of a failed load is of this file.
    table.Clear();
    try {
        ChooseReader(input).read(table, input);
    } catch (...) {
        result.message = FailureMessage(input) + " (" + std::to_string(table.CurrItems()) +
                         " points read before the stop); nothing written";
        return result;
    }
    if (!table.PointsNotRead().empty()) {
        result.message = table.PointsNotRead() + "; nothing written";
        return result;
    }
    try {
        writer.write(table, output);
    } catch (...) {
        result.message = FailureMessage(output);
        return result;
    }
    result.ok = true;
    result.points = table.CurrItems();
    return result;
}

std::string BatchUsage()
{
    return "With --output-dir, each INPUT is converted to DIR/NAME.EXT: NAME is the\n"
           "input's name without its last extension, EXT the ending of the kind\n"
           "--to names (" + Kinds() + "; asc when not given). DIR must exist. Two\n"
           "inputs with the same output name are wrong usage, found before anything\n"
           "is written. A failed input is reported and the others go on; a summary\n"
           "line ends the batch. --jobs N converts up to N inputs at once (default:\n"
           "one a processor); messages come in input order. After \"--\" every\n"
           "argument is an INPUT, so --output-dir must come before it.\n";
}

bool IsBatch(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") return false;
        if (arg == "--output-dir" || arg.starts_with("--output-dir=")) return true;
    }
    return false;
}

int RunBatch(int argc, char** argv)
{
    std::string error;
    BatchArgs args = Parse(argc, argv, error);
    if (!error.empty()) return UsageError(error);
    if (!args.haveOutputDir || args.outputDir.empty()) return UsageError("--output-dir needs a folder");
    if (args.inputs.empty()) return UsageError("no input files");
    const Format* writer = nullptr;
    for (const Format* w : Writers())
        if (args.kind == w->id) writer = w;
    if (!writer) return UsageError("--to takes " + Kinds() + ", not " + QuotedName(args.kind));
    std::error_code ec;
    if (!std::filesystem::is_directory(args.outputDir, ec))
        return UsageError(FileMessage(args.outputDir, "the output folder does not exist"));

    // Every output name, checked before anything is written.
    const size_t count = args.inputs.size();
    std::vector<std::string> outputs(count);
    std::map<std::string, size_t> taken;
    const std::string dir = args.outputDir.ends_with('/') ? args.outputDir : args.outputDir + "/";
    for (size_t i = 0; i < count; ++i) {
        const std::string stem = std::filesystem::path(args.inputs[i]).stem().string();
        outputs[i] = dir + stem + "." + Ending(*writer);
        auto [at, fresh] = taken.emplace(outputs[i], i);
        if (!fresh)
            return UsageError(QuotedName(args.inputs[at->second]) + " and " + QuotedName(args.inputs[i]) +
                              " would both be written to " + QuotedName(outputs[i]) + "; nothing written");
    }

    // A conversion never replaces one of the inputs.
    std::map<std::filesystem::path, size_t> inputs;
    for (size_t i = 0; i < count; ++i) inputs.emplace(std::filesystem::weakly_canonical(args.inputs[i], ec), i);
    for (size_t i = 0; i < count; ++i) {
        auto same = inputs.find(std::filesystem::weakly_canonical(outputs[i], ec));
        if (same != inputs.end())
            return UsageError(QuotedName(args.inputs[i]) + " would be written to " + QuotedName(outputs[i]) +
                              ", which is the input " + QuotedName(args.inputs[same->second]) + "; nothing written");
    }

    size_t jobs = args.jobs > 0 ? static_cast<size_t>(args.jobs) : std::max(1u, std::thread::hardware_concurrency());
    jobs = std::min(jobs, count);

    std::vector<std::optional<Converted>> results(count);
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<size_t> next{0};
    auto work = [&] {
        DatabaseReaderSession databases;  // one database reader for all this worker's databases
        PointTable table;
        for (size_t i; (i = next.fetch_add(1)) < count;) {
            Converted c = ConvertOne(table, args.inputs[i], outputs[i], *writer);
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
        if (c.ok) {
            ++converted;
            points += c.points;
        } else {
            progress.Clear();
            std::fprintf(stderr, "%s: %s\n", kProgram, c.message.c_str());
        }
        ++reported;
    };
    if (workers.empty()) {
        DatabaseReaderSession databases;
        PointTable table;
        for (size_t i = 0; i < count; ++i) {
            progress.Show(reported, points, args.inputs[i]);
            report(ConvertOne(table, args.inputs[i], outputs[i], *writer));
        }
    } else {
        std::unique_lock lock(mutex);
        while (reported < count) {
            progress.Show(reported, points, args.inputs[reported]);
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
