#include "formats/load_error.h"
#include "formats/readers.h"

namespace tessaly {

void ReadCr5File(PointTable& table, const std::string& file)
{
    table.Clear();
    FailLoad(file, "TDS coordinate files cannot be read yet");
}

}  // namespace tessaly
