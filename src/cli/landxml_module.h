#pragma once
// The converter's LandXML reader and writer and its JobXML reader live in a
// module of their own,
// tessaly-landxml.so, which the converter loads the first time a file needs
// it: libxml2 and what it brings (ICU, libstdc++'s relocation) would cost
// every run of the converter more processor time than converting a
// 10000-point coordinate file. The window links them as usual.
#include "formats/formats.h"

namespace tessaly {

struct LandXmlModule {
    // The version the module was built as; a module of another build is not
    // used, as the types it exchanges may differ.
    const char* version;
    ReadReport (*read)(PointTable& table, const std::string& file);
    void (*readFile)(PointTable& table, const std::string& file);
    ExportReport (*write)(const PointTable& table, const std::string& file, const LandXmlWriteOptions& options);
    ReadReport (*readJobXml)(PointTable& table, const std::string& file, const ReadOptions& options);
};

}  // namespace tessaly

// The module's one exported symbol.
extern "C" const tessaly::LandXmlModule* tessaly_landxml_module();
