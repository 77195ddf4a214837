#include <gtest/gtest.h>

#include <string>

#include "epub/ImagePage.h"

namespace vellumark::epub {
namespace {

TEST(ImagePageTest, TemplateLineByLine) {
    EXPECT_EQ(ImagePageText("3.jpg", "page3", "en-US"),
              "<?xml version='1.0' encoding='utf-8'?>\r\n"
              "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"en-US\"> \r\n"
              "<head>\r\n"
              "<title>page3</title>\r\n"
              "<link href=\"stylesheet.css\" type=\"text/css\" rel=\"stylesheet\"/> \r\n"
              "</head>\r\n"
              "<body>\r\n"
              "<div>\r\n"
              "<img src=\"3.jpg\" alt=\"page3\" />\r\n"
              "</div>\r\n"
              "</body>\r\n"
              "</html>\r\n");
}

TEST(ImagePageTest, PictureReferenceIsEscapedAndKeepsUtf8) {
    const std::string text =
        ImagePageText("Tom & \"Jerry\" <\xc3\xa9t\xc3\xa9>.jpg", "cover", "de-DE");
    EXPECT_NE(text.find("<img src=\"Tom &amp; &quot;Jerry&quot; &lt;\xc3\xa9t\xc3\xa9&gt;.jpg\" "
                        "alt=\"cover\" />\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("xml:lang=\"de-DE\""), std::string::npos);
}

}  // namespace
}  // namespace vellumark::epub
