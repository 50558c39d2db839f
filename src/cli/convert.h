#pragma once
// One conversion: the points of one input written to one output.
#include <string>

#include "cli/options.h"

namespace tessaly::cli {

// Reads INPUT with the reader its name and content choose and writes OUTPUT
// with the writer its name chooses and OPTIONS. Says on stderr what went
// wrong, and what a complete conversion could not carry over (characters
// replaced, points left out). Returns the exit status: 0 converted, 1 the
// input could not be read or the output not written, 2 an output name or
// option that does not fit (nothing read).
int ConvertOne(const std::string& input, const std::string& output, const ConvertOptions& options);

}  // namespace tessaly::cli
