#pragma once
// One reader per input format. Each clears the point table, fills it from the
// named file and returns normally on a complete load. A failed load throws
// Error after storing the rows read so far; the caller refreshes the grid.
#include <string>

#include "table/point_table.h"

namespace tessaly {

void ReadCrdFile(PointTable& table, const std::string& file);          // *.crd
void ReadCooFile(PointTable& table, const std::string& file);          // *.coo
void ReadCr5File(PointTable& table, const std::string& file);          // *.cr5
void ReadGrdFile(PointTable& table, const std::string& file);          // *.grd
void ReadMdbFile(PointTable& table, const std::string& file);          // *.mdb
void ReadSurveyorOneFile(PointTable& table, const std::string& file);  // anything else

using ReaderFn = void (*)(PointTable&, const std::string&);

struct ReaderChoice {
    ReaderFn read;
    const char* name;    // the reader's name, for tests
    const char* format;  // what the reader takes the file for: "a COGO points file", ...
};

// The reader for a file, chosen by the last three characters of its name in
// any letter case (the whole name when shorter): COO, CR5, CRD, GRD, MDB, and
// the Surveyor One reader for everything else.
ReaderChoice ChooseReader(const std::string& file);

// True when a name's last three characters are ASC in any letter case: the
// only names the writer is given.
bool IsAscName(const std::string& file);

// Writes the rows that PointTable::RowsToSave names as ASCII PNEZD text.
void WriteAscFile(const PointTable& table, const std::string& file);

}  // namespace tessaly
