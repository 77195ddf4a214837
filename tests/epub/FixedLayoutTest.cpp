// The fixed-layout (EPUB 3) book's parts on their own: the text layer's placement and markup,
// the page document, and the package, navigation and NCX documents.

#include <gtest/gtest.h>

#include <algorithm>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "common/Error.h"
#include "epub/BlankFont.h"
#include "epub/BookOutline.h"
#include "epub/FixedLayoutBook.h"
#include "epub/FixedLayoutPage.h"

namespace vellumark::epub {
namespace {

imaging::Word BoxedWord(std::string text, int left, int top, int width, int height, int block,
                        int line) {
    imaging::Word word{std::move(text), left, top, width, height, true};
    word.block = block;
    word.line = line;
    return word;
}

pugi::xml_document Parse(const std::string& text, unsigned options = pugi::parse_default) {
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_string(text.c_str(), options);
    EXPECT_TRUE(parsed) << parsed.description() << "\n" << text;
    return document;
}

std::vector<std::string> Texts(const pugi::xpath_node_set& nodes) {
    std::vector<std::string> texts;
    for (const auto& node : nodes)
        texts.emplace_back(node.node().text().get());
    return texts;
}

TEST(FixedLayoutPageTest, CssPixelsAreShortAndIndependentOfTheLocale) {
    EXPECT_EQ(CssPixels(12), "12");
    EXPECT_EQ(CssPixels(12.5), "12.5");
    EXPECT_EQ(CssPixels(0.126), "0.13");
    EXPECT_EQ(CssPixels(-3.10), "-3.1");
    EXPECT_EQ(CssPixels(-0.001), "0");
    EXPECT_EQ(CssPixels(1e300 * 1e300), "0");
}

TEST(FixedLayoutPageTest, BoxesAreScaledFromTheReadPageOntoThePicture) {
    // Read on a 2480 x 3508 page; the picture is 794 x 1123.
    const auto placed =
        PlaceWords({BoxedWord("Hello", 310, 350, 620, 100, 0, 0), BoxedWord("", 0, 0, 9, 9, 0, 0),
                    BoxedWord("world", 1000, 355, 600, 90, 0, 0)},
                   2480, 3508, 794, 1123);
    ASSERT_EQ(placed.size(), 2u);  // a word without text is no word
    EXPECT_NEAR(placed[0].left, 310 * 794.0 / 2480, 1e-9);
    EXPECT_NEAR(placed[0].top, 350 * 1123.0 / 3508, 1e-9);
    EXPECT_NEAR(placed[0].width, 620 * 794.0 / 2480, 1e-9);
    EXPECT_NEAR(placed[1].height, 90 * 1123.0 / 3508, 1e-9);
}

TEST(FixedLayoutPageTest, StoredTextWithoutBoxesIsSpreadOverThePageLineByLine) {
    std::vector<imaging::Word> words = {{"first"}, {"line"}, {"second"}};
    words[2].line = 1;
    const auto placed = PlaceWords(words, 0, 0, 800, 1000);
    ASSERT_EQ(placed.size(), 3u);
    EXPECT_EQ(placed[0].top, placed[1].top);
    EXPECT_LT(placed[0].top, placed[2].top);
    for (const PlacedWord& word : placed) {
        EXPECT_GE(word.top, 0);
        EXPECT_LE(word.top + word.height, 1000);
        EXPECT_GT(word.left, 0);
    }
}

// The layer's markup inside an SVG drawing of its own, parsed with the spaces between words.
pugi::xml_document ParseLayer(const std::string& markup) {
    return Parse("<svg xmlns=\"http://www.w3.org/2000/svg\">" + markup + "</svg>",
                 pugi::parse_default | pugi::parse_ws_pcdata);
}

TEST(FixedLayoutPageTest, TheLayerKeepsLinesAndReadingOrderAndStretchesWordsOverTheirInk) {
    const auto placed = PlaceWords(
        {BoxedWord("Tom", 100, 100, 60, 20, 0, 0), BoxedWord("&", 170, 102, 15, 18, 0, 0),
         BoxedWord("Jerry", 195, 100, 90, 24, 0, 0), BoxedWord("<b>", 100, 140, 50, 20, 0, 1),
         BoxedWord("Columns", 500, 100, 120, 20, 1, 2)},
        1000, 1000, 1000, 1000);
    const std::string markup = TextLayerMarkup(placed);
    const pugi::xml_document layer = ParseLayer(markup);
    // A text element per line, the words in order with one space between words of a line.
    EXPECT_EQ(Texts(layer.select_nodes("/svg/g[@class='ocr']/text/tspan")),
              (std::vector<std::string>{"Tom", "&", "Jerry", "<b>", "Columns"}));
    const pugi::xpath_node_set lines = layer.select_nodes("/svg/g[@class='ocr']/text");
    ASSERT_EQ(lines.size(), 3u);
    std::vector<std::string> spoken;
    for (const auto& line : lines) {
        std::string text;
        for (pugi::xml_node piece : line.node().children())
            text += piece.type() == pugi::node_pcdata ? piece.value() : piece.text().get();
        spoken.push_back(text);
    }
    EXPECT_EQ(spoken, (std::vector<std::string>{"Tom & Jerry", "<b>", "Columns"}));
    // The line is as high as the union of its words; the baseline is where the blank font's
    // ascent puts it.
    const pugi::xml_node line = lines[0].node();
    EXPECT_STREQ(line.attribute("x").value(), "100");
    EXPECT_STREQ(line.attribute("y").value(), "119.2");  // 100 + 0.8 * 24
    EXPECT_STREQ(line.attribute("font-size").value(), "24");
    // Each word starts at its box and is stretched over it.
    const pugi::xml_node amp = line.select_node("tspan[2]").node();
    EXPECT_STREQ(amp.attribute("x").value(), "170");
    EXPECT_STREQ(amp.attribute("textLength").value(), "15");
    EXPECT_STREQ(amp.attribute("lengthAdjust").value(), "spacingAndGlyphs");
    // Readers that print every character of the body stop at the marker, before the words.
    EXPECT_LT(markup.find("<desc><body xmlns=\"" + std::string(kTextLayerNamespace) + "\"/>"),
              markup.find("<text"));
    EXPECT_EQ(markup.find("display"), std::string::npos);
    EXPECT_EQ(markup.find("visibility"), std::string::npos);
    EXPECT_EQ(TextLayerMarkup({}), "");
}

TEST(FixedLayoutPageTest, StoredTextKeepsItsNaturalWidth) {
    std::vector<imaging::Word> words = {{"first"}, {"line"}};
    const pugi::xml_document layer =
        ParseLayer(TextLayerMarkup(PlaceWords(words, 0, 0, 800, 1000)));
    EXPECT_EQ(layer.select_nodes("//tspan").size(), 2u);
    EXPECT_FALSE(layer.select_node("//tspan[@textLength]"));
}

TEST(FixedLayoutPageTest, ThePageDocumentIsOneDrawingOfThePicture) {
    const FixedPage page{"Page 7", "7.jpg", 794, 1123};
    const std::string layer = TextLayerMarkup(
        PlaceWords({BoxedWord("word", 10, 10, 40, 12, 0, 0)}, 794, 1123, 794, 1123));
    const std::string text = FixedPageText(page, layer, kFixedStylesheetName, "de-DE");
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<!DOCTYPE html>\r\n", 0),
              0u);
    const pugi::xml_document document = Parse(text);
    const pugi::xml_node html = document.child("html");
    EXPECT_STREQ(html.attribute("lang").value(), "de-DE");
    EXPECT_STREQ(html.attribute("xml:lang").value(), "de-DE");
    EXPECT_STREQ(
        html.select_node("head/meta[@name='viewport']").node().attribute("content").value(),
        "width=794, height=1123");
    EXPECT_STREQ(html.select_node("head/title").node().text().get(), "Page 7");
    const pugi::xml_node svg = html.select_node("body/svg[@class='page']").node();
    EXPECT_STREQ(svg.attribute("xmlns").value(), "http://www.w3.org/2000/svg");
    EXPECT_STREQ(svg.attribute("viewBox").value(), "0 0 794 1123");
    EXPECT_STREQ(svg.attribute("preserveAspectRatio").value(), "xMidYMid meet");
    // The drawing is the body's only content; the picture comes first, then the words.
    EXPECT_EQ(std::distance(html.child("body").begin(), html.child("body").end()), 1);
    const pugi::xml_node image = svg.first_child();
    EXPECT_STREQ(image.name(), "image");
    EXPECT_STREQ(image.attribute("xlink:href").value(), "7.jpg");
    EXPECT_STREQ(image.attribute("width").value(), "794");
    EXPECT_STREQ(image.attribute("height").value(), "1123");
    EXPECT_STREQ(image.attribute("aria-label").value(), "Page 7");
    EXPECT_TRUE(svg.select_node("g[@class='ocr']/text"));
    const std::string plain = FixedPageText(page, {}, kFixedStylesheetName, "en");
    EXPECT_FALSE(Parse(plain).select_node("//*[@class='ocr']"));
    EXPECT_EQ(plain.find("desc"), std::string::npos);
}

BookDescription Book(int pages, bool text, std::string cover = {}) {
    BookDescription book;
    book.title = "Field Notes";
    book.author = "Ann Author";
    book.coverName = std::move(cover);
    book.pageCount = pages;
    book.languageTag = "en-GB";
    book.identity = {"0f8fad5b-d9cb-469f-a165-70867728950e", "2024-03-01", ""};
    book.format = BookFormat::Epub3;
    for (int n = 1; n <= pages; ++n)
        book.pages.push_back({std::to_string(n) + ".jpg", "image/jpeg", 794, 1123, text && n == 2});
    return book;
}

std::vector<std::string> Properties(const pugi::xml_document& opf, const char* property) {
    return Texts(opf.select_nodes(
        (std::string("/package/metadata/meta[@property='") + property + "']").c_str()));
}

TEST(FixedLayoutDocumentsTest, PackageDocumentIsPrePaginatedAndTellsWhatTheBookOffers) {
    for (bool text : {false, true}) {
        SCOPED_TRACE(text);
        const pugi::xml_document opf = Parse(FixedPackageDocumentText(Book(3, text)));
        const pugi::xml_node package = opf.child("package");
        EXPECT_STREQ(package.attribute("version").value(), "3.0");
        EXPECT_STREQ(package.select_node("metadata/dc:identifier").node().text().get(),
                     "urn:uuid:0f8fad5b-d9cb-469f-a165-70867728950e");
        EXPECT_EQ(Properties(opf, "dcterms:modified"),
                  std::vector<std::string>{"2024-03-01T00:00:00Z"});
        EXPECT_EQ(Properties(opf, "rendition:layout"), std::vector<std::string>{"pre-paginated"});
        EXPECT_EQ(Properties(opf, "rendition:spread"), std::vector<std::string>{"none"});
        EXPECT_STREQ(package.select_node("metadata/dc:language").node().text().get(), "en-GB");
        const std::string summary = Properties(opf, "schema:accessibilitySummary").at(0);
        if (text) {
            EXPECT_EQ(Properties(opf, "schema:accessMode"),
                      (std::vector<std::string>{"textual", "visual"}));
            // OCR is not proofread: text alone is never enough.
            EXPECT_EQ(Properties(opf, "schema:accessModeSufficient"),
                      (std::vector<std::string>{"visual", "textual,visual"}));
            EXPECT_NE(summary.find("OCR"), std::string::npos);
            EXPECT_NE(summary.find("may contain errors"), std::string::npos);
            EXPECT_TRUE(package.select_node("manifest/item[@href='ocr-blank.ttf']"));
        } else {
            EXPECT_EQ(Properties(opf, "schema:accessMode"), std::vector<std::string>{"visual"});
            EXPECT_EQ(Properties(opf, "schema:accessModeSufficient"),
                      std::vector<std::string>{"visual"});
            EXPECT_NE(summary.find("only visually"), std::string::npos);
            EXPECT_FALSE(package.select_node("manifest/item[@href='ocr-blank.ttf']"));
        }
        EXPECT_EQ(Properties(opf, "schema:accessibilityHazard"), std::vector<std::string>{"none"});
        EXPECT_FALSE(Properties(opf, "schema:accessibilityFeature").empty());
        std::vector<std::string> spine;
        for (const auto& ref : package.select_nodes("spine/itemref"))
            spine.emplace_back(ref.node().attribute("idref").value());
        EXPECT_EQ(spine, (std::vector<std::string>{"page1", "page2", "page3"}));
        EXPECT_TRUE(package.select_node("manifest/item[@properties='nav']"));
        // Every page draws its picture in SVG, and says so.
        EXPECT_EQ(package.select_nodes("manifest/item[@properties='svg']").size(), 3u);
        // Without a cover, the first page is the book's picture.
        EXPECT_STREQ(package.select_node("manifest/item[@properties='cover-image']")
                         .node()
                         .attribute("href")
                         .value(),
                     "1.jpg");
    }
    const pugi::xml_document withCover = Parse(FixedPackageDocumentText(Book(1, false, "c.jpeg")));
    EXPECT_STREQ(withCover.select_node("/package/manifest/item[@properties='cover-image']")
                     .node()
                     .attribute("href")
                     .value(),
                 "c.jpeg");
    EXPECT_STREQ(
        withCover.select_node("/package/spine/itemref[1]").node().attribute("idref").value(),
        "cover");
}

TEST(FixedLayoutDocumentsTest, NavigationListsEveryPageOnceAndTheNcxMatches) {
    const BookDescription book = Book(3, false, "cover.jpg");
    const pugi::xml_document nav = Parse(FixedNavigationDocumentText(book));
    EXPECT_EQ(Texts(nav.select_nodes("//nav[@epub:type='toc']/ol/li/a")),
              (std::vector<std::string>{"Cover", "Page 1", "Page 2", "Page 3"}));
    EXPECT_EQ(Texts(nav.select_nodes("//nav[@epub:type='page-list']/ol/li/a")),
              (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_STREQ(nav.select_node("//nav[@epub:type='page-list']/ol/li[3]/a")
                     .node()
                     .attribute("href")
                     .value(),
                 "page3.xhtml");
    std::vector<std::string> landmarks;
    for (const auto& a : nav.select_nodes("//nav[@epub:type='landmarks']/ol/li/a"))
        landmarks.emplace_back(a.node().attribute("epub:type").value());
    EXPECT_EQ(landmarks, (std::vector<std::string>{"cover", "bodymatter"}));

    const pugi::xml_document ncx = Parse(FixedNcxText(book));
    EXPECT_STREQ(ncx.select_node("//meta[@name='dtb:uid']").node().attribute("content").value(),
                 "urn:uuid:0f8fad5b-d9cb-469f-a165-70867728950e");
    EXPECT_STREQ(
        ncx.select_node("//meta[@name='dtb:totalPageCount']").node().attribute("content").value(),
        "3");
    // A page shares its play order between the map and the page list.
    EXPECT_STREQ(ncx.select_node("//navPoint[@id='page2']").node().attribute("playOrder").value(),
                 "3");
    EXPECT_STREQ(ncx.select_node("//pageTarget[@value='2']").node().attribute("playOrder").value(),
                 "3");
}

TEST(FixedLayoutDocumentsTest, ChaptersNestByLevelAndThePageListCarriesPrintedLabels) {
    BookDescription book = Book(6, true, "cover.jpg");
    // A jump from level 1 to 3 nests one deeper; a chapter past the last page is dropped.
    book.chapters = {{0, 1, "Preface"},     {2, 1, "Part One"}, {2, 2, "1. Arrival"},
                     {3, 4, "1.1 Records"}, {4, 1, "Notes"},    {9, 1, "Lost"}};
    book.pageLabels = {"", "iii", "1", "2", "3", ""};
    const pugi::xml_document nav = Parse(FixedNavigationDocumentText(book));
    EXPECT_EQ(Texts(nav.select_nodes("//nav[@epub:type='toc']/ol/li/a")),
              (std::vector<std::string>{"Cover", "Preface", "Part One", "Notes"}));
    EXPECT_EQ(Texts(nav.select_nodes("//nav[@epub:type='toc']/ol/li[3]/ol/li/a")),
              std::vector<std::string>{"1. Arrival"});
    EXPECT_EQ(Texts(nav.select_nodes("//nav[@epub:type='toc']/ol/li[3]/ol/li/ol/li/a")),
              std::vector<std::string>{"1.1 Records"});
    EXPECT_STREQ(nav.select_node("//nav[@epub:type='toc']//a[.='1.1 Records']")
                     .node()
                     .attribute("href")
                     .value(),
                 "page4.xhtml");
    // Pages without a printed label are not print pages.
    EXPECT_EQ(Texts(nav.select_nodes("//nav[@epub:type='page-list']/ol/li/a")),
              (std::vector<std::string>{"iii", "1", "2", "3"}));
    EXPECT_STREQ(nav.select_node("//nav[@epub:type='page-list']/ol/li[2]/a")
                     .node()
                     .attribute("href")
                     .value(),
                 "page3.xhtml");

    const pugi::xml_document ncx = Parse(FixedNcxText(book));
    EXPECT_EQ(Texts(ncx.select_nodes("/ncx/navMap/navPoint/navLabel/text")),
              (std::vector<std::string>{"Cover", "Preface", "Part One", "Notes"}));
    const pugi::xml_node arrival = ncx.select_node("/ncx/navMap/navPoint[3]/navPoint").node();
    EXPECT_STREQ(arrival.child("navLabel").child_value("text"), "1. Arrival");
    EXPECT_STREQ(arrival.child("navPoint").child("content").attribute("src").value(),
                 "page4.xhtml");
    // A chapter and its page's target share one play order.
    EXPECT_STREQ(
        arrival.attribute("playOrder").value(),
        ncx.select_node("//pageTarget[navLabel/text='1']").node().attribute("playOrder").value());
    EXPECT_STREQ(
        ncx.select_node("//pageTarget[navLabel/text='iii']").node().attribute("type").value(),
        "front");
    EXPECT_STREQ(
        ncx.select_node("//pageTarget[navLabel/text='iii']").node().attribute("value").value(),
        "3");
    EXPECT_STREQ(
        ncx.select_node("//pageTarget[navLabel/text='2']").node().attribute("type").value(),
        "normal");

    const auto meta = [&](const char* name) {
        return std::string(ncx.select_node((std::string("//meta[@name='") + name + "']").c_str())
                               .node()
                               .attribute("content")
                               .value());
    };
    EXPECT_EQ(meta("dtb:depth"), "3");
    EXPECT_EQ(meta("dtb:totalPageCount"), "3");
    EXPECT_EQ(meta("dtb:maxPageNumber"), "3");
    // Play orders count the pages pointed at, from 1 with no gap: the cover, the preface, iii,
    // 1, 2, 3.
    std::vector<std::string> orders;
    for (const auto& target : ncx.select_nodes("//pageTarget"))
        orders.emplace_back(target.node().attribute("playOrder").value());
    EXPECT_EQ(orders, (std::vector<std::string>{"3", "4", "5", "6"}));

    // A contents that starts below the top level keeps its entries side by side.
    BookDescription low = Book(3, true);
    low.chapters = {{0, 2, "One"}, {1, 3, "One.1"}, {2, 2, "Two"}};
    const pugi::xml_document lowNav = Parse(FixedNavigationDocumentText(low));
    EXPECT_EQ(Texts(lowNav.select_nodes("//nav[@epub:type='toc']/ol/li/a")),
              (std::vector<std::string>{"One", "Two"}));
    EXPECT_EQ(Texts(lowNav.select_nodes("//nav[@epub:type='toc']/ol/li/ol/li/a")),
              std::vector<std::string>{"One.1"});

    const pugi::xml_document opf = Parse(FixedPackageDocumentText(book));
    const auto features = Properties(opf, "schema:accessibilityFeature");
    EXPECT_NE(std::find(features.begin(), features.end(), "printPageNumbers"), features.end());
    EXPECT_NE(std::find(features.begin(), features.end(), "structuralNavigation"), features.end());
    EXPECT_STREQ(opf.select_node("/package/metadata/dc:source").node().text().get(),
                 "The printed edition of Field Notes, as scanned");
    // Without labels or chapters the book says neither.
    const pugi::xml_document plain = Parse(FixedPackageDocumentText(Book(2, true)));
    EXPECT_FALSE(plain.select_node("/package/metadata/dc:source"));
    const auto plainFeatures = Properties(plain, "schema:accessibilityFeature");
    EXPECT_EQ(std::find(plainFeatures.begin(), plainFeatures.end(), "printPageNumbers"),
              plainFeatures.end());
}

TEST(FixedLayoutDocumentsTest, APrintedPageIsMarkedWhereItsBodyStarts) {
    const std::string page = FixedPageText({"Page 3", "3.jpg", 10, 20}, {}, "s.css", "en");
    const std::string marked = WithPageBreak(page, "x<i>");
    const pugi::xml_document xhtml = Parse(marked);
    const pugi::xml_node span = xhtml.select_node("/html/body/span").node();
    EXPECT_STREQ(span.attribute("role").value(), "doc-pagebreak");
    EXPECT_STREQ(span.attribute("epub:type").value(), "pagebreak");
    EXPECT_STREQ(span.attribute("aria-label").value(), "x<i>");
    EXPECT_EQ(span.next_sibling().name(), std::string("svg"));
    EXPECT_EQ(WithPageBreak("<html/>", "1"), "<html/>");
}

TEST(FixedLayoutDocumentsTest, TheOutlineComesFromTheFileTheTextOrThePages) {
    BookDescription book = Book(4, true);
    structure::BookStructure found;
    found.pageCount = 4;
    found.labels = {"", "1", "2", "3"};
    found.headings = {{1, 1, "Arrival"}, {3, 1, "Landfall"}};
    OutlineSettings settings;
    DescribeOutline(&found, settings, book);
    ASSERT_EQ(book.chapters.size(), 2u);
    EXPECT_EQ(book.chapters[1].title, "Landfall");
    EXPECT_EQ(book.pageLabels, found.labels);
    settings.toc = TocKind::Pages;
    DescribeOutline(&found, settings, book);
    EXPECT_TRUE(book.chapters.empty());
    EXPECT_EQ(book.pageLabels, found.labels);
    // The user's file wins, its labels read through the pages' labels.
    settings.tocFile = structure::ParseTocFile("1 Start 2\n2 End @4\n", "toc.txt");
    DescribeOutline(&found, settings, book);
    ASSERT_EQ(book.chapters.size(), 2u);
    EXPECT_EQ(book.chapters[0].page, 2);
    EXPECT_EQ(book.chapters[1].page, 3);
    EXPECT_EQ(book.chapters[1].level, 2);
    // Without text no label is known: only scan pages can be named.
    EXPECT_THROW(DescribeOutline(nullptr, settings, book), Error);
    settings.tocFile = structure::ParseTocFile("1 Plates @3\n", "toc.txt");
    DescribeOutline(nullptr, settings, book);
    ASSERT_EQ(book.chapters.size(), 1u);
    EXPECT_TRUE(book.pageLabels.empty());
}

TEST(FixedLayoutDocumentsTest, TheLayerIsTransparentNeverHiddenAndTheFontOnlyWhenPacked) {
    for (bool withFont : {false, true}) {
        const std::string css = FixedStylesheetText(withFont);
        EXPECT_NE(css.find("g.ocr {\r\n\tfill: transparent;"), std::string::npos);
        // A selection tints the picture's words instead of covering them.
        EXPECT_NE(css.find("background-color: rgba(0, 90, 255, 0.3)"), std::string::npos);
        // Readers that lay pages out in columns draw nothing of a box that clips.
        EXPECT_EQ(css.find("overflow"), std::string::npos);
        EXPECT_EQ(css.find("display: none"), std::string::npos);
        EXPECT_EQ(css.find("visibility"), std::string::npos);
        EXPECT_EQ(css.find("opacity"), std::string::npos);
        EXPECT_EQ(css.find("@font-face") != std::string::npos, withFont);
    }
    const std::string font = BlankFontBytes();
    EXPECT_EQ(font.size(), 720u);
    EXPECT_EQ(font.substr(0, 4), std::string("\0\1\0\0", 4));  // TrueType
    EXPECT_EQ(font, BlankFontBytes());
}

}  // namespace
}  // namespace vellumark::epub
