// The entry of tessaly-landxml.so (see landxml_module.h). Everything else in
// the module is hidden, so its own calls stay inside it; what it needs of the
// point table and the file services comes from the converter.
#include "cli/landxml_module.h"
#include "formats/instruments/instruments.h"

extern "C" __attribute__((visibility("default"))) const tessaly::LandXmlModule* tessaly_landxml_module()
{
    // One overload each: the read and the write take default arguments.
    static const tessaly::LandXmlModule module{TESSALY_VERSION, &tessaly::ReadLandXml, &tessaly::ReadLandXmlFile,
                                               &tessaly::WriteLandXmlFile, &tessaly::ReadJobXmlFile};
    return &module;
}
