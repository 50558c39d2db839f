#pragma once
// The batch form of the converter:
//   tessaly-convert [OPTIONS] INPUT... --output-dir DIR [--to KIND] [--jobs N]
// Each INPUT becomes DIR/NAME.EXT, NAME being the input's file name without
// its last extension and EXT the ending of the output kind; the writer
// options apply to every file.
#include <string>

#include "cli/options.h"

namespace tessaly::cli {

// The paragraph of the converter's help about the batch form.
std::string BatchUsage();

// Runs the batch form of LINE (its outputDir set); returns the exit status:
// 0 every input converted, 1 some failed, 2 wrong usage.
int RunBatch(const CommandLine& line);

}  // namespace tessaly::cli
