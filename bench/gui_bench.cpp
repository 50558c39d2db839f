// The window's speed and size: time from starting the program to the window
// shown and painted, time from File, Open of a 10000-point coordinate file to
// the grid painted, and the resident memory with those points loaded.
//
// The start is measured in fresh processes (this program started again with
// --start); the rest in this process. Run it on a display (scripts/bench
// starts Xvfb when there is none).
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "app/points_window.h"
#include "figures.h"
#include "support/fixtures.h"

using namespace tessaly;
using bench::Median;
using bench::PaintWatch;
using bench::Report;
using bench::ResidentMegabytes;

namespace {
constexpr int kPoints = 10000;
constexpr int kStarts = 5;
constexpr int kOpens = 20;

int64_t MonotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void WaitForPaint(PaintWatch& watch)
{
    watch.painted = false;
    while (!watch.painted) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    // The paint event itself runs after the filter saw it.
    QCoreApplication::processEvents();
}

// --start: show the window and print the milliseconds since the parent's
// clock reading in TESSALY_BENCH_T0.
int StartChild(int argc, char** argv)
{
    const char* t0 = std::getenv("TESSALY_BENCH_T0");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    (void)argc;
    PointsWindow window;
    PaintWatch watch;
    window.DBGrid1->viewport()->installEventFilter(&watch);
    window.show();
    WaitForPaint(watch);
    const double ms = static_cast<double>(MonotonicNs() - std::strtoll(t0 ? t0 : "0", nullptr, 10)) / 1e6;
    std::printf("%.3f\n", ms);
    return 0;
}

// Starts this program with --start and reads the time it reports.
std::optional<double> TimeOneStart(const char* self)
{
    int fds[2];
    if (pipe(fds) != 0) return std::nullopt;
    const std::string t0 = std::to_string(MonotonicNs());
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        setenv("TESSALY_BENCH_T0", t0.c_str(), 1);
        execl(self, self, "--start", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char buf[64];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0) out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || out.empty()) return std::nullopt;
    return std::strtod(out.c_str(), nullptr);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--start") == 0) return StartChild(argc, argv);

    std::vector<double> starts;
    TimeOneStart("/proc/self/exe");  // the first start also fills the font caches
    for (int i = 0; i < kStarts; ++i)
        if (auto ms = TimeOneStart("/proc/self/exe")) starts.push_back(*ms);

    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    test::TempDir dir;
    const std::string file = dir.Path("SITE.CRD");
    std::vector<test::CrdPoint> points;
    for (int i = 1; i <= kPoints; ++i)
        points.push_back({5000 + i * 0.125, 1000 + i * 0.5, 100 + (i % 100) * 0.01, "PT" + std::to_string(i)});
    test::WriteBytes(file, test::CrdNumeric(kPoints, points));

    PointsWindow window;
    PaintWatch watch;
    window.DBGrid1->viewport()->installEventFilter(&watch);
    window.CommonDialog1.SetAnswerer(
        [&file](const FileDialogRequest&) { return std::optional(QString::fromStdString(file)); });
    window.show();
    WaitForPaint(watch);

    std::vector<double> opens;
    for (int i = 0; i < kOpens; ++i) {
        QElapsedTimer t;
        t.start();
        window.mnuOpen_Click();
        WaitForPaint(watch);
        opens.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    if (window.PointData.CurrItems() != kPoints) {
        std::fprintf(stderr, "gui_bench: %d points loaded, not %d\n", window.PointData.CurrItems(), kPoints);
        return 1;
    }
    const double rss = ResidentMegabytes();

    std::printf("Window (%s platform)\n", qPrintable(QGuiApplication::platformName()));
    if (starts.empty()) std::printf("start to window shown: could not be measured\n");
    else
        Report("start to window shown and painted", Median(starts), "ms", 300,
               "(median of " + std::to_string(starts.size()) + " starts, min " +
                   std::to_string(static_cast<int>(*std::min_element(starts.begin(), starts.end()))) + " ms)");
    Report("Open of a 10000-point .crd to grid painted", Median(opens), "ms", 50,
           "(median of " + std::to_string(kOpens) + ", max " +
               std::to_string(static_cast<int>(*std::max_element(opens.begin(), opens.end()))) + " ms)");
    Report("resident memory with 10000 points loaded", rss, "MB", 80, "");
    return 0;
}
