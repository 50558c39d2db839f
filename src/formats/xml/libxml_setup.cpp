#include "formats/xml/libxml_setup.h"

#include <cstdio>
#include <libxml/hash.h>
#include <libxml/parser.h>
#include <mutex>

#include "platform/error.h"
#include "platform/files/binary_file.h"

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

namespace {
// xmlReaderForIO callbacks for a std::FILE* that XmlFileReader closes.
int ReadFromFile(void* context, char* buffer, int len)
{
    auto* file = static_cast<std::FILE*>(context);
    const size_t n = std::fread(buffer, 1, static_cast<size_t>(len), file);
    return n == 0 && std::ferror(file) ? -1 : static_cast<int>(n);
}

int CloseNothing(void*) { return 0; }

constexpr int64_t kMaxBytes = int64_t{512} << 20;
}  // namespace

XmlFileReader::XmlFileReader(const std::string& file, const char* kind, xmlStructuredErrorFunc onError, void* context)
    : file_(nullptr, std::fclose), reader_(nullptr, xmlFreeTextReader)
{
    const int64_t length = FileLength(file);
    file_.reset(OpenForReading(file));
    if (length > kMaxBytes)
        FailFile(file, "the file is larger than " + std::to_string(kMaxBytes >> 20) + " MiB, more than " + kind +
                           " can be");
    PrepareLibxml();
    reader_.reset(xmlReaderForIO(ReadFromFile, CloseNothing, file_.get(), nullptr, nullptr,
                                 XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_COMPACT));
    if (!reader_) FailFile(file, "cannot start reading the document");
    xmlTextReaderSetStructuredErrorHandler(reader_.get(), onError, context);
}

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
