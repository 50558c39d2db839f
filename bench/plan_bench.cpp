// The plan's speed and size with 10000 points: a full redraw (labels on) at
// several zooms and while panning, the memory the plan adds to the window,
// and File, Open of a 10000-point file with the plan shown until both the
// grid and the plan have painted. Run it on a display (scripts/bench starts
// Xvfb when there is none).
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
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

// Repaints the plan N times, moving the view with STEP between paints, and
// gives the times in milliseconds.
template <typename Step>
std::vector<double> Repaints(PlanView* plan, int n, Step step)
{
    std::vector<double> ms;
    for (int i = 0; i < n; ++i) {
        step(i);
        QElapsedTimer t;
        t.start();
        plan->repaint();
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    return ms;
}

std::string Spread(const std::vector<double>& ms)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "(median of %zu, max %.2f ms)", ms.size(), *std::max_element(ms.begin(), ms.end()));
    return buf;
}
}  // namespace

int main(int, char** argv)
{
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    // A 100 by 100 block of points about 5 units apart with numbers and
    // descriptions, two of them mistyped.
    test::TempDir dir;
    const std::string file = dir.Path("SITE.CRD");
    std::vector<test::CrdPoint> points;
    const char* kinds[] = {"IP FOUND", "TBC", "EP", "CL", "FENCE COR", "TREE 0.3 OAK", "MH RIM", "LOT 4 BLOCK 2 COR"};
    for (int i = 0; i < kPoints; ++i) {
        const double jitter = std::sin(i * 12.9898) * 1.5;
        points.push_back({5000 + (i / 100) * 5.0 + jitter, 1000 + (i % 100) * 5.0 - jitter, 100 + (i % 37) * 0.1,
                          kinds[i % 8]});
    }
    points[1716].northing = 6085;     // a slipped digit: 5085 typed 6085
    points[7203].easting = 5470.25;   // easting and northing swapped
    points[7203].northing = 1270.75;
    test::WriteBytes(file, test::CrdNumeric(kPoints, points));

    PointsWindow window;
    window.CommonDialog1.SetAnswerer(
        [&file](const FileDialogRequest&) { return std::optional(QString::fromStdString(file)); });
    window.show();
    QCoreApplication::processEvents();

    // Memory: the points loaded with the plan hidden, then shown, painted at
    // several zooms (labels measured) and panned.
    window.mnuOpen_Click();
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    const double before = ResidentMegabytes();

    PlanView* plan = window.Plan->View();
    window.mnuPlan->trigger();
    // A big plan: floated off the window at 1000 by 800.
    window.Plan->setFloating(true);
    window.Plan->resize(1000, 830);
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    plan->FitAll();
    const QSize size = plan->size();

    const double fitScale = plan->PixelsPerUnit();
    std::vector<double> fit = Repaints(plan, 30, [](int) {});
    // Zoomed in until about 80 points are in view.
    const double close = 1000.0 / 10 / 5.0;  // ten points across
    std::vector<double> closeUp = Repaints(plan, 30, [&](int i) { plan->SetView(1100 + i * 0.5, 5100 + i * 0.3, close); });
    // About 2500 points in view, labels where they fit.
    const double mid = 1000.0 / 50 / 5.0;
    std::vector<double> middle = Repaints(plan, 30, [&](int i) { plan->SetView(1150 + i, 5150 + i, mid); });
    // Panning and zooming from the whole block down to a few points.
    std::vector<double> pan = Repaints(plan, 60, [&](int i) {
        const double s = fitScale * std::pow(1.1, i);
        plan->SetView(1250 + i, 5250 - i, s);
    });
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    const double after = ResidentMegabytes();

    // File, Open with the plan shown, until the grid and the plan have painted.
    PaintWatch gridPaint, planPaint;
    window.DBGrid1->viewport()->installEventFilter(&gridPaint);
    plan->installEventFilter(&planPaint);
    std::vector<double> opens;
    for (int i = 0; i < 20; ++i) {
        gridPaint.painted = planPaint.painted = false;
        QElapsedTimer t;
        t.start();
        window.mnuOpen_Click();
        while (!gridPaint.painted || !planPaint.painted) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::processEvents();
        opens.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    if (plan->Points().points.size() != kPoints || plan->Far().size() != 2) {
        std::fprintf(stderr, "plan_bench: %zu points drawn, %zu far; expected %d and 2\n",
                     plan->Points().points.size(), plan->Far().size(), kPoints);
        return 1;
    }

    std::printf("Plan (%s platform, plan %dx%d pixels, 10000 points)\n", qPrintable(QGuiApplication::platformName()),
                size.width(), size.height());
    Report("redraw, all 10000 points in view", Median(fit), "ms", 16, Spread(fit));
    Report("redraw, ~2500 points in view with labels", Median(middle), "ms", 16, Spread(middle));
    Report("redraw, ~80 points in view with labels", Median(closeUp), "ms", 16, Spread(closeUp));
    Report("redraw while zooming in from the whole block", Median(pan), "ms", 16, Spread(pan));
    Report("memory the plan adds (resident)", after - before, "MB", 20, "");
    Report("Open of 10000 points to grid and plan painted", Median(opens), "ms", 100, Spread(opens));
    return 0;
}
