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
#include "formats/format_options.h"
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

// Utf16Le and Utf16Be are read only (a file with a UTF-16 byte-order mark);
// the writers write Windows-1252 or UTF-8.
enum class TextEncoding : uint8_t { Cp1252, Utf8, Utf16Le, Utf16Be };

// True when FILE can be read and looks like text rather than a binary file
// with a text file's name: it starts with a UTF-16 byte-order mark, or fewer
// than 1 in 100 bytes of its first 64 KiB are control characters (NUL
// included; tab, line feed, form feed, carriage return and Ctrl-Z are text).
bool LooksLikeText(const std::string& file);

// A column mapping: one letter a column of the file, P (point), N
// (northing), E (easting), Z (elevation), D (description) or "-" (not read).
// D may repeat (the descriptions are joined with a blank), the others stand
// at most once, N and E must. The mapping normalised to upper case, or
// nothing when it is not a mapping: "p-nezd" gives "P-NEZD".
std::optional<std::string> ParseColumnMapping(std::string_view mapping);

struct TextReadOptions {
    // Implicit, so {layout} gives the options of a file in that layout with
    // the rest found.
    TextReadOptions(TextLayout layout = TextLayout::PNEZD) : layout(layout) {}

    TextLayout layout;  // a file without a header line, when COLUMNS is empty
    std::string columns;                     // a mapping (ParseColumnMapping); empty: the header's or LAYOUT
    std::optional<TextDelimiter> delimiter;  // nothing: found from the first lines
    int skipLines = 0;                       // lines at the start of the file not read at all
    std::optional<bool> header;              // the first line read names the columns; nothing: found
};

// What a load found out about the file's shape.
struct TextFound {
    TextDelimiter delimiter = TextDelimiter::Comma;
    TextEncoding encoding = TextEncoding::Cp1252;
    bool header = false;
    // Malformed UTF-8 sequences and unpaired UTF-16 surrogates, stored as
    // U+FFFD.
    int64_t replaced = 0;
};

// Clears the table and loads the points of a delimited text file. A failed
// load throws Error (file, line, field and text) and keeps the rows read
// before it; more than 10000 points keep the first 10000 and throw. A line,
// or a quoted field joined over lines, longer than 1 MiB fails the load at
// its line, so memory beyond the table stays bounded.
// The report's notices say what the load changed or left out: columns not
// read, points numbered 1..n, coordinates that are not numbers, NULs
// dropped. FOUND, when given, learns the shape found.
ReadReport ReadTextPointsFile(PointTable& table, const std::string& file, const TextReadOptions& options,
                              TextFound* found = nullptr);
// The same with the default options, in the shape of every other reader.
void ReadTextPointsFile(PointTable& table, const std::string& file);

// The first lines of a file as the reader sees them, for an import dialog.
struct TextPreview {
    TextDelimiter delimiter = TextDelimiter::Blanks;  // the one found, or the one given
    TextEncoding encoding = TextEncoding::Cp1252;
    bool header = false;   // the first line read names the columns (found, or as given)
    std::string mapping;   // the one given, else the header's when it names N and E, else the layout's
    std::vector<std::string> names;  // the header's column names; empty without a header
    // The fields of the first lines read (the header line included), in
    // UTF-8; a description read to the end of the line is one field. A
    // field longer than 1000 bytes shows its start and an ellipsis.
    std::vector<std::vector<std::string>> rows;
};
// The preview of FILE read with OPTIONS, at most MAXROWS rows. Throws Error
// when the file cannot be read.
TextPreview PreviewTextPointsFile(const std::string& file, const TextReadOptions& options, size_t maxRows = 20);
// The same with the default options and LAYOUT for a file without a header.
TextPreview PreviewTextPointsFile(const std::string& file, TextLayout layout, size_t maxRows = 20);

// True when the first line read is a header naming a point, a northing and
// an easting column: such a file loads without asking for the columns.
bool HeaderKnowsColumns(const std::string& file);

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

// A column order or a mapping (ParseColumnMapping), as --input-columns takes.
bool IsColumnsValue(std::string_view text);

// The options of the delimited text reader and writer, as the format table
// lists them.
inline constexpr FormatOption kTextReadOptions[] = {
    {"input-columns", FormatOption::Kind::Text, "LAYOUT", nullptr, "",
     "column order of text inputs without a header line\n"
     "naming their columns (PNEZD, PENZD, PNEZ, PENZ, PNE,\n"
     "PEN, NEZ, ENZ, NEZD, ENZD; default PNEZD); or a\n"
     "mapping, one letter a column: P, N, E, Z, D (may\n"
     "repeat, joined) or - (not read), e.g. P-NEZD, which\n"
     "decides over a header line too",
     "", 0, 0, IsColumnsValue,
     "a column order (PNEZD, PENZD, ...) or mapping (P, N, E, Z, D or - a column, N and E once: P-NEZD)"},
    {"input-delimiter", FormatOption::Kind::Choice, "comma tab space semicolon", nullptr, "",
     "comma, tab, space or semicolon\n(default: found from the first lines)"},
    {"skip-lines", FormatOption::Kind::Integer, "N", nullptr, "", "lines at the start not read", "0", 0, 1000000},
};
inline constexpr FormatOption kTextWriteOptions[] = {
    {"columns", FormatOption::Kind::Choice, "PNEZD PENZD PNEZ PENZ PNE PEN NEZ ENZ NEZD ENZD",
     "PNEZD|PENZD|PNEZ|PENZ|PNE|PEN|NEZ|ENZ|NEZD|ENZD", "&Column order:", "column order (default PNEZD)", "PNEZD", 0, 0,
     nullptr, "a column order (PNEZD, PENZD, PNEZ, ...)"},
    {"delimiter", FormatOption::Kind::Choice, "comma tab space semicolon", "Comma|Tab|Space|Semicolon", "&Delimiter:",
     "comma, tab, space or semicolon\n(default comma for *.csv, space for *.txt)"},
    {"header", FormatOption::Kind::Flag, "", "&Header line naming the columns", "", "a first line naming the columns"},
    {"encoding", FormatOption::Kind::Choice, "cp1252 utf-8", "Windows-1252|UTF-8", "&Encoding:",
     "cp1252 (default) or utf-8", "cp1252"},
    {"lf", FormatOption::Kind::Flag, "", "&LF line ends (Unix) instead of CR LF", "", "LF line ends instead of CR LF"},
};

// The text options VALUES give for FILE, the defaults of its name for the
// rest.
TextWriteOptions TextWriteOptionsFor(const std::string& file, const OptionValues& values);
// What the name decides when no option is given: the delimiter.
OptionValues TextNameDefaults(const std::string& file);
// The reader's options VALUES give.
TextReadOptions TextReadOptionsFor(const OptionValues& values);

// Writes the rows Save writes as delimited text and replaces FILE at once
// when every byte is on disk. Fields are quoted as spreadsheets expect
// (RFC 4180) where the reader would otherwise not read them back whole. In
// Windows-1252 a character the code page cannot hold is written as "?" and
// counted in the report's notices; UTF-8 keeps every character.
ExportReport WriteTextPointsFile(const PointTable& table, const std::string& file, const TextWriteOptions& options);

}  // namespace tessaly
