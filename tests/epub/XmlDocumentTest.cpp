#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "TestTiff.h"
#include "common/Error.h"
#include "epub/XmlDocument.h"

namespace vellumark::epub {
namespace {

constexpr const char* kProlog = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>";

TEST(XmlDocumentTest, RootAloneHasNoFormatting) {
    XmlDocument xml;
    xml.AddRoot("package", "http://www.idpf.org/2007/opf");
    EXPECT_EQ(xml.Text(),
              std::string(kProlog) + "\r\n<package xmlns=\"http://www.idpf.org/2007/opf\"/>\r\n");
}

TEST(XmlDocumentTest, IndentsWithTabsAndCrLf) {
    XmlDocument xml;
    auto root = xml.AddRoot("a");
    auto b = xml.AddChild(root, "b");
    XmlDocument::SetText(xml.AddChild(b, "dc:title"), "My Book");
    xml.AddChild(b, "empty");
    auto c = xml.AddChild(root, "c");
    auto d = xml.AddChild(c, "d");
    xml.AddChild(d, "e");
    EXPECT_EQ(xml.Text(), std::string(kProlog) +
                              "\r\n<a>\r\n"
                              "\t<b>\r\n"
                              "\t\t<dc:title>My Book</dc:title>\r\n"
                              "\t\t<empty/>\r\n"
                              "\t</b>\r\n"
                              "\t<c>\r\n"
                              "\t\t<d>\r\n"
                              "\t\t\t<e/>\r\n"
                              "\t\t</d>\r\n"
                              "\t</c>\r\n"
                              "</a>\r\n");
}

TEST(XmlDocumentTest, PrologKeepsItsOrderAndLeavesOutEmptyValues) {
    XmlDocument xml;
    EXPECT_EQ(xml.PrologText(), "version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"");
    xml.SetPrologValue("standalone", "");
    xml.SetPrologValue("version", "");
    EXPECT_EQ(xml.PrologText(), "version=\"1.0\" encoding=\"UTF-8\"");
    xml.AddRoot("r");
    EXPECT_EQ(xml.Text().rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<r/>", 0), 0u);
}

TEST(XmlDocumentTest, TextAndAttributesAreEscapedAndMadeSafe) {
    XmlDocument xml;
    auto root = xml.AddRoot("r");
    XmlDocument::SetAttribute(root, "b", "1");
    XmlDocument::SetAttribute(root, "a", "x\"&<y");
    // A control character and a stray byte would make the file unreadable.
    XmlDocument::SetText(xml.AddChild(root, "t"), "Tom & <Jerry>\x01 \xff caf\xc3\xa9");
    const std::string text = xml.Text();
    EXPECT_NE(text.find("<r b=\"1\" a=\"x&quot;&amp;&lt;y\">"), std::string::npos) << text;
    EXPECT_NE(text.find("<t>Tom &amp; &lt;Jerry&gt; \xef\xbf\xbd caf\xc3\xa9</t>"),
              std::string::npos)
        << text;

    pugi::xml_document parsed;
    ASSERT_TRUE(parsed.load_string(text.c_str()));
    EXPECT_STREQ(parsed.child("r").attribute("a").value(), "x\"&<y");
}

TEST(XmlDocumentTest, SaveReplacesTheFileAndReportsFailure) {
    testing::TempFolder folder;
    const auto path = folder / "out.xml";
    { std::ofstream(path) << "an older and much longer file than the new one"; }
    XmlDocument xml;
    xml.AddRoot("r");
    xml.Save(path);
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), xml.Text());

    EXPECT_THROW(xml.Save(folder / "missing" / "out.xml"), Error);
}

}  // namespace
}  // namespace vellumark::epub
