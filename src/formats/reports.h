#pragma once
// What every reader and every writer reports besides its points, and the
// clauses the window and the converter say for it, so both say the same.
#include <cstdint>
#include <string>
#include <vector>

namespace tessaly {

// What a complete load has to tell beyond its points.
struct ReadReport {
    int32_t skipped = 0;  // LandXML points without coordinates, not loaded
    // Every other change the reader made to what the file holds, one short
    // clause each ("3 rows have a coordinate that is not a number, the first
    // on line 12").
    std::vector<std::string> notices;
    // What the file holds beyond points, which a save in its place would
    // lose ("Surfaces, Alignments"); empty when nothing.
    std::string beyondPoints;
};

// What a writer reports to its caller.
struct ExportReport {
    int32_t written = 0;            // points in the file
    int32_t leftOut = 0;            // rows without a numeric northing or easting
    int32_t elevationsLeftOut = 0;  // written points whose elevation was text, not a number
    // Every other change the writer made to the points (characters it could
    // not hold, fields it cut or blanked, a unit it converted), one short
    // clause each.
    std::vector<std::string> notices;
};

// The changes a report tells of, one clause each, in the order they are
// said after the point count: "2 points skipped: ...", then the notices.
// What the file holds beyond points is not among them: the converter says
// it converts only the points, the window asks before a save replaces it.
std::vector<std::string> Clauses(const ReadReport& report);
std::vector<std::string> Clauses(const ExportReport& report);

}  // namespace tessaly
