#pragma once
// The batch form of the converter:
//   tessaly-convert [OPTIONS] INPUT... --output-dir DIR [--to KIND] [--jobs N]
// Each INPUT becomes DIR/NAME.EXT, NAME being the input's file name without
// its last extension and EXT the ending of the output kind.
#include <string>

#include "formats/formats.h"

namespace tessaly::cli {

// True when the arguments ask for the batch form (they name --output-dir
// before any "--").
bool IsBatch(int argc, char** argv);

// The paragraph of the converter's help about the batch form.
std::string BatchUsage();

// Runs the batch form; returns the exit status: 0 every input converted, 1
// some failed, 2 wrong usage.
int RunBatch(int argc, char** argv);

// The outcome of converting one file: the points written, or the one-line
// message (without the program name) saying why nothing was written.
struct Converted {
    bool ok = false;
    int points = 0;
    std::string message;
};

// Reads INPUT into TABLE with the reader its name chooses and writes it to
// OUTPUT with WRITER. Never throws.
Converted ConvertOne(PointTable& table, const std::string& input, const std::string& output,
                     const Format& writer);

}  // namespace tessaly::cli
