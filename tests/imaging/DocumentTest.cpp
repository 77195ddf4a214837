#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <thread>
#include <tuple>

#include "TestTiff.h"
#include "common/Error.h"
#include "imaging/Document.h"
#include "imaging/PageReader.h"
#include "imaging/TiffHandle.h"

namespace vellumark::imaging {
namespace {

using testing::ByteOrder;
using testing::Codec;
using testing::Fill;
using testing::Layout;
using testing::ResolutionUnit;
using testing::TempFolder;
using testing::TestPage;
using Rgb = std::array<int, 3>;

// A pixel as RGB, whether the picture has three channels or one (grey).
Rgb At(const Picture& p, int x, int y) {
    const std::uint8_t* px = p.Row(y) + p.channels * x;
    return p.channels == 1 ? Rgb{px[0], px[0], px[0]} : Rgb{px[0], px[1], px[2]};
}

void ExpectColour(const Picture& p, int x, int y, Rgb want, int tolerance = 0) {
    const Rgb got = At(p, x, y);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(got[c], want[c], tolerance) << "pixel " << x << "," << y << " channel " << c;
}

Error ErrorFrom(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e;
    }
    ADD_FAILURE() << "no vellumark::Error thrown";
    return Error(ErrorCode::Internal, "none");
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

struct LayoutCase {
    const char* name;
    Layout layout;
    Codec codec = Codec::Default;
    bool tiled = false;
    bool planar = false;
    bool minIsBlack = false;
    std::array<std::uint8_t, 3> ink{0, 0, 0};
    Rgb want{0, 0, 0};
    int tolerance = 0;
};

// A left half of ink and a right half of paper, in every layout, read back at its own size.
TEST(DocumentTest, EveryLayoutDecodesToItsColours) {
    const std::vector<LayoutCase> cases = {
        {"G4 min-is-white", Layout::Bilevel},
        {"G4 min-is-black", Layout::Bilevel, Codec::G4, false, false, true},
        {"G3 1-D", Layout::Bilevel, Codec::G3},
        {"G3 2-D tiled", Layout::Bilevel, Codec::G3TwoD, true},
        {"bilevel uncompressed tiled", Layout::Bilevel, Codec::None, true},
        {"grey 4-bit",
         Layout::Grey4,
         Codec::Default,
         false,
         false,
         false,
         {119, 119, 119},
         {119, 119, 119}},
        {"grey 8-bit",
         Layout::Grey8,
         Codec::Default,
         false,
         false,
         false,
         {100, 100, 100},
         {100, 100, 100}},
        {"grey 8-bit tiled",
         Layout::Grey8,
         Codec::Deflate,
         true,
         false,
         false,
         {100, 100, 100},
         {100, 100, 100}},
        {"grey 16-bit",
         Layout::Grey16,
         Codec::Default,
         false,
         false,
         false,
         {77, 77, 77},
         {77, 77, 77}},
        {"palette",
         Layout::Palette,
         Codec::Default,
         false,
         false,
         false,
         {200, 30, 60},
         {200, 30, 60}},
        {"RGB", Layout::Rgb, Codec::Default, false, false, false, {10, 120, 230}, {10, 120, 230}},
        {"RGB planar",
         Layout::Rgb,
         Codec::PackBits,
         false,
         true,
         false,
         {10, 120, 230},
         {10, 120, 230}},
        {"RGB planar tiled",
         Layout::Rgb,
         Codec::Lzw,
         true,
         true,
         false,
         {10, 120, 230},
         {10, 120, 230}},
        {"RGB JPEG",
         Layout::Rgb,
         Codec::Jpeg,
         false,
         false,
         false,
         {10, 120, 230},
         {10, 120, 230},
         8},
        {"CMYK", Layout::Cmyk, Codec::Default, false, false, false, {40, 160, 250}, {40, 160, 250}},
        {"CMYK planar",
         Layout::Cmyk,
         Codec::Lzw,
         false,
         true,
         false,
         {40, 160, 250},
         {40, 160, 250}},
        {"YCbCr JPEG",
         Layout::YCbCrJpeg,
         Codec::Default,
         false,
         false,
         false,
         {200, 40, 90},
         {200, 40, 90},
         8},
        {"YCbCr JPEG tiled",
         Layout::YCbCrJpeg,
         Codec::Default,
         true,
         false,
         false,
         {200, 40, 90},
         {200, 40, 90},
         8},
        {"RGBA opaque",
         Layout::Rgba,
         Codec::Default,
         false,
         false,
         false,
         {10, 20, 30},
         {10, 20, 30}},
    };
    std::vector<TestPage> pages;
    for (const auto& c : cases) {
        TestPage page;
        page.width = 96;
        page.height = 80;
        page.layout = c.layout;
        page.codec = c.codec;
        page.tiled = c.tiled;
        page.planar = c.planar;
        page.minIsBlack = c.minIsBlack;
        page.inkColour = c.ink;
        pages.push_back(page);
    }
    TempFolder folder;
    for (ByteOrder order : {ByteOrder::LittleEndian, ByteOrder::BigEndian}) {
        for (bool bigTiff : {false, true}) {
            const auto path = folder / "layouts.tif";
            testing::WriteTestTiff(path, pages, {order, bigTiff});
            const auto doc = Document::Open(path);
            ASSERT_EQ(doc->PageCount(), static_cast<int>(cases.size()));
            for (std::size_t i = 0; i < cases.size(); ++i) {
                SCOPED_TRACE(std::string(cases[i].name) +
                             (order == ByteOrder::BigEndian ? " MM" : " II") +
                             (bigTiff ? " BigTIFF" : ""));
                const Picture p = doc->PagePicture(static_cast<int>(i));
                ASSERT_EQ(p.width, 96);
                ASSERT_EQ(p.height, 80);
                ASSERT_EQ(p.samples.size(), 96u * 80 * p.channels);
                for (int y : {0, 39, 79}) {
                    ExpectColour(p, 10, y, cases[i].want, cases[i].tolerance);
                    ExpectColour(p, 40, y, cases[i].want, cases[i].tolerance);
                    ExpectColour(p, 60, y, {255, 255, 255}, cases[i].tolerance);
                    ExpectColour(p, 95, y, {255, 255, 255}, cases[i].tolerance);
                }
            }
        }
    }
}

TEST(DocumentTest, AlphaIsLaidOverWhite) {
    TempFolder folder;
    TestPage page;
    page.layout = Layout::Rgba;
    page.fill = Fill::Solid;
    page.inkColour = {0, 0, 0};
    std::vector<TestPage> pages;
    for (std::uint8_t alpha : {0, 128, 255}) {
        page.inkAlpha = alpha;
        pages.push_back(page);
    }
    page.inkAlpha = 128;
    page.planar = true;
    pages.push_back(page);
    testing::WriteTestTiff(folder / "a.tif", pages);
    const auto doc = Document::Open(folder / "a.tif");
    ExpectColour(doc->PagePicture(0), 5, 5, {255, 255, 255});
    ExpectColour(doc->PagePicture(1), 5, 5, {127, 127, 127}, 1);
    ExpectColour(doc->PagePicture(2), 5, 5, {0, 0, 0});
    ExpectColour(doc->PagePicture(3), 5, 5, {127, 127, 127}, 1);
}

// Picture size is the physical size at 96 pixels per inch.
TEST(DocumentTest, PictureSizeFollowsResolution) {
    struct Case {
        int width, height;
        double x, y;
        ResolutionUnit unit;
        int wantWidth, wantHeight;
    };
    const std::vector<Case> cases = {
        {300, 600, 300, 300, ResolutionUnit::Inch, 96, 192},
        {300, 600, 300 / 2.54, 300 / 2.54, ResolutionUnit::Centimetre, 96, 192},
        {204, 98, 204, 98, ResolutionUnit::Inch, 96, 96},  // fax fine/standard mix
        {72, 36, 72, 72, ResolutionUnit::Inch, 96, 48},    // enlarged
        {50, 40, 300, 300, ResolutionUnit::None, 50, 40},  // no absolute unit: pixels kept
        {50, 40, 0, 0, ResolutionUnit::Inch, 50, 40},      // no resolution tags
        // Under an inch either way at more than 96 dpi, or over 100 inches long at less: no
        // page is that small or that long. Dots per metre given as per inch, a damaged tag, a
        // fraction turned over and one side's tag damaged are taken as no resolution.
        {600, 800, 11811, 11811, ResolutionUnit::Inch, 600, 800},
        {50, 40, 4e6, 4e6, ResolutionUnit::Inch, 50, 40},
        {600, 800, 1 / 300.0, 1 / 300.0, ResolutionUnit::Inch, 600, 800},
        {300, 600, 300, 0.5, ResolutionUnit::Inch, 300, 600},
    };
    std::vector<TestPage> pages;
    for (const auto& c : cases) {
        TestPage page;
        page.width = c.width;
        page.height = c.height;
        page.xResolution = c.x;
        page.yResolution = c.y;
        page.unit = c.unit;
        pages.push_back(page);
    }
    TempFolder folder;
    testing::WriteTestTiff(folder / "r.tif", pages);
    const auto doc = Document::Open(folder / "r.tif");
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        const PageInfo info = doc->Info(static_cast<int>(i));
        EXPECT_EQ(info.pictureWidth, cases[i].wantWidth);
        EXPECT_EQ(info.pictureHeight, cases[i].wantHeight);
        const Picture p = doc->PagePicture(static_cast<int>(i));
        EXPECT_EQ(p.width, cases[i].wantWidth);
        EXPECT_EQ(p.height, cases[i].wantHeight);
        // Shrinking or growing, the left half stays ink and the right half paper.
        ExpectColour(p, 1, p.height / 2, {0, 0, 0});
        ExpectColour(p, p.width - 2, p.height / 2, {255, 255, 255});
    }
    EXPECT_NEAR(doc->Info(1).xResolution, 300, 0.01);
    EXPECT_EQ(doc->Info(5).xResolution, 0);
}

TEST(DocumentTest, OrientationIsHonoured) {
    // Ink in the stored top-left quarter of a 40 x 20 page; where it ends up tells the turn.
    struct Case {
        int orientation;
        bool swapped;
        int corner;  // 0 top-left, 1 top-right, 2 bottom-right, 3 bottom-left
    };
    const std::vector<Case> cases = {{1, false, 0}, {2, false, 1}, {3, false, 2}, {4, false, 3},
                                     {5, true, 0},  {6, true, 1},  {7, true, 2},  {8, true, 3}};
    std::vector<TestPage> pages;
    for (const auto& c : cases) {
        TestPage page;
        page.width = 40;
        page.height = 20;
        page.fill = Fill::TopLeftQuarter;
        page.orientation = c.orientation;
        pages.push_back(page);
    }
    TempFolder folder;
    testing::WriteTestTiff(folder / "o.tif", pages);
    const auto doc = Document::Open(folder / "o.tif");
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].orientation);
        const Picture p = doc->PagePicture(static_cast<int>(i));
        EXPECT_EQ(p.width, cases[i].swapped ? 20 : 40);
        EXPECT_EQ(p.height, cases[i].swapped ? 40 : 20);
        EXPECT_EQ(doc->OwnSize(static_cast<int>(i)), std::pair(p.width, p.height));
        const std::array<std::pair<int, int>, 4> corners = {
            std::pair{1, 1}, std::pair{p.width - 2, 1}, std::pair{p.width - 2, p.height - 2},
            std::pair{1, p.height - 2}};
        for (int k = 0; k < 4; ++k) {
            const Rgb want = k == cases[i].corner ? Rgb{0, 0, 0} : Rgb{255, 255, 255};
            ExpectColour(p, corners[k].first, corners[k].second, want);
        }
        // A thumbnail of a turned page is asked for in upright terms.
        const Picture thumb = doc->PagePicture(static_cast<int>(i), 10, 30);
        EXPECT_EQ(thumb.width, 10);
        EXPECT_EQ(thumb.height, 30);
    }

    // Resolutions are given as the page is shown: stored at 200 dpi across and 50 down and
    // turned a quarter, a page is 50 across and 200 down, and twice as wide as tall.
    TestPage oblong;
    oblong.width = 40;
    oblong.height = 20;
    oblong.xResolution = 200;
    oblong.yResolution = 50;
    TestPage turned = oblong;
    turned.orientation = 6;
    testing::WriteTestTiff(folder / "oblong.tif", {oblong, turned});
    const auto oblongs = Document::Open(folder / "oblong.tif");
    EXPECT_EQ(oblongs->Resolution(0), 50);
    EXPECT_EQ(oblongs->ResolutionAcross(0), 200);
    EXPECT_EQ(oblongs->PictureSize(0), std::pair(19, 38));
    EXPECT_EQ(oblongs->Resolution(1), 200);
    EXPECT_EQ(oblongs->ResolutionAcross(1), 50);
    EXPECT_EQ(oblongs->PictureSize(1), std::pair(38, 19));
}

// A bilevel page's bits are its own pixels, however it is stored, and turned as the page is
// shown; other layouts have none (they are read as pictures).
TEST(DocumentTest, BilevelPagesGiveTheirOwnBits) {
    std::vector<TestPage> pages;
    for (const auto& [codec, tiled, minIsBlack] :
         {std::tuple{Codec::G4, false, false}, std::tuple{Codec::None, false, true},
          std::tuple{Codec::PackBits, true, false}, std::tuple{Codec::G3, false, false}}) {
        TestPage page;
        page.width = 75;  // neither whole bytes nor whole words
        page.height = 41;
        page.layout = Layout::Bilevel;
        page.codec = codec;
        page.tiled = tiled;
        page.minIsBlack = minIsBlack;
        page.fill = Fill::Text;
        pages.push_back(page);
    }
    const std::size_t stored = pages.size();
    TestPage grey = pages.front();
    grey.layout = Layout::Grey8;
    grey.codec = Codec::Default;
    pages.push_back(grey);
    for (int orientation = 2; orientation <= 8; ++orientation) {
        pages.push_back(pages.front());
        pages.back().orientation = orientation;
    }
    TempFolder folder;
    testing::WriteTestTiff(folder / "b.tif", pages);
    const auto doc = Document::Open(folder / "b.tif");
    for (int i = 0; i < static_cast<int>(pages.size()); ++i) {
        SCOPED_TRACE(i);
        const auto bits = doc->PageBits(i);
        if (i == static_cast<int>(stored)) {
            EXPECT_FALSE(bits);
            continue;
        }
        ASSERT_TRUE(bits);
        // What is shown: the stored pixels, or the page as a picture when it is turned.
        const Picture shown = doc->PagePicture(i);
        ASSERT_EQ(bits->width, shown.width);
        ASSERT_EQ(bits->height, shown.height);
        int ink = 0;
        for (int y = 0; y < bits->height; ++y) {
            const std::uint8_t* row = bits->Row(y);
            for (int x = 0; x < bits->width; ++x) {
                const bool set = (row[x / 8] & (0x80 >> (x % 8))) != 0;
                ink += set;
                const bool want = i < static_cast<int>(stored)
                                      ? testing::ExpectedColour(pages[i], x, y)[0] < 128
                                      : shown.Row(y)[shown.channels * x] < 128;
                ASSERT_EQ(set, want) << x << "," << y;
            }
            // Paper past the last pixel, to the end of the row's spare word.
            for (std::size_t x = bits->width; x < bits->stride * 8; ++x)
                ASSERT_EQ(row[x / 8] & (0x80 >> (x % 8)), 0) << x;
        }
        EXPECT_GT(ink, 0);
    }
}

TEST(DocumentTest, MdiOpensAndGivesItsStoredText) {
    TempFolder folder;
    TestPage first;
    first.storedText = "Hello\x01\x02 world\r\nsecond line";
    TestPage second;
    second.layout = Layout::Bilevel;
    TestPage third;
    third.storedText = "third page";
    testing::WriteTestMdi(folder / "scan.mdi", {first, second, third});
    const auto doc = Document::Open(folder / "scan.mdi");
    ASSERT_EQ(doc->PageCount(), 3);
    EXPECT_EQ(doc->StoredText(0), "Hello world\nsecond line");
    EXPECT_EQ(doc->StoredText(1), "");
    EXPECT_EQ(doc->StoredText(2), "third page");
    const Picture p = doc->PagePicture(1);
    ExpectColour(p, 5, 5, {0, 0, 0});
    ExpectColour(p, 60, 5, {255, 255, 255});
}

TEST(DocumentTest, StoredTextOfAnUnknownTypeIsIgnored) {
    TempFolder folder;
    TestPage page;
    page.storedText = "words";
    testing::WriteTestMdi(folder / "t.mdi", {page});
    std::string bytes;
    {
        std::ifstream in(folder / "t.mdi", std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    // The tag's directory entry: 37679 as BYTE (1); give it a type no TIFF has.
    const auto at = bytes.find(std::string("\x2f\x93\x01\x00", 4));
    ASSERT_NE(at, std::string::npos);
    bytes[at + 2] = '\x01';
    bytes[at + 3] = '\x83';
    const auto doc =
        Document::OpenBytes(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), "t.mdi");
    EXPECT_EQ(doc->StoredText(0), "");
    EXPECT_NO_THROW(doc->PagePicture(0));
}

TEST(DocumentTest, MdiCodecsAreRefusedNamingFilePageAndCodec) {
    TempFolder folder;
    for (std::uint32_t codec : {34718u, 34719u, 34720u}) {
        TestPage plain, proprietary;
        proprietary.codec = Codec::None;
        proprietary.patchTags = {{259, codec}};
        const auto path = folder / "odd.mdi";
        testing::WriteTestMdi(path, {plain, proprietary});
        const auto doc = Document::Open(path);  // opening is fine; the page is refused
        EXPECT_NO_THROW(doc->PagePicture(0));
        const Error e = ErrorFrom([&] { doc->PagePicture(1); });
        EXPECT_EQ(e.Code(), ErrorCode::Unsupported);
        EXPECT_EQ(e.Page(), 1);
        const std::string text = e.what();
        EXPECT_NE(text.find("odd.mdi"), std::string::npos) << text;
        EXPECT_NE(text.find("page 2"), std::string::npos) << text;
        EXPECT_NE(text.find(std::to_string(codec)), std::string::npos) << text;
        EXPECT_EQ(doc->Info(1).codec, "MDI codec " + std::to_string(codec));
    }
}

TEST(DocumentTest, HugePageIsRefusedBeforeDecoding) {
    TempFolder folder;
    TestPage page;
    page.codec = Codec::None;
    page.rowsPerStrip = 0;
    page.patchTags = {{256, 200000}, {257, 200000}};
    testing::WriteTestTiff(folder / "bomb.tif", {page});
    const auto doc = Document::Open(folder / "bomb.tif");
    EXPECT_EQ(doc->Info(0).width, 200000u);
    const Error e = ErrorFrom([&] { doc->PagePicture(0); });
    EXPECT_EQ(e.Code(), ErrorCode::TooLarge);
    EXPECT_NE(std::string(e.what()).find("200000 x 200000"), std::string::npos) << e.what();
    EXPECT_EQ(ErrorFrom([&] { doc->PagePicture(0, 10, 10); }).Code(), ErrorCode::TooLarge);
    // So is a page of few pixels but a side too long to hold a row of.
    TestPage thin = page;
    thin.patchTags = {{256, 1'200'000}, {257, 1}};
    testing::WriteTestTiff(folder / "thin.tif", {thin});
    EXPECT_EQ(
        ErrorFrom([&] { Document::Open(folder / "thin.tif")->PagePicture(0, 10, 10); }).Code(),
        ErrorCode::TooLarge);
    // A sane page asked for an absurd picture is refused as well.
    TestPage small;
    testing::WriteTestTiff(folder / "small.tif", {small});
    const auto ok = Document::Open(folder / "small.tif");
    EXPECT_EQ(ErrorFrom([&] { ok->PagePicture(0, 70000, 10); }).Code(), ErrorCode::TooLarge);
    EXPECT_EQ(ErrorFrom([&] { ok->PagePicture(0, 0, 10); }).Code(), ErrorCode::Internal);
    EXPECT_EQ(ErrorFrom([&] { ok->PagePicture(1); }).Code(), ErrorCode::Internal);
}

TEST(DocumentTest, BadInputsGiveOneClearError) {
    TempFolder folder;
    TestPage page;
    page.codec = Codec::None;
    testing::WriteTestTiff(folder / "good.tif", {page, page});
    std::string good;
    {
        std::ifstream in(folder / "good.tif", std::ios::binary);
        good.assign(std::istreambuf_iterator<char>(in), {});
    }
    WriteBytes(folder / "empty.tif", "");
    WriteBytes(folder / "png.tif", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    WriteBytes(folder / "short.tif", "II*");
    WriteBytes(folder / "cut.tif", good.substr(0, good.size() / 2));
    std::filesystem::create_directory(folder / "folder.tif");
    struct Case {
        const char* name;
        ErrorCode code;
        const char* words;
    };
    const std::vector<Case> cases = {
        {"missing.tif", ErrorCode::BadInput, "no such file"},
        {"folder.tif", ErrorCode::BadInput, "folder"},
        {"empty.tif", ErrorCode::BadInput, "empty"},
        {"png.tif", ErrorCode::BadInput, "not a TIFF"},
        {"short.tif", ErrorCode::BadInput, "not a TIFF"},
        {"cut.tif", ErrorCode::BadInput, "damaged"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::testing::internal::CaptureStderr();
        const Error e = ErrorFrom([&] { Document::Open(folder / c.name); });
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");  // libtiff stays quiet
        EXPECT_EQ(e.Code(), c.code);
        EXPECT_EQ(e.Path(), folder / c.name);
        EXPECT_NE(std::string(e.what()).find(c.words), std::string::npos) << e.what();
        EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos);
    }
}

TEST(DocumentTest, DamagedPixelDataIsAnErrorNotACrash) {
    TempFolder folder;
    TestPage page;
    page.width = 200;
    page.height = 200;
    page.layout = Layout::Rgb;
    page.rowsPerStrip = 0;
    testing::WriteTestTiff(folder / "d.tif", {page});
    std::string bytes;
    {
        std::ifstream in(folder / "d.tif", std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    // The pixel data sits between the header and the directory: scramble it.
    for (std::size_t i = 8; i < bytes.size() / 2; ++i)
        bytes[i] = static_cast<char>(i * 37);
    const auto doc =
        Document::OpenBytes(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), "d.tif");
    ::testing::internal::CaptureStderr();
    try {
        const Picture p = doc->PagePicture(0);
        EXPECT_EQ(p.width, 200);  // LZW may decode junk; it must still be a whole picture
    } catch (const Error& e) {
        EXPECT_EQ(e.Code(), ErrorCode::BadInput);
        EXPECT_NE(std::string(e.what()).find("page 1"), std::string::npos);
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(DocumentTest, PagesReadFromSeveralThreadsMatchOneThread) {
    TempFolder folder;
    std::vector<TestPage> pages;
    for (int i = 0; i < 12; ++i) {
        TestPage page;
        page.width = 300 + 10 * i;
        page.height = 400;
        page.xResolution = page.yResolution = 200;
        page.layout = i % 3 == 0 ? Layout::Bilevel : i % 3 == 1 ? Layout::YCbCrJpeg : Layout::Grey8;
        page.fill = i % 3 == 1 ? Fill::Photo : Fill::Text;
        pages.push_back(page);
    }
    testing::WriteTestTiff(folder / "many.tif", pages);
    const auto doc = Document::Open(folder / "many.tif");
    std::vector<Picture> alone;
    for (int i = 0; i < doc->PageCount(); ++i)
        alone.push_back(doc->PagePicture(i));
    std::vector<std::future<std::vector<Picture>>> workers;
    for (int t = 0; t < 4; ++t) {
        workers.push_back(std::async(std::launch::async, [&doc, t] {
            std::vector<Picture> got;
            for (int k = 0; k < doc->PageCount(); ++k)
                got.push_back(doc->PagePicture((k + t * 5) % doc->PageCount()));
            return got;
        }));
    }
    for (int t = 0; t < 4; ++t) {
        const auto got = workers[t].get();
        for (int k = 0; k < doc->PageCount(); ++k) {
            const Picture& want = alone[(k + t * 5) % doc->PageCount()];
            EXPECT_EQ(got[k].width, want.width);
            EXPECT_TRUE(got[k].samples == want.samples) << "thread " << t << " page " << k;
        }
    }
}

TEST(DocumentTest, InfoDescribesEachPage) {
    TempFolder folder;
    TestPage bilevel;
    bilevel.layout = Layout::Bilevel;
    bilevel.xResolution = bilevel.yResolution = 60;
    TestPage rgb;
    rgb.layout = Layout::Rgba;
    rgb.tiled = true;
    rgb.planar = true;
    testing::WriteTestTiff(folder / "i.tif", {bilevel, rgb});
    const auto doc = Document::Open(folder / "i.tif");
    const PageInfo a = doc->Info(0);
    EXPECT_EQ(a.layout, "bilevel");
    EXPECT_EQ(a.codec, "CCITT G4");
    EXPECT_EQ(a.width, 64u);
    EXPECT_DOUBLE_EQ(a.xResolution, 60);
    EXPECT_EQ(a.pictureWidth, 102);
    const PageInfo b = doc->Info(1);
    EXPECT_EQ(b.layout, "RGB 8-bit, alpha, planar, tiled");
    EXPECT_EQ(b.codec, "Deflate");
    EXPECT_EQ(b.pictureWidth, 64);
}

// libtiff's general reader is the fallback for rare layouts; it must agree with the direct one.
TEST(DocumentTest, GeneralReaderAgreesWithDirectReader) {
    std::vector<TestPage> pages;
    for (Layout layout : {Layout::Bilevel, Layout::Grey4, Layout::Grey16, Layout::Palette,
                          Layout::Rgb, Layout::Rgba, Layout::Cmyk, Layout::YCbCrJpeg}) {
        TestPage page;
        page.width = 150;
        page.height = 130;
        page.layout = layout;
        page.fill =
            layout == Layout::Bilevel || layout == Layout::Palette ? Fill::Text : Fill::Photo;
        page.inkColour = {30, 60, 90};
        page.inkAlpha = 100;
        page.tiled = layout == Layout::Rgb;
        pages.push_back(page);
    }
    TempFolder folder;
    const auto path = folder / "g.tif";
    testing::WriteTestTiff(path, pages, {ByteOrder::BigEndian, false});
    const auto doc = Document::Open(path);
    const auto source = OpenFileSource(path);
    for (int i = 0; i < doc->PageCount(); ++i) {
        SCOPED_TRACE(i);
        TiffHandle handle(source, path, "r", false);
        ASSERT_TRUE(TIFFSetDirectory(handle.Get(), static_cast<tdir_t>(i)));
        const PageLayout layout = ReadPageLayout(handle.Get());
        const Picture general = ReadPage(handle, layout, 61, 47, path, i, true);
        const Picture direct = doc->PagePicture(i, 61, 47);
        // JPEG pages are shrunk in the transform as they are decoded.
        const int tolerance = pages[i].layout == Layout::YCbCrJpeg ? 6 : 1;
        // Grey and bilevel pages keep one channel; the general road always gives three.
        const bool grey = pages[i].layout == Layout::Bilevel || pages[i].layout == Layout::Grey4 ||
                          pages[i].layout == Layout::Grey16;
        EXPECT_EQ(direct.channels, grey ? 1 : 3);
        EXPECT_EQ(direct.samples.size(), 61u * 47 * direct.channels);
        ASSERT_EQ(general.samples.size(), 61u * 47 * 3);
        for (int y = 0; y < 47; ++y) {
            for (int x = 0; x < 61; ++x) {
                const Rgb a = At(general, x, y), b = At(direct, x, y);
                for (int c = 0; c < 3; ++c)
                    ASSERT_NEAR(a[c], b[c], tolerance) << x << "," << y;
            }
        }
    }
}

TEST(DocumentTest, JpegPagesShrunkAsTheyAreDecodedLookLikeTheWholeDecode) {
    std::vector<TestPage> pages(3);
    pages[0].layout = Layout::YCbCrJpeg;
    pages[1].layout = Layout::Grey8;
    pages[1].codec = Codec::Jpeg;
    pages[1].rowsPerStrip = 0;  // one strip
    pages[2].layout = Layout::Rgb;
    pages[2].codec = Codec::Jpeg;
    pages[2].rowsPerStrip = 8;
    for (TestPage& page : pages) {
        page.width = 403;  // neither side a whole number of blocks
        page.height = 301;
        page.fill = Fill::Photo;
    }
    TempFolder folder;
    const auto path = folder / "jpeg.tif";
    testing::WriteTestTiff(path, pages, {ByteOrder::LittleEndian, false});
    const auto doc = Document::Open(path);
    const auto source = OpenFileSource(path);
    for (int i = 0; i < doc->PageCount(); ++i) {
        TiffHandle handle(source, path, "r", false);
        ASSERT_TRUE(TIFFSetDirectory(handle.Get(), static_cast<tdir_t>(i)));
        const PageLayout layout = ReadPageLayout(handle.Get());
        // Shrunk by 8 (one row of pixels per strip of 8), 4, 2, and not at all.
        for (const auto& [width, height] : {std::pair{50, 37}, {100, 75}, {201, 150}, {300, 224}}) {
            SCOPED_TRACE(std::to_string(i) + ": " + std::to_string(width));
            const Picture whole = ReadPage(handle, layout, width, height, path, i, true);
            const Picture shrunk = doc->PagePicture(i, width, height);
            ASSERT_EQ(shrunk.width, width);
            ASSERT_EQ(shrunk.height, height);
            EXPECT_EQ(shrunk.channels, i == 1 ? 1 : 3);
            int worst = 0;
            double sum = 0;
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const Rgb a = At(whole, x, y), b = At(shrunk, x, y);
                    for (int c = 0; c < 3; ++c) {
                        worst = std::max(worst, std::abs(a[c] - b[c]));
                        sum += std::abs(a[c] - b[c]);
                    }
                }
            }
            // The transform's shrink is not quite an area average: near, but not equal. A
            // wrong colour space, row order or strip would be far off.
            EXPECT_LE(worst, 20);
            EXPECT_LE(sum / (3.0 * width * height), 3);
        }
    }
}

}  // namespace
}  // namespace vellumark::imaging
