#pragma once
// An XML document built element by element that indents itself as elements are added: every
// element below the root starts on its own line, one TAB per level below the root, lines end in
// CR LF, and an element holding only text (or nothing) stays on one line. The file starts with
// the prolog <?xml version="1.0" encoding="UTF-8" standalone="yes"?>. The package and the
// navigation documents are made this way so that both have the same shape.
//
// Namespaces are written as plain attributes: a name with a prefix is taken as given, and a
// declaration is an ordinary "xmlns" or "xmlns:prefix" attribute. Not thread-safe; one document
// per thread.

#include <filesystem>
#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace vellumark::epub {

class XmlDocument {
public:
    // An empty document holding only the prolog (standalone, version and encoding set).
    XmlDocument();
    // Nodes handed out point into the document, so it stays where it was made.
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // Sets one prolog value ("version", "encoding" or "standalone"; others are ignored) and
    // rebuilds the prolog text in the order version, encoding, standalone, leaving out empty
    // values. An empty version is written as "1.0".
    void SetPrologValue(std::string_view name, std::string value);
    std::string PrologText() const;

    // Adds the document element, declaring `namespaceUri` as its default namespace when it is
    // not empty. No formatting text is added at this level.
    pugi::xml_node AddRoot(std::string_view name, std::string_view namespaceUri = {});
    // Appends an element to `parent` with the indentation text around it.
    pugi::xml_node AddChild(pugi::xml_node parent, std::string_view name);

    // Attributes keep the order in which they are set. Values and text are made XML-safe
    // (invalid UTF-8 replaced, disallowed control characters dropped) and escaped on output.
    static void SetAttribute(pugi::xml_node element, std::string_view name, std::string_view value);
    static void DeclareNamespace(pugi::xml_node element, std::string_view prefix,
                                 std::string_view uri);
    // The element's content becomes this one text node (no formatting around it).
    static void SetText(pugi::xml_node element, std::string_view text);

    // The whole document as saved: prolog, CR LF, the root element, CR LF.
    std::string Text() const;
    // Writes Text() to `path`, replacing any file of that name. Throws vellumark::Error (Io).
    void Save(const std::filesystem::path& path) const;

private:
    pugi::xml_document document_;
    pugi::xml_node prolog_;
    std::string version_;
    std::string encoding_;
    std::string standalone_;
    std::string indent_ = "\t";
};

}  // namespace vellumark::epub
