#pragma once
// One conversion: the points of one input written to one output. The
// single-file form and every file of a batch go through it.
#include <string>
#include <vector>

#include "cli/options.h"

namespace tessaly::cli {

// The outcome of one conversion.
struct Converted {
    // 0 converted, 1 the input could not be read or the output not written.
    int status = 0;
    int points = 0;  // the points read, when converted
    // What went wrong, and what a complete conversion could not carry over
    // (characters replaced, points left out): lines for stderr, without the
    // program's name.
    std::vector<std::string> messages;
};

// Reads INPUT into TABLE (cleared first) with the reader its name and content
// choose and writes OUTPUT with WRITER and OPTIONS, which the caller has
// checked fit (OutputMisfit). Never throws. TABLE is the caller's, so that a
// batch reuses its rows.
Converted ConvertOne(PointTable& table, const std::string& input, const std::string& output, const Format& writer,
                     const ConvertOptions& options);

// The single-file form: the options checked against the writer OUTPUT's name
// chooses, OUTPUT checked not to be INPUT itself (exit status 2, nothing
// written), then ConvertOne with a table of its own, its messages said on
// stderr; returns the exit status.
int ConvertOne(const std::string& input, const std::string& output, const ConvertOptions& options);

// True when A and B name one existing file (one device and inode: a symbolic
// or hard link to it counts); false when either does not exist.
bool SameFile(const std::string& a, const std::string& b);

// The converter's name, which starts its messages.
inline constexpr char kProgram[] = "tessaly-convert";

// Says one message on stderr: "tessaly-convert: TEXT".
void Say(const std::string& text);

// Says WHAT and a pointer to --help on stderr; returns 2, the exit status of
// wrong usage.
int UsageError(const std::string& what);

}  // namespace tessaly::cli
