#pragma once
// Whole-file writes for the files a conversion stages, and text made safe for XML.

#include <filesystem>
#include <string>
#include <string_view>

namespace vellumark::epub {

// Writes `bytes` to `path`, replacing any file of that name. Throws vellumark::Error (Io) with
// the path when the file cannot be created or fully written.
void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);

// `text` with what XML 1.0 cannot carry taken out: bytes that are not UTF-8 become U+FFFD and
// control characters other than TAB, LF and CR are dropped. Titles come from users and scripts.
std::string XmlSafeText(std::string_view text);

// XmlSafeText with &, < and > escaped, for an element's text.
std::string EscapeXmlText(std::string_view text);
// EscapeXmlText with " escaped too, and TAB, LF and CR as references, for an attribute value in
// double quotes.
std::string EscapeXmlAttribute(std::string_view text);

}  // namespace vellumark::epub
