#include "formats/load_error.h"
#include "formats/readers.h"

namespace tessaly {

void ReadMdbFile(PointTable& table, const std::string& file)
{
    table.Clear();
    FailLoad(file, "LDD point databases cannot be read yet");
}

}  // namespace tessaly
