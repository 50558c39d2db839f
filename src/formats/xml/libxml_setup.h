#pragma once
// What the XML readers share about libxml2: the one process-wide setting
// that refuses every outside file, input from a FILE we opened ourselves,
// and the refusal of documents that declare entities.
#include <libxml/xmlreader.h>
#include <cstdio>
#include <memory>
#include <string>

namespace tessaly {

// Every file the parser asks for is refused, for every parse in the process.
// The loader is one process-wide setting: set once, before the first parse,
// and never put back, since a batch loads on several threads at once and a
// load that restored it would open the door for another one still parsing.
void PrepareLibxml();

// A text reader over FILE, which is refused when larger than 512 MiB, more
// than KIND ("a LandXML point file") can be. It reads no network and drops
// blank text between elements, which carries nothing a point needs; libxml2's
// errors go to ON_ERROR with CONTEXT. Throws Error when the file cannot be
// opened or read.
class XmlFileReader {
public:
    XmlFileReader(const std::string& file, const char* kind, xmlStructuredErrorFunc onError, void* context);
    xmlTextReaderPtr Get() const { return reader_.get(); }

private:
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
    std::unique_ptr<xmlTextReader, void (*)(xmlTextReaderPtr)> reader_;
};

// Entities let a few kilobytes expand to gigabytes: an attribute that keeps
// its references is expanded when its value is asked for, by tree functions
// that libxml2 2.9's amplification checks do not cover. A point file has no
// use for entities, so a document that declares any is refused (an Error
// about FILE naming KIND, "a LandXML point file") before its first point is
// read; the parser has then parsed the declarations but expanded nothing.
// Call it when READER stands on the document type node.
void RefuseEntities(xmlTextReaderPtr reader, const std::string& file, const char* kind);

}  // namespace tessaly
