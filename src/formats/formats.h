#pragma once
// The formats the system reads and writes, and the table that lists them.
//
// Adding a format:
//   1. One file for its reader and/or writer in the family's folder
//      (formats/legacy, text, xml, cad, instruments, gis), listed in
//      formats/CMakeLists.txt. A reader has the shape FormatReader, a writer
//      FormatWriter; a writer's options are a FormatOption array beside it.
//   2. One row in format_table.cpp: its short name, what it is, its name
//      endings, reader, writer, a content check when its endings are shared,
//      its Open and Save filter entries (at kLaterPlace) and its options. The
//      converter's options, usage text and format list, the window's filters
//      and its export options dialog all follow from the row.
//   3. One reference pair under tests/data/reference: NAME.EXT and
//      NAME.EXT.asc, what the converter must write for it.
//   4. One fuzz target in fuzz/ (a line in fuzz/CMakeLists.txt and in
//      scripts/fuzz).
//
// One reader per input format. Each clears the point table, fills it from the
// named file and returns normally on a complete load. A failed load throws
// Error after storing the rows read so far; the caller refreshes the grid.
// A writer writes the rows that PointTable::RowsToSave names and replaces its
// target atomically.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/cad/dxf.h"
#include "formats/export_rows.h"
#include "formats/format_options.h"
#include "formats/reports.h"
#include "formats/text/text_points.h"
#include "formats/xml/landxml.h"
#include "table/point_table.h"

namespace tessaly {

void ReadCrdFile(PointTable& table, const std::string& file);
void ReadCooFile(PointTable& table, const std::string& file);
void ReadCr5File(PointTable& table, const std::string& file);
void ReadGrdFile(PointTable& table, const std::string& file);
void ReadMdbFile(PointTable& table, const std::string& file);
void ReadSurveyorOneFile(PointTable& table, const std::string& file);
// Every row Save writes, in Windows-1252; the report counts the characters
// the code page cannot hold and the fields blanked for a line break or comma.
ExportReport WriteAscFile(const PointTable& table, const std::string& file);

// The options of the readers that have any.
struct ReadOptions {
    TextReadOptions text;  // delimited text: columns, delimiter, lines to skip, header
};

// DXF drawings (*.dxf, ASCII, any release): the POINT entities of the
// drawing, with the numbers and descriptions Tessaly writes beside them on
// layers PNT-NO and PNT-DESC (dxf_reader.cpp says how labels find their
// points); a drawing without number labels has its points numbered 1..n. A
// binary DXF is refused.
ReadReport ReadDxfFile(PointTable& table, const std::string& file, const ReadOptions& options = {});

// Files that plainly hold no points, whatever their name: a picture, a PDF,
// an archive or a spreadsheet by its signature, or text without a point row.
// The reader clears the table and throws Error saying what the file is
// ("not a point file: a PNG image").
bool IsPlainlyNotPoints(const std::string& file);
ReadReport RefuseNotPoints(PointTable& table, const std::string& file, const ReadOptions& options);
// Text with point rows under a name no other reader claims.
bool IsTextWithPointRows(const std::string& file);

// The shape of a reader and a writer without options.
using ReaderFn = void (*)(PointTable&, const std::string&);
using WriterFn = ExportReport (*)(const PointTable&, const std::string&);
// The shape of every reader and writer in the table.
using FormatReader = ReadReport (*)(PointTable&, const std::string&, const ReadOptions&);
// A writer takes the options given (OptionValues, checked against the row's
// list); the defaults stand for the rest.
using FormatWriter = ExportReport (*)(const PointTable&, const std::string&, const OptionValues&);

// One row a format. A file name belongs to a row when it ends in one of the
// row's endings, in any letter case (the older formats' endings are their
// last three characters, so "xcrd" is a coordinate file too); a row without
// endings claims every name. A reading row may also look at the file's
// content: when CLAIMS says the file is not of its kind, the choice goes on
// to the next row.
struct Format {
    const char* id;       // short name: "crd"
    const char* name;     // what a file of the format is, with its article: "an Orvelle grid file"
    const char* endings;  // name endings, separated by blanks: "crd"; "" for every name
    FormatReader read = nullptr;    // null when the format is not read
    FormatWriter write = nullptr;   // null when the format is not written
    bool (*claims)(const std::string& file) = nullptr;  // null: any content; asked when reading only
    std::span<const FilterEntry> openFilters = {};  // the Open dialog's entries; none: not offered there
    std::span<const FilterEntry> saveFilters = {};  // the Save dialog's entries
    std::span<const FormatOption> readOptions = {};
    std::span<const FormatOption> writeOptions = {};
    const char* optionsTitle = "";  // the export options dialog's section: "Text points"
    // The values of options whose default follows the output name (the
    // delimiter of *.csv and *.txt); null when none does.
    OptionValues (*nameDefaults)(const std::string& file) = nullptr;
};

// Every format, readers in the order the choice tries them (the Surveyor One
// reader, which takes any name, last), then the writers.
std::span<const Format> Formats();

// The name without its article: "Orvelle grid file".
std::string_view Description(const Format& format);
// The endings as name patterns: "*.crd", or "*" for every name.
std::string Patterns(const Format& format);

// The first reading row that claims FILE: by the last three characters of the
// name for COO, CR5, CRD, GRD and MDB (and ACCDB), ASC, CSV and TXT when the
// file is text, XML when it is text, DXF; then, whatever the name, a file
// that plainly holds no points is refused and text with point rows goes to
// the text reader; the Surveyor One reader takes every other file.
const Format& ChooseReader(const std::string& file);

// The first writing row that claims FILE (a name ending in ASC, CSV, TXT,
// XML or DXF, any letter case), or null when none does. ASC is written by the
// ASCII PNEZD writer.
const Format* ChooseWriter(const std::string& file);

// True when FILE's name has one of FORMAT's endings (any letter case), or
// FORMAT claims every name; the content is not looked at.
bool NamedFor(const Format& format, const std::string& file);
// True when FORMAT reads delimited text (under a text name or another).
bool ReadsDelimitedText(const Format& format);

// The Open and Save dialogs' filters: "All Files (*.*)|*.*|", then the rows'
// entries by place, each followed by "|".
std::string OpenFilter();
std::string SaveFilter();
// The endings a written file's name may have: ".asc, .csv, .txt, .xml or .dxf".
std::string WriterEndings();

// The reader options VALUES give (those of the delimited text reader).
ReadOptions ReadOptionsFor(const OptionValues& values);

// The values FORMAT's writer offers first for FILE: the option defaults, the
// defaults of the name over them. A unit option offers the points' own unit
// (UNIT) when it is known.
OptionValues OfferedValues(const Format& format, const std::string& file, LinearUnit unit);

}  // namespace tessaly
