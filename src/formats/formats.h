#pragma once
// The formats the system reads and writes, and the table that lists them.
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
#include "formats/xml/landxml.h"
#include "formats/text/text_points.h"
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

// What a complete load has to tell beyond its points.
struct ReadReport {
    int32_t skipped = 0;   // LandXML points without coordinates, not loaded
    // Every other change the reader made to what the file holds, one short
    // clause each ("3 rows have a coordinate that is not a number, the first
    // on line 12"): the window and the converter say them after the count.
    std::vector<std::string> notices;
    // What the file holds beyond points, which a save in its place would
    // lose ("Surfaces, Alignments"); empty when nothing.
    std::string beyondPoints;
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

// The options of every writer; each takes its own.
struct WriteOptions {
    std::optional<TextWriteOptions> text;  // nothing: DefaultTextWriteOptions of the name
    LandXmlWriteOptions landXml;
    DxfWriteOptions dxf;
};

// The shape of a reader and a writer without options.
using ReaderFn = void (*)(PointTable&, const std::string&);
using WriterFn = ExportReport (*)(const PointTable&, const std::string&);
// The shape of every reader and writer in the table.
using FormatReader = ReadReport (*)(PointTable&, const std::string&, const ReadOptions&);
using FormatWriter = ExportReport (*)(const PointTable&, const std::string&, const WriteOptions&);

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
    FormatReader read;    // null when the format is not read
    FormatWriter write;   // null when the format is not written
    bool (*claims)(const std::string& file) = nullptr;  // null: any content; asked when reading only
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

}  // namespace tessaly
