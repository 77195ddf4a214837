#include "epub/PackageParts.h"

namespace vellumark::epub {

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
