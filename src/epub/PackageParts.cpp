#include "epub/PackageParts.h"

namespace vellumark::epub {
namespace {

constexpr const char* kOpfNamespace = "http://www.idpf.org/2007/opf";
constexpr const char* kDcNamespace = "http://purl.org/dc/elements/1.1/";
constexpr const char* kXhtmlNamespace = "http://www.w3.org/1999/xhtml";
constexpr const char* kOpsNamespace = "http://www.idpf.org/2007/ops";

}  // namespace

pugi::xml_node AddPackageMetadata(XmlDocument& xml, const BookDescription& book) {
    pugi::xml_node package = xml.AddRoot("package", kOpfNamespace);
    XmlDocument::SetAttribute(package, "version", "3.0");
    XmlDocument::SetAttribute(package, "unique-identifier", "BookId");
    XmlDocument::SetAttribute(package, "xml:lang", book.languageTag);
    pugi::xml_node metadata = xml.AddChild(package, "metadata");
    XmlDocument::DeclareNamespace(metadata, "dc", kDcNamespace);
    pugi::xml_node identifier = xml.AddChild(metadata, "dc:identifier");
    XmlDocument::SetAttribute(identifier, "id", "BookId");
    XmlDocument::SetText(identifier, "urn:uuid:" + book.identity.uuid);
    AddText(xml, metadata, "dc:title", book.title);
    AddText(xml, metadata, "dc:creator", book.author);
    AddText(xml, metadata, "dc:language", book.languageTag);
    AddText(xml, metadata, "dc:date", book.identity.date);
    return metadata;
}

std::string ModifiedTime(const BookIdentity& identity) {
    return identity.modified.empty() ? identity.date + "T00:00:00Z" : identity.modified;
}

void AddCoverMeta(XmlDocument& xml, pugi::xml_node metadata, const std::string& imageId) {
    pugi::xml_node meta = xml.AddChild(metadata, "meta");
    XmlDocument::SetAttribute(meta, "name", "cover");
    XmlDocument::SetAttribute(meta, "content", imageId);
}

pugi::xml_node AddManifest(XmlDocument& xml, pugi::xml_node package, const char* navigation,
                           const char* stylesheet) {
    pugi::xml_node manifest = xml.AddChild(package, "manifest");
    XmlDocument::SetAttribute(AddItem(xml, manifest, "nav", navigation, kXhtmlType), "properties",
                              "nav");
    AddItem(xml, manifest, "ncx", kNavigationDocumentName, "application/x-dtbncx+xml");
    AddItem(xml, manifest, "style", stylesheet, "text/css");
    return manifest;
}

void AddSpine(XmlDocument& xml, pugi::xml_node package, const std::vector<std::string>& ids) {
    pugi::xml_node spine = xml.AddChild(package, "spine");
    XmlDocument::SetAttribute(spine, "toc", "ncx");
    for (const std::string& id : ids)
        XmlDocument::SetAttribute(xml.AddChild(spine, "itemref"), "idref", id);
}

pugi::xml_node AddNavigationBody(XmlDocument& xml, const BookDescription& book) {
    pugi::xml_node html = xml.AddRoot("html", kXhtmlNamespace);
    XmlDocument::DeclareNamespace(html, "epub", kOpsNamespace);
    XmlDocument::SetAttribute(html, "xml:lang", book.languageTag);
    XmlDocument::SetAttribute(html, "lang", book.languageTag);
    pugi::xml_node head = xml.AddChild(html, "head");
    XmlDocument::SetAttribute(xml.AddChild(head, "meta"), "charset", "UTF-8");
    AddText(xml, head, "title", book.title);
    return xml.AddChild(html, "body");
}

void AddText(XmlDocument& xml, pugi::xml_node parent, const char* name, const std::string& text) {
    XmlDocument::SetText(xml.AddChild(parent, name), text);
}

void AddProperty(XmlDocument& xml, pugi::xml_node metadata, const char* property,
                 const std::string& value) {
    pugi::xml_node meta = xml.AddChild(metadata, "meta");
    XmlDocument::SetAttribute(meta, "property", property);
    XmlDocument::SetText(meta, value);
}

pugi::xml_node AddItem(XmlDocument& xml, pugi::xml_node manifest, const std::string& id,
                       const std::string& href, const std::string& mediaType) {
    pugi::xml_node item = xml.AddChild(manifest, "item");
    XmlDocument::SetAttribute(item, "id", id);
    XmlDocument::SetAttribute(item, "href", href);
    XmlDocument::SetAttribute(item, "media-type", mediaType);
    return item;
}

pugi::xml_node AddLink(XmlDocument& xml, pugi::xml_node list, const std::string& href,
                       const std::string& label, const char* type) {
    pugi::xml_node item = xml.AddChild(list, "li");
    pugi::xml_node link = xml.AddChild(item, "a");
    if (type != nullptr)
        XmlDocument::SetAttribute(link, "epub:type", type);
    XmlDocument::SetAttribute(link, "href", href);
    XmlDocument::SetText(link, label);
    return item;
}

pugi::xml_node AddNav(XmlDocument& xml, pugi::xml_node body, const char* type, const char* role,
                      const char* heading, const char* headingText, bool hidden) {
    pugi::xml_node nav = xml.AddChild(body, "nav");
    XmlDocument::SetAttribute(nav, "epub:type", type);
    XmlDocument::SetAttribute(nav, "id", type);
    if (role != nullptr)
        XmlDocument::SetAttribute(nav, "role", role);
    XmlDocument::SetAttribute(nav, "aria-labelledby", std::string(type) + "-title");
    if (hidden)
        XmlDocument::SetAttribute(nav, "hidden", "hidden");
    pugi::xml_node title = xml.AddChild(nav, heading);
    XmlDocument::SetAttribute(title, "id", std::string(type) + "-title");
    XmlDocument::SetText(title, headingText);
    return xml.AddChild(nav, "ol");
}

}  // namespace vellumark::epub
