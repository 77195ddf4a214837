#include "epub/XmlDocument.h"

#include <sstream>

#include "epub/FileOutput.h"

namespace vellumark::epub {
namespace {

constexpr const char* kLineEnd = "\r\n";

int NestingLevel(pugi::xml_node node) {
    int level = 0;
    for (pugi::xml_node up = node.parent(); up; up = up.parent())
        ++level;
    return level;
}

void AppendText(pugi::xml_node parent, const std::string& text) {
    parent.append_child(pugi::node_pcdata).set_value(text.c_str());
}

void AppendTextAfter(pugi::xml_node parent, pugi::xml_node after, const std::string& text) {
    parent.insert_child_after(pugi::node_pcdata, after).set_value(text.c_str());
}

}  // namespace

XmlDocument::XmlDocument() {
    prolog_ = document_.append_child(pugi::node_pi);
    prolog_.set_name("xml");
    SetPrologValue("standalone", "yes");
    SetPrologValue("version", "1.0");
    SetPrologValue("encoding", "UTF-8");
}

void XmlDocument::SetPrologValue(std::string_view name, std::string value) {
    if (name == "version") {
        version_ = std::move(value);
    } else if (name == "encoding") {
        encoding_ = std::move(value);
    } else if (name == "standalone") {
        standalone_ = std::move(value);
    } else {
        return;
    }
    prolog_.set_value(PrologText().c_str());
}

std::string XmlDocument::PrologText() const {
    std::string text;
    const auto add = [&text](const char* name, const std::string& value) {
        if (value.empty())
            return;
        if (!text.empty())
            text += ' ';
        text += std::string(name) + "=\"" + value + "\"";
    };
    add("version", version_.empty() ? std::string("1.0") : version_);
    add("encoding", encoding_);
    add("standalone", standalone_);
    return text;
}

pugi::xml_node XmlDocument::AddRoot(std::string_view name, std::string_view namespaceUri) {
    pugi::xml_node root = document_.append_child(std::string(name).c_str());
    if (!namespaceUri.empty())
        DeclareNamespace(root, {}, namespaceUri);
    return root;
}

pugi::xml_node XmlDocument::AddChild(pugi::xml_node parent, std::string_view name) {
    const std::string element(name);
    pugi::xml_node grandparent = parent.parent();
    // The root hangs under the document node and gets no formatting.
    if (!grandparent || parent.type() == pugi::node_document) {
        return parent.append_child(element.c_str());
    }
    std::string lineBreak = kLineEnd;
    for (int i = NestingLevel(grandparent); i > 0; --i)
        lineBreak += indent_;
    if (!parent.first_child())
        AppendText(parent, lineBreak);
    AppendText(parent, indent_);
    pugi::xml_node child = parent.append_child(element.c_str());
    AppendTextAfter(parent, child, lineBreak);
    return child;
}

void XmlDocument::SetAttribute(pugi::xml_node element, std::string_view name,
                               std::string_view value) {
    const std::string attributeName(name);
    pugi::xml_attribute attribute = element.attribute(attributeName.c_str());
    if (!attribute)
        attribute = element.append_attribute(attributeName.c_str());
    attribute.set_value(XmlSafeText(value).c_str());
}

void XmlDocument::DeclareNamespace(pugi::xml_node element, std::string_view prefix,
                                   std::string_view uri) {
    SetAttribute(element, prefix.empty() ? std::string("xmlns") : "xmlns:" + std::string(prefix),
                 uri);
}

void XmlDocument::SetText(pugi::xml_node element, std::string_view text) {
    while (element.first_child())
        element.remove_child(element.first_child());
    const std::string safe = XmlSafeText(text);
    if (!safe.empty())
        AppendText(element, safe);
}

std::string XmlDocument::Text() const {
    std::ostringstream out;
    // Our own nodes carry every byte of formatting, so the tree is written raw.
    const unsigned flags = pugi::format_raw | pugi::format_no_declaration;
    prolog_.print(out, "", flags, pugi::encoding_utf8);
    out << kLineEnd;
    document_.document_element().print(out, "", flags, pugi::encoding_utf8);
    out << kLineEnd;
    return out.str();
}

void XmlDocument::Save(const std::filesystem::path& path) const {
    WriteFileBytes(path, Text());
}

}  // namespace vellumark::epub
