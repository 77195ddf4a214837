#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <string>
#include <vector>

#include "epub/BookDocuments.h"

namespace vellumark::epub {
namespace {

BookDescription Book(int pages, std::string coverName = {}) {
    BookDescription book;
    book.title = "My Book";
    book.author = "Ann Author";
    book.coverName = std::move(coverName);
    book.pageCount = pages;
    book.languageTag = "en-US";
    book.identity = {"0f8fad5b-d9cb-469f-a165-70867728950e", "2024-03-01", ""};
    return book;
}

std::vector<std::string> Values(const pugi::xml_node parent, const char* child,
                                const char* attribute) {
    std::vector<std::string> values;
    for (auto node : parent.children(child))
        values.emplace_back(node.attribute(attribute).value());
    return values;
}

TEST(PackageDocumentTest, EmptyBookByteForByte) {
    EXPECT_EQ(PackageDocumentText(Book(0)),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
              "<package xmlns=\"http://www.idpf.org/2007/opf\" unique-identifier=\"BookId\" "
              "version=\"2.0\">\r\n"
              "\t<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
              "xmlns:opf=\"http://www.idpf.org/2007/opf\">\r\n"
              "\t\t<dc:title>My Book</dc:title>\r\n"
              "\t\t<dc:creator>Ann Author</dc:creator>\r\n"
              "\t\t<dc:subject/>\r\n"
              "\t\t<dc:description/>\r\n"
              "\t\t<dc:contributor/>\r\n"
              "\t\t<dc:date>2024-03-01</dc:date>\r\n"
              "\t\t<dc:type>[type]</dc:type>\r\n"
              "\t\t<dc:format/>\r\n"
              "\t\t<dc:identifier id=\"BookId\" opf:scheme=\"UUID\">"
              "urn:uuid:0f8fad5b-d9cb-469f-a165-70867728950e</dc:identifier>\r\n"
              "\t\t<dc:source>https://vellumark.org/</dc:source>\r\n"
              "\t\t<dc:language>en-US</dc:language>\r\n"
              "\t\t<dc:relation/>\r\n"
              "\t\t<dc:coverage/>\r\n"
              "\t\t<dc:rights>Copyright (C) 2013 the Vellumark developers</dc:rights>\r\n"
              "\t\t<meta name=\"cover\" content=\"cover-image\"/>\r\n"
              "\t</metadata>\r\n"
              "\t<manifest>\r\n"
              "\t\t<item id=\"style\" href=\"stylesheet.css\" media-type=\"text/css\"/>\r\n"
              "\t\t<item id=\"ncx\" href=\"fb.ncx\" media-type=\"application/x-dtbncx+xml\"/>\r\n"
              "\t</manifest>\r\n"
              "\t<spine toc=\"ncx\"/>\r\n"
              "</package>\r\n");
}

TEST(PackageDocumentTest, CoverAndTwelvePagesInOrder) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(PackageDocumentText(Book(12, "cover.jpeg")).c_str()));
    const auto package = doc.child("package");

    std::vector<std::string> ids = {"style", "ncx", "cover", "cover-image"};
    for (int n = 1; n <= 12; ++n)
        ids.push_back("page" + std::to_string(n));
    for (int n = 1; n <= 12; ++n)
        ids.push_back("image" + std::to_string(n));
    EXPECT_EQ(Values(package.child("manifest"), "item", "id"), ids);

    const auto manifest = package.child("manifest");
    EXPECT_STREQ(manifest.find_child_by_attribute("id", "cover-image").attribute("href").value(),
                 "cover.jpeg");
    EXPECT_STREQ(manifest.find_child_by_attribute("id", "page10").attribute("href").value(),
                 "page10.html");
    const auto image10 = manifest.find_child_by_attribute("id", "image10");
    EXPECT_STREQ(image10.attribute("href").value(), "10.jpg");
    EXPECT_STREQ(image10.attribute("media-type").value(), "image/jpeg");

    std::vector<std::string> spine = {"cover"};
    for (int n = 1; n <= 12; ++n)
        spine.push_back("page" + std::to_string(n));
    EXPECT_EQ(Values(package.child("spine"), "itemref", "idref"), spine);
    for (auto itemref : package.child("spine").children("itemref")) {
        EXPECT_STREQ(itemref.attribute("linear").value(), "yes");
    }
}

TEST(PackageDocumentTest, TitleAndAuthorRoundTripThroughEscaping) {
    BookDescription book = Book(1);
    book.title = "Tom & Jerry <vol. 2> \"quoted\" / caf\xc3\xa9";
    book.author = "A & B";
    const std::string text = PackageDocumentText(book);
    EXPECT_NE(text.find("Tom &amp; Jerry &lt;vol. 2&gt;"), std::string::npos);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(text.c_str()));
    const auto metadata = doc.child("package").child("metadata");
    EXPECT_EQ(std::string(metadata.child_value("dc:title")), book.title);
    EXPECT_EQ(std::string(metadata.child_value("dc:creator")), book.author);
}

TEST(NavigationDocumentTest, EmptyBookByteForByte) {
    EXPECT_EQ(NavigationDocumentText(Book(0)),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
              "<ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\" version=\"2005-1\" "
              "xml:lang=\"en-US\">\r\n"
              "\t<head>\r\n"
              "\t\t<meta name=\"dtb:uid\" "
              "content=\"urn:uuid:0f8fad5b-d9cb-469f-a165-70867728950e\"/>\r\n"
              "\t\t<meta name=\"dtb:depth\" content=\"1\"/>\r\n"
              "\t\t<meta name=\"dtb:totalPageCount\" content=\"0\"/>\r\n"
              "\t\t<meta name=\"dtb:maxPageNumber\" content=\"0\"/>\r\n"
              "\t</head>\r\n"
              "\t<docTitle>\r\n"
              "\t\t<text>My Book</text>\r\n"
              "\t</docTitle>\r\n"
              "\t<docAuthor>\r\n"
              "\t\t<text>Ann Author</text>\r\n"
              "\t</docAuthor>\r\n"
              "\t<navMap/>\r\n"
              "</ncx>\r\n");
}

TEST(NavigationDocumentTest, PlayOrdersLabelsAndPageCounts) {
    struct Case {
        std::string cover;
        std::vector<std::string> ids;
    };
    for (const Case& c : {Case{"", {"page1", "page2", "page3"}},
                          Case{"cover.jpg", {"cover", "page1", "page2", "page3"}}}) {
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(NavigationDocumentText(Book(3, c.cover)).c_str()));
        const auto navMap = doc.child("ncx").child("navMap");
        EXPECT_EQ(Values(navMap, "navPoint", "id"), c.ids);
        int expectedOrder = 1;
        for (auto point : navMap.children("navPoint")) {
            const std::string id = point.attribute("id").value();
            EXPECT_EQ(point.attribute("playOrder").as_int(), expectedOrder++);
            EXPECT_EQ(std::string(point.child("navLabel").child_value("text")), id);
            EXPECT_EQ(std::string(point.child("content").attribute("src").value()), id + ".html");
            // Label first, then content.
            EXPECT_STREQ(point.first_child().name(), "navLabel");
        }
    }

    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(NavigationDocumentText(Book(500)).c_str()));
    const auto head = doc.child("ncx").child("head");
    EXPECT_STREQ(
        head.find_child_by_attribute("name", "dtb:totalPageCount").attribute("content").value(),
        "0");
    EXPECT_STREQ(
        head.find_child_by_attribute("name", "dtb:maxPageNumber").attribute("content").value(),
        "0");
}

}  // namespace
}  // namespace vellumark::epub
