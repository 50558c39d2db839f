#pragma once
// What the window benchmarks share: noting a paint, the process's resident
// memory, the median of timings and one line a figure against its target.
#include <QEvent>
#include <QObject>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace tessaly::bench {

// Notes when a widget has painted.
class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) painted = true;
        return false;
    }
};

// Resident memory of this process, in MB (-1 when it cannot be read).
inline double ResidentMegabytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    return -1;
}

// The median of V (the upper of the middle two for an even count); V is not
// empty.
inline double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

inline void Report(const char* what, double value, const char* unit, double target, const std::string& note)
{
    std::printf("%-46s %8.2f %-2s  target < %.0f %s%s  %s\n", what, value, unit, target, unit,
                value < target ? "" : "  OVER TARGET", note.c_str());
}

}  // namespace tessaly::bench
