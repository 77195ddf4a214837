#include "epub/BookDocuments.h"

#include <algorithm>

#include "epub/ImagePage.h"
#include "epub/XmlDocument.h"

namespace vellumark::epub {
namespace {

constexpr const char* kOpfNamespace = "http://www.idpf.org/2007/opf";
constexpr const char* kDcNamespace = "http://purl.org/dc/elements/1.1/";
constexpr const char* kNcxNamespace = "http://www.daisy.org/z3986/2005/ncx/";
constexpr const char* kXhtmlType = "application/xhtml+xml";
constexpr const char* kSource = "https://vellumark.org/";
constexpr const char* kRights = "Copyright (C) 2013 the Vellumark developers";

std::string PageId(int n) {
    return "page" + std::to_string(n);
}
std::string PageFile(int n) {
    return PageId(n) + ".html";
}

void AddItem(XmlDocument& xml, pugi::xml_node manifest, const std::string& id,
             const std::string& href, const char* mediaType) {
    pugi::xml_node item = xml.AddChild(manifest, "item");
    XmlDocument::SetAttribute(item, "id", id);
    XmlDocument::SetAttribute(item, "href", href);
    XmlDocument::SetAttribute(item, "media-type", mediaType);
}

void AddItemRef(XmlDocument& xml, pugi::xml_node spine, const std::string& id) {
    pugi::xml_node itemref = xml.AddChild(spine, "itemref");
    XmlDocument::SetAttribute(itemref, "idref", id);
    XmlDocument::SetAttribute(itemref, "linear", "yes");
}

void AddTextChild(XmlDocument& xml, pugi::xml_node parent, const char* name,
                  const std::string& text) {
    XmlDocument::SetText(xml.AddChild(parent, name), text);
}

void AddNavPoint(XmlDocument& xml, pugi::xml_node navMap, const std::string& id, int playOrder,
                 const std::string& src) {
    pugi::xml_node navPoint = xml.AddChild(navMap, "navPoint");
    XmlDocument::SetAttribute(navPoint, "id", id);
    XmlDocument::SetAttribute(navPoint, "playOrder", std::to_string(playOrder));
    pugi::xml_node navLabel = xml.AddChild(navPoint, "navLabel");
    AddTextChild(xml, navLabel, "text", id);
    pugi::xml_node content = xml.AddChild(navPoint, "content");
    XmlDocument::SetAttribute(content, "src", src);
}

void BuildPackageDocument(const BookDescription& book, XmlDocument& xml) {
    const int pages = std::max(book.pageCount, 0);
    const bool hasCover = !book.coverName.empty();
    pugi::xml_node package = xml.AddRoot("package", kOpfNamespace);
    XmlDocument::SetAttribute(package, "unique-identifier", "BookId");
    XmlDocument::SetAttribute(package, "version", "2.0");

    pugi::xml_node metadata = xml.AddChild(package, "metadata");
    XmlDocument::DeclareNamespace(metadata, "dc", kDcNamespace);
    XmlDocument::DeclareNamespace(metadata, "opf", kOpfNamespace);
    AddTextChild(xml, metadata, "dc:title", book.title);
    AddTextChild(xml, metadata, "dc:creator", book.author);
    AddTextChild(xml, metadata, "dc:subject", "");
    AddTextChild(xml, metadata, "dc:description", "");
    AddTextChild(xml, metadata, "dc:contributor", "");
    AddTextChild(xml, metadata, "dc:date", book.identity.date);
    AddTextChild(xml, metadata, "dc:type", "[type]");
    AddTextChild(xml, metadata, "dc:format", "");
    pugi::xml_node identifier = xml.AddChild(metadata, "dc:identifier");
    XmlDocument::SetAttribute(identifier, "id", "BookId");
    XmlDocument::SetAttribute(identifier, "opf:scheme", "UUID");
    XmlDocument::SetText(identifier, "urn:uuid:" + book.identity.uuid);
    AddTextChild(xml, metadata, "dc:source", kSource);
    AddTextChild(xml, metadata, "dc:language", book.languageTag);
    AddTextChild(xml, metadata, "dc:relation", "");
    AddTextChild(xml, metadata, "dc:coverage", "");
    AddTextChild(xml, metadata, "dc:rights", kRights);
    pugi::xml_node meta = xml.AddChild(metadata, "meta");
    XmlDocument::SetAttribute(meta, "name", "cover");
    XmlDocument::SetAttribute(meta, "content", "cover-image");

    pugi::xml_node manifest = xml.AddChild(package, "manifest");
    AddItem(xml, manifest, "style", kStylesheetName, "text/css");
    AddItem(xml, manifest, "ncx", kNavigationDocumentName, "application/x-dtbncx+xml");
    if (hasCover) {
        AddItem(xml, manifest, "cover", "cover.html", kXhtmlType);
        AddItem(xml, manifest, "cover-image", book.coverName, "image/jpeg");
    }
    for (int n = 1; n <= pages; ++n)
        AddItem(xml, manifest, PageId(n), PageFile(n), kXhtmlType);
    for (int n = 1; n <= pages; ++n) {
        AddItem(xml, manifest, "image" + std::to_string(n), std::to_string(n) + ".jpg",
                "image/jpeg");
    }

    pugi::xml_node spine = xml.AddChild(package, "spine");
    XmlDocument::SetAttribute(spine, "toc", "ncx");
    if (hasCover)
        AddItemRef(xml, spine, "cover");
    for (int n = 1; n <= pages; ++n)
        AddItemRef(xml, spine, PageId(n));
}

void BuildNavigationDocument(const BookDescription& book, XmlDocument& xml) {
    const int pages = std::max(book.pageCount, 0);
    const pugi::xml_node ncx = StartNcx(xml, book, 0);
    pugi::xml_node navMap = xml.AddChild(ncx, "navMap");
    int offset = 0;
    if (!book.coverName.empty()) {
        AddNavPoint(xml, navMap, "cover", 1, "cover.html");
        offset = 1;
    }
    for (int n = 1; n <= pages; ++n)
        AddNavPoint(xml, navMap, PageId(n), n + offset, PageFile(n));
}

}  // namespace

pugi::xml_node StartNcx(XmlDocument& xml, const BookDescription& book, int pageCount) {
    pugi::xml_node ncx = xml.AddRoot("ncx", kNcxNamespace);
    XmlDocument::SetAttribute(ncx, "version", "2005-1");
    XmlDocument::SetAttribute(ncx, "xml:lang", book.languageTag);

    pugi::xml_node head = xml.AddChild(ncx, "head");
    const auto addMeta = [&](const char* name, const std::string& content) {
        pugi::xml_node meta = xml.AddChild(head, "meta");
        XmlDocument::SetAttribute(meta, "name", name);
        XmlDocument::SetAttribute(meta, "content", content);
    };
    // The same identifier as the package document's, so readers match the two.
    addMeta("dtb:uid", "urn:uuid:" + book.identity.uuid);
    addMeta("dtb:depth", "1");
    addMeta("dtb:totalPageCount", std::to_string(pageCount));
    addMeta("dtb:maxPageNumber", std::to_string(pageCount));

    AddTextChild(xml, xml.AddChild(ncx, "docTitle"), "text", book.title);
    AddTextChild(xml, xml.AddChild(ncx, "docAuthor"), "text", book.author);
    return ncx;
}

std::string PackageDocumentText(const BookDescription& book) {
    XmlDocument xml;
    BuildPackageDocument(book, xml);
    return xml.Text();
}

std::string NavigationDocumentText(const BookDescription& book) {
    XmlDocument xml;
    BuildNavigationDocument(book, xml);
    return xml.Text();
}

}  // namespace vellumark::epub
