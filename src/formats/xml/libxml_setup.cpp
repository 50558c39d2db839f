#include "formats/xml/libxml_setup.h"

#include <cstdio>
#include <libxml/hash.h>
#include <libxml/parser.h>
#include <mutex>

#include "platform/error.h"

namespace tessaly {

namespace {
xmlParserInputPtr RefuseEntity(const char*, const char*, xmlParserCtxtPtr) { return nullptr; }
}  // namespace

void PrepareLibxml()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(RefuseEntity);
    });
}

int ReadFromFile(void* context, char* buffer, int len)
{
    auto* file = static_cast<std::FILE*>(context);
    const size_t n = std::fread(buffer, 1, static_cast<size_t>(len), file);
    return n == 0 && std::ferror(file) ? -1 : static_cast<int>(n);
}

int CloseNothing(void*) { return 0; }

void RefuseEntities(xmlTextReaderPtr reader, const std::string& file, const char* kind)
{
    const xmlNode* node = xmlTextReaderCurrentNode(reader);
    if (!node || node->type != XML_DTD_NODE) return;
    const auto* dtd = reinterpret_cast<const xmlDtd*>(node);
    for (void* table : {dtd->entities, dtd->pentities})
        if (table && xmlHashSize(static_cast<xmlHashTablePtr>(table)) > 0)
            FailFile(file, std::string("the document declares XML entities, which ") + kind +
                               " has no use for and which could expand it without bound");
}

}  // namespace tessaly
