#pragma once
// Pieces the EPUB 3 package and navigation documents of both kinds of book are built from.

#include <string>

#include "epub/XmlDocument.h"

namespace vellumark::epub {

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
