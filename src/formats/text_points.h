#pragma once
// Delimited text point files (*.asc, *.csv, *.txt): one point a line, the
// columns in one of the layouts below, separated by tabs, commas, semicolons
// or blanks, with or without a header line naming the columns.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/export_rows.h"
#include "table/point_table.h"

namespace tessaly {

// The order of the columns: point (P), northing (N), easting (E), elevation
// (Z), description (D). Without P the point column holds the running number
// of the point in the file (1, 2, ...).
enum class TextLayout : uint8_t { PNEZD, PENZD, PNEZ, PENZ, PNE, PEN, NEZ, ENZ, NEZD, ENZD };

constexpr std::array<TextLayout, 10> kTextLayouts = {
    TextLayout::PNEZD, TextLayout::PENZD, TextLayout::PNEZ, TextLayout::PENZ, TextLayout::PNE,
    TextLayout::PEN,   TextLayout::NEZ,   TextLayout::ENZ,  TextLayout::NEZD, TextLayout::ENZD,
};

// "PNEZD", ...
std::string_view LayoutName(TextLayout layout);
// The layout of a name in any letter case; nothing for an unknown name.
std::optional<TextLayout> ParseLayout(std::string_view name);
// The table columns of a layout in the order of the file's columns.
std::vector<Column> LayoutColumns(TextLayout layout);

// Blanks: runs of blanks and tabs when reading, one blank when writing.
enum class TextDelimiter : uint8_t { Comma, Tab, Semicolon, Blanks };
// "comma", "tab", "semicolon", "space" (the converter's words), and back.
std::string_view DelimiterName(TextDelimiter delimiter);
std::optional<TextDelimiter> ParseDelimiter(std::string_view name);
// The character: ",", tab, ";", and a blank for Blanks.
char DelimiterChar(TextDelimiter delimiter);
// The order in which the reader tries the delimiters on the first line that
// is not skipped; the writer quotes what could mislead it.
constexpr std::array<TextDelimiter, 4> kDelimiterDetectionOrder = {TextDelimiter::Tab, TextDelimiter::Comma,
                                                                   TextDelimiter::Semicolon, TextDelimiter::Blanks};

enum class TextEncoding : uint8_t { Cp1252, Utf8 };

// True when FILE can be read and its first 64 KiB hold no NUL byte: a text
// points file rather than a binary file with a text file's name.
bool LooksLikeText(const std::string& file);

struct TextReadOptions {
    TextLayout layout = TextLayout::PNEZD;  // for a file without a header line
};

// What a complete load found.
struct TextReadSummary {
    TextDelimiter delimiter = TextDelimiter::Comma;
    TextEncoding encoding = TextEncoding::Cp1252;
    bool header = false;
    // Characters of a UTF-8 file that Windows-1252 cannot hold, stored as "?".
    int64_t replaced = 0;
};

// Clears the table and loads the points of a delimited text file. A failed
// load throws Error (file, line, field and text) and keeps the rows read
// before it; more than 10000 points keep the first 10000 and throw.
TextReadSummary ReadTextPointsFile(PointTable& table, const std::string& file, const TextReadOptions& options);
// The same with the default options, in the shape of every other reader.
void ReadTextPointsFile(PointTable& table, const std::string& file);

// The first lines of a file as the reader sees them, for an import dialog.
struct TextPreview {
    TextDelimiter delimiter = TextDelimiter::Blanks;
    TextEncoding encoding = TextEncoding::Cp1252;
    bool header = false;  // the first line that is not skipped names the columns
    // The fields of the first lines that are not skipped (the header line
    // included), unquoted, in Windows-1252.
    std::vector<std::vector<std::string>> rows;
};
// Delimiter detection for data lines depends on where the layout puts the
// northing and the easting, hence LAYOUT. Throws Error when the file cannot
// be read.
TextPreview PreviewTextPointsFile(const std::string& file, TextLayout layout, size_t maxRows = 20);

// True when the first line that is not skipped names the columns: such a
// file loads without asking for the column order.
bool HasHeaderLine(const std::string& file);

enum class TextLineEnd : uint8_t { CrLf, Lf };

struct TextWriteOptions {
    TextLayout layout = TextLayout::PNEZD;
    TextDelimiter delimiter = TextDelimiter::Comma;
    bool header = false;  // Point,Northing,Easting,Elevation,Description in layout order
    TextEncoding encoding = TextEncoding::Cp1252;
    TextLineEnd lineEnd = TextLineEnd::CrLf;
};

// The options offered for a name first: comma for *.csv, blanks for
// anything else (*.txt), the rest as above.
TextWriteOptions DefaultTextWriteOptions(const std::string& file);

// Writes the rows Save writes as delimited text and replaces FILE at once
// when every byte is on disk. Fields are quoted as spreadsheets expect
// (RFC 4180) where the reader would otherwise not read them back whole. In
// Windows-1252 a character the code page cannot hold is written as "?" and
// counted in the report's notices; UTF-8 keeps every character.
ExportReport WriteTextPointsFile(const PointTable& table, const std::string& file, const TextWriteOptions& options);

}  // namespace tessaly
