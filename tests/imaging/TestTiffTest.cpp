// The test file writer is checked against libtiff's own RGBA reader, so that the document tests
// that rely on it compare against what the files really hold.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdlib>
#include <memory>

#include "TestTiff.h"

namespace vellumark::testing {
namespace {

struct Decoded {
    int width = 0, height = 0;
    std::vector<std::uint32_t> abgr;  // top row first
    std::array<int, 3> At(int x, int y) const {
        const std::uint32_t p = abgr[static_cast<std::size_t>(y) * width + x];
        return {static_cast<int>(TIFFGetR(p)), static_cast<int>(TIFFGetG(p)),
                static_cast<int>(TIFFGetB(p))};
    }
};

Decoded ReadWithLibtiff(const std::filesystem::path& path, int page) {
    std::unique_ptr<TIFF, void (*)(TIFF*)> tif(TIFFOpen(path.c_str(), "r"), TIFFClose);
    EXPECT_TRUE(tif);
    EXPECT_TRUE(TIFFSetDirectory(tif.get(), static_cast<tdir_t>(page)));
    Decoded d;
    std::uint32_t w = 0, h = 0;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &h);
    d.width = static_cast<int>(w);
    d.height = static_cast<int>(h);
    d.abgr.resize(static_cast<std::size_t>(w) * h);
    EXPECT_TRUE(TIFFReadRGBAImageOriented(tif.get(), w, h, d.abgr.data(), ORIENTATION_TOPLEFT, 0));
    return d;
}

TEST(TestTiffTest, EveryLayoutHoldsThePaintedColours) {
    TempFolder folder;
    std::vector<TestPage> pages;
    for (Layout layout :
         {Layout::Bilevel, Layout::Grey4, Layout::Grey8, Layout::Grey16, Layout::Palette,
          Layout::Rgb, Layout::Rgba, Layout::Cmyk, Layout::YCbCrJpeg}) {
        for (bool tiled : {false, true}) {
            TestPage page;
            page.width = 80;
            page.height = 70;
            page.layout = layout;
            page.tiled = tiled;
            page.planar = tiled && (layout == Layout::Rgb || layout == Layout::Cmyk);
            page.inkColour =
                layout == Layout::Bilevel ? std::array<std::uint8_t, 3>{0, 0, 0}
                : (layout == Layout::Grey4 || layout == Layout::Grey8 || layout == Layout::Grey16)
                    ? std::array<std::uint8_t, 3>{119, 119, 119}
                    : std::array<std::uint8_t, 3>{200, 40, 90};
            pages.push_back(page);
        }
    }
    for (ByteOrder order : {ByteOrder::LittleEndian, ByteOrder::BigEndian}) {
        const auto path = folder / "all.tif";
        WriteTestTiff(path, pages, {order, order == ByteOrder::BigEndian});
        for (std::size_t i = 0; i < pages.size(); ++i) {
            SCOPED_TRACE(i);
            const Decoded d = ReadWithLibtiff(path, static_cast<int>(i));
            ASSERT_EQ(d.width, 80);
            ASSERT_EQ(d.height, 70);
            const int tolerance = pages[i].layout == Layout::YCbCrJpeg ? 6 : 0;
            for (auto [x, y] :
                 {std::pair{5, 5}, std::pair{30, 60}, std::pair{50, 5}, std::pair{75, 65}}) {
                const auto want = ExpectedColour(pages[i], x, y);
                const auto got = d.At(x, y);
                for (int c = 0; c < 3; ++c)
                    EXPECT_NEAR(got[c], want[c], tolerance) << x << "," << y;
            }
        }
    }
}

TEST(TestTiffTest, MdiHasEpHeaderAndPatchedTagsAreWritten) {
    TempFolder folder;
    TestPage page;
    page.patchTags = {{259, 34718}, {256, 200000}};
    WriteTestMdi(folder / "a.mdi", {page});
    std::FILE* f = std::fopen((folder / "a.mdi").c_str(), "rb");
    ASSERT_TRUE(f);
    char head[4] = {};
    ASSERT_EQ(std::fread(head, 1, 4, f), 4u);
    std::fclose(f);
    EXPECT_EQ(std::string(head, 2), "EP");
    EXPECT_EQ(head[2], 42);
}

}  // namespace
}  // namespace vellumark::testing
