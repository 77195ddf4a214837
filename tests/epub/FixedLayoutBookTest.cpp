// EPUB 3 fixed-layout books made by the built program: valid for epubcheck, free of
// accessibility violations for Ace by DAISY, and with a text layer whose words stand where they
// were drawn, invisible in a real browser and found by its search.

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <set>
#include <span>

#include "BookChecks.h"
#include "CommandLineChecks.h"
#include "TestTiff.h"
#include "imaging/Document.h"
#include "imaging/text/Ocr.h"
#include "imaging/text/TextLayer.h"
#include "imaging/text/WordMatch.h"
#include "structure/TitleMatch.h"
#include "tools/SampleScan.h"
#include "tools/TypesetBook.h"

namespace vellumark::epub {
namespace {
namespace fs = std::filesystem;
using testing::RunProgram;
using testing::RunResult;
using vellumark::testing::ExpectAccessibleBook;
using vellumark::testing::Fill;
using vellumark::testing::Layout;
using vellumark::testing::TestPage;

RunResult Convert(std::vector<std::string> args) {
    args.insert(args.begin(), "convert");
    return RunProgram(VELLUMARK_TEST_PROGRAM, args);
}

// Options that convert must refuse, and a piece of the line that says why.
struct Refusal {
    std::vector<std::string> args;
    std::string says;
};

// Each refusal: exit 2, one line that says what is wrong, and no book folder made.
void ExpectRefusedBeforeWork(const fs::path& scan, const std::string& out,
                             std::span<const Refusal> cases) {
    for (const auto& [extra, says] : cases) {
        std::vector<std::string> args = {scan.string(), "--author", "A", "--output-dir", out};
        args.insert(args.end(), extra.begin(), extra.end());
        const RunResult result = Convert(args);
        EXPECT_EQ(result.exitCode, 2) << says;
        EXPECT_NE(result.err.find(says), std::string::npos) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_FALSE(fs::exists(out));
    }
}

using testing::BookFile;

// Small 300 dpi pages of large type: quick for Tesseract, and words far enough apart to be
// told apart by the gaps between them.
tools::PageLayout SmallPage() {
    tools::PageLayout layout;
    layout.width = 1500;
    layout.height = 900;
    layout.margin = 150;
    return layout;
}

const std::vector<std::vector<tools::TextLine>> kPages = {
    {{"Quasar beacons glow", 20}, {"", 20}, {"marble harbour wall", 20}},
    {{"Zeppelin drifts eastward", 20}},
};

// Turns a page a quarter to the left: stored so, a page with Orientation 6 shows upright.
tools::BilevelPage TurnedLeft(const tools::BilevelPage& page) {
    tools::BilevelPage turned{page.height, page.width, {}};
    turned.bits.resize(static_cast<std::size_t>(turned.Stride()) * turned.height);
    for (int y = 0; y < page.height; ++y) {
        for (int x = 0; x < page.width; ++x) {
            if (page.Black(x, y))
                turned.SetBlack(y, page.width - 1 - x);
        }
    }
    return turned;
}

struct Box {
    double left = 0, top = 0, width = 0, height = 0;
};

// Where each word was drawn, in reading order: ink split into lines at blank rows and into
// words at gaps wider than a letter's.
std::vector<Box> InkWords(const tools::BilevelPage& page) {
    std::vector<Box> words;
    const auto rowHasInk = [&](int y) {
        for (int x = 0; x < page.width; ++x) {
            if (page.Black(x, y))
                return true;
        }
        return false;
    };
    for (int y = 0; y < page.height;) {
        if (!rowHasInk(y)) {
            ++y;
            continue;
        }
        const int top = y;
        while (y < page.height && rowHasInk(y))
            ++y;
        const int bottom = y;
        const auto columnHasInk = [&](int x) {
            for (int r = top; r < bottom; ++r) {
                if (page.Black(x, r))
                    return true;
            }
            return false;
        };
        const int gap = (bottom - top) / 4;
        for (int x = 0; x < page.width;) {
            if (!columnHasInk(x)) {
                ++x;
                continue;
            }
            const int left = x;
            int right = x;
            while (x < page.width && x - right <= gap) {
                if (columnHasInk(x))
                    right = x;
                ++x;
            }
            words.push_back(
                {double(left), double(top), double(right + 1 - left), double(bottom - top)});
        }
    }
    return words;
}

struct LayerWord {
    std::string text;
    Box box;
};

// The words of a page document's text layer with the boxes a browser gives them in the blank
// font: a line's box is one em high with the baseline at the ascent; each word starts at its
// x and is stretched to its text length.
std::vector<LayerWord> LayerWords(const std::string& xhtml) {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_string(xhtml.c_str()));
    std::vector<LayerWord> words;
    for (const auto& found : document.select_nodes("//svg/g[@class='ocr']/text")) {
        const pugi::xml_node line = found.node();
        const double size = line.attribute("font-size").as_double();
        const double top = line.attribute("y").as_double() - 0.8 * size;
        for (pugi::xml_node word : line.children("tspan")) {
            words.push_back({word.text().get(),
                             {word.attribute("x").as_double(), top,
                              word.attribute("textLength").as_double(), size}});
        }
    }
    return words;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

class FixedLayoutBookTest : public ::testing::Test {
protected:
    // Renders kPages at 300 dpi, the way a scanner would store them.
    void WriteTextScan(const fs::path& path, int orientation = 1) {
        rendered_.clear();
        std::vector<tools::BilevelPage> stored;
        for (const auto& lines : kPages) {
            rendered_.push_back(tools::RenderPage(lines, SmallPage()));
            stored.push_back(orientation == 6 ? TurnedLeft(rendered_.back()) : rendered_.back());
        }
        tools::WriteOptions options;
        options.orientation = orientation;
        tools::WriteScan(path, stored, options);
    }

    fs::path MakeBook(const fs::path& input, const std::vector<std::string>& extra) {
        std::vector<std::string> args = {
            input.string(),          "--author", "Ann Author", "--format", "epub3", "--output-dir",
            (temp_ / "out").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        const RunResult result = Convert(args);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err, "");
        return temp_ / "out" / (input.stem().string() + ".epub");
    }

    // Every word of every page stands where it was drawn, in reading order, on its own page.
    void ExpectWordsWhereDrawn(const fs::path& book) {
        for (std::size_t page = 0; page < kPages.size(); ++page) {
            SCOPED_TRACE("page " + std::to_string(page + 1));
            std::vector<std::string> drawn;
            for (const tools::TextLine& line : kPages[page]) {
                for (const std::string& word : SplitText(line.text))
                    drawn.push_back(Lower(word));
            }
            const std::vector<Box> ink = InkWords(rendered_[page]);
            ASSERT_EQ(ink.size(), drawn.size());
            const auto layer =
                LayerWords(BookFile(book, "page" + std::to_string(page + 1) + ".xhtml"));
            std::vector<std::string> read;
            for (const LayerWord& word : layer)
                read.push_back(Lower(word.text));
            ASSERT_EQ(read, drawn);
            const double scale = 96.0 / 300.0;  // the picture is the page at 96 ppi
            for (std::size_t i = 0; i < layer.size(); ++i) {
                SCOPED_TRACE(layer[i].text);
                const Box& box = layer[i].box;
                const Box& at = ink[i];
                EXPECT_NEAR(box.left, at.left * scale, 3);
                EXPECT_NEAR(box.left + box.width, (at.left + at.width) * scale, 3);
                // The line is as high as its tallest letters: the word's ink lies within it.
                EXPECT_LE(box.top, at.top * scale + 3);
                EXPECT_GE(box.top + box.height, (at.top + at.height) * scale - 3);
            }
        }
    }

    static std::vector<std::string> SplitText(const std::string& text) {
        std::vector<std::string> words;
        std::string word;
        for (char c : text + " ") {
            if (c == ' ') {
                if (!word.empty())
                    words.push_back(word);
                word.clear();
            } else {
                word += c;
            }
        }
        return words;
    }

    vellumark::testing::TempFolder temp_;
    std::vector<tools::BilevelPage> rendered_;  // upright, as drawn
};

TEST_F(FixedLayoutBookTest, ScansOfEveryKindMakeValidAccessibleBooks) {
    TestPage page;
    page.width = 620;
    page.height = 877;
    page.xResolution = page.yResolution = 75;
    std::vector<TestPage> pages;
    for (Layout layout : {Layout::Bilevel, Layout::Grey8, Layout::YCbCrJpeg, Layout::Palette}) {
        page.layout = layout;
        page.fill = layout == Layout::YCbCrJpeg ? Fill::Photo : Fill::Text;
        pages.push_back(page);
    }
    page.orientation = 6;
    page.layout = Layout::Rgb;
    pages.push_back(page);
    const fs::path scan = temp_ / "mixed.tif";
    vellumark::testing::WriteTestTiff(scan, pages);
    // A cover is any JPEG: a page of a book made first will do.
    const fs::path plain = MakeBook(scan, {});
    const fs::path cover = temp_ / "front.jpg";
    std::ofstream(cover, std::ios::binary) << BookFile(plain, "3.jpg");
    ExpectAccessibleBook(plain);
    const std::string opf = BookFile(plain, "fb.opf");
    EXPECT_NE(opf.find("<meta property=\"schema:accessMode\">visual</meta>"), std::string::npos);
    EXPECT_EQ(opf.find("textual"), std::string::npos);
    // The turned page is shown upright: wider than high.
    EXPECT_NE(BookFile(plain, "page5.xhtml").find("content=\"width=1123, height=794\""),
              std::string::npos);

    fs::rename(scan, temp_ / "with cover.tif");
    const fs::path withCover = MakeBook(temp_ / "with cover.tif", {"--cover", cover.string()});
    testing::ExpectValidBooks({plain, withCover});
    ExpectAccessibleBook(withCover);
    EXPECT_NE(BookFile(withCover, "fb.opf").find("properties=\"cover-image\""), std::string::npos);

    // Made for a tablet: every kind of page in its own picture format, still valid.
    const fs::path tablet = MakeBook(temp_ / "with cover.tif",
                                     {"--profile", "tablet", "--quality", "80", "--overwrite"});
    testing::ExpectValidBook(tablet);
    ExpectAccessibleBook(tablet);
    const std::string entries = testing::BookEntries(tablet);
    EXPECT_NE(entries.find("OEBPS/1.png "), std::string::npos) << entries;
    EXPECT_NE(entries.find("OEBPS/2.jpg "), std::string::npos) << entries;
}

TEST_F(FixedLayoutBookTest, StoredTextOfAnMdiBecomesTheTextLayer) {
    const fs::path mdi = temp_ / "memo.mdi";
    tools::WriteOptions options;
    options.mdi = true;
    options.storedText = {std::string("Minutes of the\nharbour board"), std::nullopt};
    tools::WriteScan(
        mdi,
        {tools::RenderPage(kPages[0], SmallPage()), tools::RenderPage({{"", 12}}, SmallPage())},
        options);
    const fs::path book = MakeBook(mdi, {"--ocr"});
    testing::ExpectValidBook(book);
    ExpectAccessibleBook(book);
    std::vector<std::string> words;
    for (const LayerWord& word : LayerWords(BookFile(book, "page1.xhtml")))
        words.push_back(word.text);
    EXPECT_EQ(words, (std::vector<std::string>{"Minutes", "of", "the", "harbour", "board"}));
    // The blank second page has nothing to read and no layer.
    EXPECT_EQ(BookFile(book, "page2.xhtml").find("class=\"ocr\""), std::string::npos);
    EXPECT_NE(BookFile(book, "fb.opf").find("textual,visual"), std::string::npos);
}

TEST_F(FixedLayoutBookTest, RecognisedWordsLieWhereTheyWereDrawn) {
    const fs::path scan = temp_ / "notes.tif";
    WriteTextScan(scan);
    const fs::path book = MakeBook(scan, {"--ocr", "--jobs", "2"});
    testing::ExpectValidBook(book);
    ExpectAccessibleBook(book);
    ExpectWordsWhereDrawn(book);
}

TEST_F(FixedLayoutBookTest, OnATurnedScanTheWordsFollowThePageAsShown) {
    const fs::path scan = temp_ / "turned.tif";
    WriteTextScan(scan, 6);
    const fs::path book = MakeBook(scan, {"--ocr"});
    testing::ExpectValidBook(book);
    ExpectAccessibleBook(book);
    ExpectWordsWhereDrawn(book);
}

TEST_F(FixedLayoutBookTest, InABrowserTheLayerIsInvisibleAndFindLandsOnTheWord) {
#ifdef VELLUMARK_TEST_SANITIZED
    GTEST_SKIP() << "the check runs in the browser, outside this program";
#endif
    const fs::path scan = temp_ / "browser.tif";
    WriteTextScan(scan);
    const fs::path book = MakeBook(scan, {"--ocr"});
    const fs::path unpacked = temp_ / "unpacked";
    ASSERT_EQ(RunProgram("unzip", {"-q", book.string(), "-d", unpacked.string()}).exitCode, 0);
    std::vector<std::string> args = {VELLUMARK_TEST_BROWSER_SCRIPTS "/check_page.js",
                                     (unpacked / "OEBPS" / "page1.xhtml").string(),
                                     (temp_ / "shots").string()};
    for (const LayerWord& word : LayerWords(BookFile(book, "page1.xhtml"))) {
        if (word.text == "Quasar" || word.text == "harbour") {
            args.push_back(word.text + ":" + std::to_string(word.box.left) + "," +
                           std::to_string(word.box.top) + "," + std::to_string(word.box.width) +
                           "," + std::to_string(word.box.height));
        }
    }
    ASSERT_EQ(args.size(), 5u);
    args.insert(args.begin(), "node");
    args.insert(args.begin(), "ACE_DIR=" VELLUMARK_TEST_BROWSER_TOOLS);
    const RunResult result = RunProgram("env", args);
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("0 differing pixels ok"), std::string::npos) << result.out;
}

// The picture size a page document's viewport gives.
std::pair<int, int> Viewport(const std::string& xhtml) {
    const std::string key = "name=\"viewport\" content=\"width=";
    const std::size_t at = xhtml.find(key);
    if (at == std::string::npos)
        return {0, 0};
    const std::size_t comma = xhtml.find(", height=", at);
    return {std::stoi(xhtml.substr(at + key.size())), std::stoi(xhtml.substr(comma + 9))};
}

TEST_F(FixedLayoutBookTest, InReadingSystemsEveryPageShapeIsWholeAndSearchLandsOnTheInk) {
#ifdef VELLUMARK_TEST_SANITIZED
    GTEST_SKIP() << "the readers run in the browser: the sanitizers would only slow the OCR";
#endif
    struct Shape {
        std::string name;
        int width, height;
        std::vector<std::string> options;
    };
    const Shape shapes[] = {{"a4", 2480, 3508, {}},
                            {"landscape", 3508, 2480, {}},
                            {"kobo", 2480, 3508, {"--profile", "kobo-libra"}}};
    for (const Shape& shape : shapes) {
        tools::PageLayout layout;
        layout.width = shape.width;
        layout.height = shape.height;
        const tools::BilevelPage page = tools::RenderPage(kPages[0], layout);
        const std::vector<Box> ink = InkWords(page);
        ASSERT_EQ(ink.size(), 6u);
        for (bool text : {false, true}) {
            const std::string name = shape.name + (text ? "-text" : "");
            SCOPED_TRACE(name);
            tools::WriteScan(temp_ / (name + ".tif"), {page});
            std::vector<std::string> options = shape.options;
            if (text)
                options.push_back("--ocr");
            const fs::path book = MakeBook(temp_ / (name + ".tif"), options);
            std::vector<std::string> args = {"ACE_DIR=" VELLUMARK_TEST_BROWSER_TOOLS, "node",
                                             VELLUMARK_TEST_BROWSER_SCRIPTS "/check_readers.js",
                                             book.string(), (temp_ / ("shots-" + name)).string()};
            const int width = Viewport(BookFile(book, "page1.xhtml")).first;
            ASSERT_GT(width, 0);
            const double scale = static_cast<double>(width) / shape.width;
            // "Quasar" and "harbour", where their ink is on the picture.
            for (std::size_t i : {std::size_t{0}, std::size_t{4}}) {
                const Box& at = ink[i];
                if (text) {
                    args.push_back(std::string(i == 0 ? "Quasar" : "harbour") + ":" +
                                   std::to_string(at.left * scale) + "," +
                                   std::to_string(at.top * scale) + "," +
                                   std::to_string(at.width * scale) + "," +
                                   std::to_string(at.height * scale));
                }
            }
            const RunResult result = RunProgram("env", args);
            EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
            std::printf("%s\n%s", name.c_str(), result.out.c_str());
        }
    }
}

// The picture a PNG holds, as 8-bit grey.
imaging::GreyPicture DecodeGreyPng(const std::string& bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    imaging::GreyPicture picture;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return picture;
    image.format = PNG_FORMAT_GRAY;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr))
        picture = {};
    return picture;
}

// The exact area average of a bilevel page at width x height: every source pixel counts by the
// share of it each output pixel covers. Done in doubles, separately from the product's code.
imaging::GreyPicture AreaAverage(const tools::BilevelPage& page, int width, int height) {
    const double sx = static_cast<double>(page.width) / width;
    const double sy = static_cast<double>(page.height) / height;
    // Per output column, the source columns it covers and how much of each.
    std::vector<std::vector<std::pair<int, double>>> columns(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) {
        const double from = x * sx, to = (x + 1) * sx;
        for (int s = static_cast<int>(from); s < std::min<double>(to, page.width); ++s)
            columns[static_cast<std::size_t>(x)].push_back(
                {s, std::min<double>(s + 1, to) - std::max<double>(s, from)});
    }
    std::vector<double> ink(static_cast<std::size_t>(width) * height, 0.0);
    std::vector<double> rowInk(static_cast<std::size_t>(width));
    for (int y = 0; y < page.height; ++y) {
        for (int x = 0; x < width; ++x) {
            double sum = 0;
            for (const auto& [s, share] : columns[static_cast<std::size_t>(x)])
                sum += page.Black(s, y) ? share : 0;
            rowInk[static_cast<std::size_t>(x)] = sum;
        }
        // The output rows this source row falls in, and the share of it in each.
        const int first = static_cast<int>(y / sy);
        for (int out = first; out < height && out * sy < y + 1; ++out) {
            const double share = std::min((out + 1) * sy, y + 1.0) - std::max(out * sy, double(y));
            for (int x = 0; x < width; ++x)
                ink[static_cast<std::size_t>(out) * width + x] +=
                    rowInk[static_cast<std::size_t>(x)] * share;
        }
    }
    imaging::GreyPicture grey{width, height, std::vector<std::uint8_t>(ink.size())};
    for (std::size_t i = 0; i < ink.size(); ++i)
        grey.pixels[i] = static_cast<std::uint8_t>(std::lround(255 * (1 - ink[i] / (sx * sy))));
    return grey;
}

double Psnr(const imaging::GreyPicture& a, const imaging::GreyPicture& b) {
    double squares = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) {
        const double d = double(a.pixels[i]) - b.pixels[i];
        squares += d * d;
    }
    return 10 * std::log10(255.0 * 255.0 * a.pixels.size() / std::max(squares, 1.0));
}

std::multiset<std::string> FoldedWords(const std::vector<imaging::Word>& words) {
    std::multiset<std::string> folded;
    for (const imaging::Word& word : words) {
        if (std::string f = imaging::FoldWord(word.text); !f.empty())
            folded.insert(std::move(f));
    }
    return folded;
}

TEST_F(FixedLayoutBookTest, OnAKoboLibraTheTextStaysLegible) {
    // A page of ordinary 12 point text at 300 dpi.
    tools::PageLayout layout;
    layout.seed = 7;
    const tools::BilevelPage page = tools::RenderPage(
        tools::WrapParagraph(tools::FillerText(layout.seed, 380), 12, layout), layout);
    const fs::path scan = temp_ / "letter.tif";
    tools::WriteScan(scan, {page});
    const fs::path book = MakeBook(scan, {"--profile", "kobo-libra", "--ocr"});
    testing::ExpectValidBook(book);
    ExpectAccessibleBook(book);

    const imaging::GreyPicture picture = DecodeGreyPng(BookFile(book, "1.png"));
    ASSERT_EQ(picture.width, 1188);  // A4 fitted to 1264 x 1680
    ASSERT_EQ(picture.height, 1680);
    EXPECT_NE(BookFile(book, "page1.xhtml").find("content=\"width=1188, height=1680\""),
              std::string::npos);
    const double psnr = Psnr(picture, AreaAverage(page, 1188, 1680));
    EXPECT_GE(psnr, 30.0);

    // Tesseract finds on the book's picture what it finds on the scan.
    const auto document = std::shared_ptr<const imaging::Document>(imaging::Document::Open(scan));
    const std::multiset<std::string> onScan = FoldedWords(imaging::TextLayer(document).Words(0));
    const int dpi = static_cast<int>(std::lround(1680 / (3508 / 300.0)));
    const std::multiset<std::string> inBook =
        FoldedWords(imaging::RecogniseWords(picture, dpi, imaging::kDefaultOcrLanguage));
    std::vector<std::string> found;
    std::set_intersection(onScan.begin(), onScan.end(), inBook.begin(), inBook.end(),
                          std::back_inserter(found));
    ASSERT_GT(onScan.size(), 300u);
    const double share = static_cast<double>(found.size()) / onScan.size();
    EXPECT_GE(share, 0.98) << found.size() << " of " << onScan.size() << " words";
    std::printf("kobo-libra page: PSNR %.1f dB, %zu of %zu words found again (%.1f%%)\n", psnr,
                found.size(), onScan.size(), 100 * share);
}

TEST_F(FixedLayoutBookTest, ProfilesAskForFixedLayoutAndAKnownScreen) {
    const RunResult list = RunProgram(VELLUMARK_TEST_PROGRAM, {"convert", "--profile", "list"});
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_NE(list.out.find("kobo-libra          1264 x 1680"), std::string::npos) << list.out;

    const fs::path scan = temp_ / "scan.tif";
    vellumark::testing::WriteTestTiff(scan, {TestPage{}});
    const std::string out = (temp_ / "out").string();
    const Refusal cases[] = {
        {{"--profile", "kobo-libra"}, "--profile needs --format epub3"},
        {{"--page-size", "800x600"}, "--page-size needs --format epub3"},
        {{"--format", "epub3", "--profile", "kobo"}, "no device profile \"kobo\""},
        {{"--format", "epub3", "--page-size", "800"}, "--page-size is WIDTHxHEIGHT"},
        {{"--format", "epub3", "--page-size", "8x6", "--profile", "tablet"}, "give one"},
        {{"--quality", "101"}, "--quality is 1 to 100"},
        {{"--quality", "0"}, "--quality needs a whole number"},
    };
    ExpectRefusedBeforeWork(scan, out, cases);
}

TEST_F(FixedLayoutBookTest, TextNeedsFixedLayoutAndAnInstalledLanguage) {
    const fs::path scan = temp_ / "scan.tif";
    vellumark::testing::WriteTestTiff(scan, {TestPage{}});
    const std::string out = (temp_ / "out").string();
    const Refusal cases[] = {
        {{"--ocr"}, "--ocr needs --format epub3"},
        {{"--format", "epub3", "--ocr", "--ocr-lang", "tlh"},
         "the OCR language \"tlh\" is not installed"},
        {{"--format", "epub3", "--ocr", "--ocr-lang", "../eng"}, "is not an OCR language name"},
        {{"--format", "epub3", "--ocr-lang", "eng"}, "--ocr-lang is used only with --ocr"},
        {{"--format", "epub4"}, "--format is epub2, epub3 or reflow"},
        // A reflowable book reads the text in any case, in the language asked for.
        {{"--format", "reflow", "--ocr-lang", "tlh"}, "the OCR language \"tlh\" is not installed"},
        {{"--format", "reflow", "--profile", "kobo-libra"}, "--profile needs --format epub3"},
        {{"--format", "reflow", "--toc-file", "contents.txt"}, "--toc-file needs --format epub3"},
    };
    ExpectRefusedBeforeWork(scan, out, cases);
}

}  // namespace
}  // namespace vellumark::epub

namespace vellumark::epub {
namespace {

struct NavEntry {
    int depth;  // 1 for the top level
    int page;   // 1-based
    std::string text;
};

std::vector<NavEntry> NavEntries(const std::string& xhtml, const char* type) {
    pugi::xml_document nav;
    EXPECT_TRUE(nav.load_string(xhtml.c_str()));
    std::vector<NavEntry> entries;
    const std::string path = std::string("//nav[@epub:type='") + type + "']//a";
    for (const auto& found : nav.select_nodes(path.c_str())) {
        const pugi::xml_node a = found.node();
        int depth = 0;
        for (pugi::xml_node up = a.parent(); up && std::string(up.name()) != "nav";
             up = up.parent())
            depth += std::string(up.name()) == "ol";
        const std::string href = a.attribute("href").value();
        const int page = href.rfind("page", 0) == 0 ? std::atoi(href.c_str() + 4) : 0;
        entries.push_back({depth, page, a.text().get()});
    }
    return entries;
}

TEST_F(FixedLayoutBookTest, AScannedNovelListsItsChaptersAndItsPrintedPageNumbers) {
#ifdef VELLUMARK_TEST_SANITIZED
    GTEST_SKIP() << "a whole book's OCR: the sanitizers would only slow it";
#endif
    const tools::TypesetBook novel = tools::TypesetNovel();
    std::vector<tools::BilevelPage> pages;
    for (const auto& words : novel.pages)
        pages.push_back(tools::RenderWords(words, novel.width, novel.height, 2.4));
    const fs::path scan = temp_ / "novel.tif";
    tools::WriteScan(scan, pages);
    const fs::path book = MakeBook(scan, {"--ocr"});
    testing::ExpectValidBook(book);
    ExpectAccessibleBook(book);
    const std::string nav = BookFile(book, "nav.xhtml");

    // Every chapter listed is one the contents page prints, at its page; OCR loses a line of
    // the contents now and then, but most are there.
    const std::vector<NavEntry> toc = NavEntries(nav, "toc");
    int right = 0;
    for (const NavEntry& entry : toc) {
        bool known = false;
        for (const tools::TrueHeading& truth : novel.contents) {
            known = known || (truth.page + 1 == entry.page &&
                              structure::TitleSimilarity(truth.title, entry.text) >= 0.9);
        }
        EXPECT_TRUE(known) << entry.text << " on page " << entry.page;
        right += known;
    }
    EXPECT_GE(right * 10, static_cast<int>(novel.contents.size()) * 7) << nav;
    // Sections nest under their chapter.
    const auto section = std::find_if(
        toc.begin(), toc.end(), [](const NavEntry& e) { return e.text == "2.1 Old Records"; });
    ASSERT_NE(section, toc.end()) << nav;
    EXPECT_GE(section->depth, 2);

    // The page list carries the printed labels, and leaves out pages that print none.
    int labelled = 0;
    int labelsRight = 0;
    for (const NavEntry& entry : NavEntries(nav, "page-list")) {
        ++labelled;
        labelsRight += novel.labels.at(static_cast<std::size_t>(entry.page - 1)) == entry.text;
    }
    int truthLabelled = 0;
    for (const std::string& label : novel.labels)
        truthLabelled += !label.empty();
    EXPECT_GE(labelsRight * 100, truthLabelled * 95);
    EXPECT_LE(labelled, truthLabelled + 1);

    const std::string opf = BookFile(book, "fb.opf");
    EXPECT_NE(opf.find(">printPageNumbers<"), std::string::npos);
    EXPECT_NE(opf.find("<dc:source>"), std::string::npos);
    const std::string ncx = BookFile(book, "fb.ncx");
    EXPECT_NE(ncx.find("<pageTarget id=\"pagetarget3\" type=\"front\" value=\"3\""),
              std::string::npos);
}

TEST_F(FixedLayoutBookTest, AContentsFileWinsAndItsBadLinesAreRefused) {
    const fs::path scan = temp_ / "two.tif";
    WriteTextScan(scan);
    const fs::path toc = temp_ / "toc.txt";
    std::ofstream(toc) << "# chapters\n1 Quasars @1\n2 Zeppelins @2\n";
    const fs::path book = MakeBook(scan, {"--toc-file", toc.string()});
    testing::ExpectValidBook(book);
    const std::vector<NavEntry> entries = NavEntries(BookFile(book, "nav.xhtml"), "toc");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].text, "Quasars");
    EXPECT_EQ(entries[1].depth, 2);
    EXPECT_EQ(entries[1].page, 2);

    const std::string out = (temp_ / "refused").string();
    std::ofstream(temp_ / "bad.txt") << "1 Quasars @1\nZeppelins 2\n";
    std::ofstream(temp_ / "label.txt") << "1 Quasars 7\n";
    const Refusal refusals[] = {
        {{"--format", "epub3", "--toc-file", (temp_ / "bad.txt").string()}, "bad.txt:2: expected"},
        {{"--format", "epub3", "--toc-file", (temp_ / "missing.txt").string()},
         "Cannot read the contents file"},
        {{"--toc-file", toc.string()}, "--toc-file needs --format epub3"},
        {{"--format", "epub3", "--toc", "parts"}, "--toc is chapters or pages"},
    };
    ExpectRefusedBeforeWork(scan, out, refusals);
    // A printed label needs the text to be read: without it no page has one.
    const RunResult label =
        Convert({scan.string(), "--author", "A", "--format", "epub3", "--output-dir", out,
                 "--toc-file", (temp_ / "label.txt").string()});
    EXPECT_EQ(label.exitCode, 2);
    EXPECT_NE(label.err.find("label.txt:1: no page is labelled \"7\""), std::string::npos)
        << label.err;
    EXPECT_FALSE(fs::exists(fs::path(out) / "two.epub"));
}

}  // namespace
}  // namespace vellumark::epub
