#include "formats/load_error.h"
#include "formats/readers.h"

namespace tessaly {

void ReadGrdFile(PointTable& table, const std::string& file)
{
    table.Clear();
    FailLoad(file, "grid files cannot be read yet");
}

}  // namespace tessaly
