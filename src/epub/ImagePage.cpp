#include "epub/ImagePage.h"

#include "epub/FileOutput.h"

namespace vellumark::epub {

const char* const kStylesheetText =
    "body {\r\n"
    "\tmargin: 0;\r\n"
    "\tpadding: 0;\r\n"
    "\ttext-align: center;\r\n"
    "}\r\n"
    "div {\r\n"
    "\tmargin: 0;\r\n"
    "\tpadding: 0;\r\n"
    "}\r\n"
    "img {\r\n"
    "\tmax-width: 100%;\r\n"
    "\tmax-height: 100%;\r\n"
    "}\r\n";

std::string ImagePageText(std::string_view pictureReference, std::string_view label,
                          std::string_view languageTag) {
    const std::string lang = EscapeXmlAttribute(languageTag);
    const std::string alt = EscapeXmlAttribute(label);
    std::string text;
    const auto line = [&text](const std::string& content) { text += content + "\r\n"; };
    line("<?xml version='1.0' encoding='utf-8'?>");
    line("<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"" + lang + "\"> ");
    line("<head>");
    line("<title>" + alt + "</title>");
    line("<link href=\"" + std::string(kStylesheetName) +
         "\" type=\"text/css\" rel=\"stylesheet\"/> ");
    line("</head>");
    line("<body>");
    line("<div>");
    line("<img src=\"" + EscapeXmlAttribute(pictureReference) + "\" alt=\"" + alt + "\" />");
    line("</div>");
    line("</body>");
    line("</html>");
    return text;
}

}  // namespace vellumark::epub
