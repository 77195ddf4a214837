#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "TestTiff.h"
#include "common/Error.h"
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

TEST(ImagePageTest, WriteReplacesAndReportsFailure) {
    testing::TempFolder folder;
    const auto path = folder / "page1.html";
    { std::ofstream(path) << std::string(1000, 'x'); }
    WriteImagePage(path, "1.jpg", "page1", "en-US");
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
              ImagePageText("1.jpg", "page1", "en-US"));
    const auto missing = folder / "no" / "page1.html";
    try {
        WriteImagePage(missing, "1.jpg", "page1", "en-US");
        ADD_FAILURE() << "a page that cannot be written must fail";
    } catch (const Error& e) {
        EXPECT_EQ(e.Code(), ErrorCode::Io);
        EXPECT_EQ(e.Path(), missing);
        EXPECT_EQ(
            std::string(e.what()).rfind("Cannot create file \"" + missing.string() + "\".", 0), 0u)
            << e.what();
    }
}

}  // namespace
}  // namespace vellumark::epub
