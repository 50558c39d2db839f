#pragma once
// The formats the system reads and writes, and the table that lists them.
//
// One reader per input format. Each clears the point table, fills it from the
// named file and returns normally on a complete load. A failed load throws
// Error after storing the rows read so far; the caller refreshes the grid.
// A writer writes the rows that PointTable::RowsToSave names and replaces its
// target atomically.
#include <span>
#include <string>
#include <string_view>

#include "table/point_table.h"

namespace tessaly {

void ReadCrdFile(PointTable& table, const std::string& file);
void ReadCooFile(PointTable& table, const std::string& file);
void ReadCr5File(PointTable& table, const std::string& file);
void ReadGrdFile(PointTable& table, const std::string& file);
void ReadMdbFile(PointTable& table, const std::string& file);
void ReadSurveyorOneFile(PointTable& table, const std::string& file);
void WriteAscFile(const PointTable& table, const std::string& file);

using ReaderFn = void (*)(PointTable&, const std::string&);
using WriterFn = void (*)(const PointTable&, const std::string&);

// One row a format. A file name belongs to a row when it ends in one of the
// row's endings, in any letter case (the endings of the formats read so far
// are their last three characters, so "xcrd" is a coordinate file too); a
// row without endings claims every name. A row may also look at the file's
// content: when CLAIMS says the file is not of its kind, the choice goes on
// to the next row.
struct Format {
    const char* id;       // short name: "crd"
    const char* name;     // what a file of the format is, with its article: "an Orvelle grid file"
    const char* endings;  // name endings, separated by blanks: "crd"; "" for every name
    ReaderFn read;        // null when the format is not read
    WriterFn write;       // null when the format is not written
    bool (*claims)(const std::string& file) = nullptr;  // null: any content
};

// Every format, readers in the order the choice tries them (the Surveyor One
// reader, which takes any name, last), then the writers.
std::span<const Format> Formats();

// The name without its article: "Orvelle grid file".
std::string_view Description(const Format& format);
// The endings as name patterns: "*.crd", or "*" for every name.
std::string Patterns(const Format& format);

// The first reading row that claims FILE: by the last three characters of the
// name for COO, CR5, CRD, GRD and MDB, the Surveyor One reader for every
// other name.
const Format& ChooseReader(const std::string& file);

// The first writing row that claims FILE (a name ending in ASC, any letter
// case), or null when none does.
const Format* ChooseWriter(const std::string& file);

}  // namespace tessaly
