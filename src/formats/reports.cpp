#include "formats/reports.h"

#include "platform/text/text_rules.h"

namespace tessaly {

std::vector<std::string> Clauses(const ReadReport& report)
{
    std::vector<std::string> clauses;
    if (report.skipped > 0)
        clauses.push_back(Counted(report.skipped, "point", "points") +
                          " skipped: no coordinates, or a reference to no point of the file");
    clauses.insert(clauses.end(), report.notices.begin(), report.notices.end());
    return clauses;
}

std::vector<std::string> Clauses(const ExportReport& report)
{
    std::vector<std::string> clauses;
    if (report.leftOut > 0)
        clauses.push_back(Counted(report.leftOut, "row", "rows") + " left out: the northing or easting is not a number");
    if (report.elevationsLeftOut > 0)
        clauses.push_back(Counted(report.elevationsLeftOut, "elevation", "elevations") + " left out: not a number");
    clauses.insert(clauses.end(), report.notices.begin(), report.notices.end());
    return clauses;
}

}  // namespace tessaly
