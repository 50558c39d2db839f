// The converter's LandXML reader and writer and its JobXML reader: each call goes to
// tessaly-landxml.so, loaded on the first (see landxml_module.h).
#include <dlfcn.h>
#include <unistd.h>

#include <string>

#include "cli/landxml_module.h"
#include "formats/instruments/instruments.h"
#include "platform/database/database_control.h"
#include "platform/error.h"

namespace tessaly {

namespace {
constexpr char kModuleName[] = "tessaly-landxml.so";

// The module beside the program (the build tree), or where an installation
// keeps it: PREFIX/TESSALY_MODULE_DIR/ for programs in PREFIX/bin/.
std::string ModulePath()
{
    const std::string beside = ProgramBesideThisOne(kModuleName);
    if (::access(beside.c_str(), R_OK) == 0 || beside.find('/') == std::string::npos) return beside;
    const std::string bin = beside.substr(0, beside.rfind('/'));
    return bin.substr(0, bin.rfind('/') + 1) + TESSALY_MODULE_DIR "/" + kModuleName;
}

// Loaded once, by whichever thread of a batch comes first; a module that
// cannot be loaded is said for every LandXML file.
const LandXmlModule& Module(const std::string& file)
{
    static const struct Loaded {
        const LandXmlModule* module = nullptr;
        std::string failure;
    } loaded = [] {
        Loaded l;
        const std::string path = ModulePath();
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            l.failure = std::string("LandXML and JobXML cannot be read or written here: ") + ::dlerror();
            return l;
        }
        // The handle stays open until the program ends.
        auto entry = reinterpret_cast<const LandXmlModule* (*)()>(::dlsym(handle, "tessaly_landxml_module"));
        const LandXmlModule* module = entry ? entry() : nullptr;
        if (!module || std::string(module->version) != TESSALY_VERSION) {
            l.failure = "LandXML and JobXML cannot be read or written here: " + path + " belongs to another version of Tessaly";
            return l;
        }
        l.module = module;
        return l;
    }();
    if (!loaded.module) FailFile(file, loaded.failure);
    return *loaded.module;
}
}  // namespace

ReadReport ReadLandXml(PointTable& table, const std::string& file) { return Module(file).read(table, file); }

void ReadLandXmlFile(PointTable& table, const std::string& file) { Module(file).readFile(table, file); }

ExportReport WriteLandXmlFile(const PointTable& table, const std::string& file, const LandXmlWriteOptions& options)
{
    return Module(file).write(table, file, options);
}

ReadReport ReadJobXmlFile(PointTable& table, const std::string& file, const ReadOptions& options)
{
    return Module(file).readJobXml(table, file, options);
}

}  // namespace tessaly
