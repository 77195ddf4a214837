#pragma once
// Pieces the EPUB 3 package and navigation documents of both kinds of book are built from.

#include <string>
#include <vector>

#include "epub/BookDocuments.h"
#include "epub/XmlDocument.h"

namespace vellumark::epub {

inline constexpr const char* kXhtmlType = "application/xhtml+xml";

// The package document's root (EPUB 3, in the book's language) and its metadata, begun with
// the book's identifier, title, author, language and date; returns the metadata.
pugi::xml_node AddPackageMetadata(XmlDocument& xml, const BookDescription& book);
// When the book was made, as dcterms:modified gives it.
std::string ModifiedTime(const BookIdentity& identity);
// The cover the EPUB 2 way, for reading systems that look for it so: the picture's item id.
void AddCoverMeta(XmlDocument& xml, pugi::xml_node metadata, const std::string& imageId);
// The manifest, begun with the navigation documents and the stylesheet; returns it.
pugi::xml_node AddManifest(XmlDocument& xml, pugi::xml_node package, const char* navigation,
                           const char* stylesheet);
// The spine: the items of these ids in reading order.
void AddSpine(XmlDocument& xml, pugi::xml_node package, const std::vector<std::string>& ids);
// The navigation document's root, in the book's language, titled after it; returns its body.
pugi::xml_node AddNavigationBody(XmlDocument& xml, const BookDescription& book);

// <name>text</name> under `parent`.
void AddText(XmlDocument& xml, pugi::xml_node parent, const char* name, const std::string& text);
// <meta property="...">value</meta> under the package's metadata.
void AddProperty(XmlDocument& xml, pugi::xml_node metadata, const char* property,
                 const std::string& value);
// A manifest item; returns it.
pugi::xml_node AddItem(XmlDocument& xml, pugi::xml_node manifest, const std::string& id,
                       const std::string& href, const std::string& mediaType);
// A list item with a link (of that epub:type, when given); returns the list item.
pugi::xml_node AddLink(XmlDocument& xml, pugi::xml_node list, const std::string& href,
                       const std::string& label, const char* type = nullptr);
// A nav element with a heading and an empty list; returns the list.
pugi::xml_node AddNav(XmlDocument& xml, pugi::xml_node body, const char* type, const char* role,
                      const char* heading, const char* headingText, bool hidden);

}  // namespace vellumark::epub
