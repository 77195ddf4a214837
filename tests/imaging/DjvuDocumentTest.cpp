// DjVu documents made with djvulibre's own tools and with minidjvu: pages at their own size and
// resolution, the bilevel layer exact, also where pages share a dictionary of shapes and are read
// on several threads at once, the hidden text as words with boxes, and damaged files refused.
#include <gtest/gtest.h>

#include <fstream>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "RunProgram.h"
#include "TestTiff.h"
#include "common/Error.h"
#include "imaging/ScanDocument.h"

namespace vellumark::imaging {
namespace {
namespace fs = std::filesystem;
using testing::RunProgram;
using testing::TempFolder;

void RunTool(const std::string& program, const std::vector<std::string>& args) {
    const testing::RunResult result = RunProgram(program, args);
    ASSERT_EQ(result.exitCode, 0) << program << ": " << result.err;
}

// A bilevel page of `width` x `height` as PBM, from 0 (black) and 255.
void WritePbm(const fs::path& path, const std::vector<std::uint8_t>& pixels, int width,
              int height) {
    std::ofstream pbm(path, std::ios::binary);
    pbm << "P4\n" << width << " " << height << "\n";
    for (int y = 0; y < height; ++y) {
        for (int byte = 0; byte < (width + 7) / 8; ++byte) {
            unsigned char bits = 0;
            for (int b = 0; b < 8 && byte * 8 + b < width; ++b)
                bits |= (pixels[std::size_t(y) * width + std::size_t(byte * 8 + b)] == 0)
                        << (7 - b);
            pbm.put(static_cast<char>(bits));
        }
    }
}

class DjvuDocumentTest : public ::testing::Test {
protected:
    // A 200 x 120 bilevel page at 150 dpi with two black bars, and a 90 x 60 colour page at
    // 75 dpi, bundled, the first page with a line of hidden text.
    void SetUp() override {
        bars_.assign(200u * 120u, 255);
        for (int y = 20; y < 40; ++y)
            for (int x = 10; x < 150; ++x)
                bars_[std::size_t(y) * 200 + std::size_t(x)] = 0;
        for (int y = 70; y < 80; ++y)
            for (int x = 30; x < 190; ++x)
                bars_[std::size_t(y) * 200 + std::size_t(x)] = 0;
        WritePbm(temp_ / "p1.pbm", bars_, 200, 120);
        std::ofstream ppm(temp_ / "p2.ppm", std::ios::binary);
        ppm << "P6\n90 60\n255\n";
        for (int i = 0; i < 90 * 60; ++i)
            ppm << static_cast<char>(200) << static_cast<char>(60) << static_cast<char>(40);
        ppm.close();
        RunTool("cjb2", {"-dpi", "150", (temp_ / "p1.pbm").string(), (temp_ / "p1.djvu").string()});
        RunTool("c44", {"-dpi", "75", (temp_ / "p2.ppm").string(), (temp_ / "p2.djvu").string()});
        RunTool("djvm",
                {"-c", book_.string(), (temp_ / "p1.djvu").string(), (temp_ / "p2.djvu").string()});
        std::ofstream(temp_ / "text.dsed")
            << "select 1\nset-txt\n(page 0 0 200 120 (para 0 0 200 120 (line 10 80 150 100 "
               "(word 10 80 70 100 \"Harbour\") (word 80 80 150 100 \"lights\"))))\n.\nsave\n";
        RunTool("djvused", {book_.string(), "-f", (temp_ / "text.dsed").string()});
    }

    TempFolder temp_;
    fs::path book_ = temp_ / "book.djvu";
    std::vector<std::uint8_t> bars_;
};

// djvulibre sets a new-handler of its own as it loads, which throws its own exception type: a
// failed allocation must stay the std::bad_alloc every handler here expects.
TEST(DjvuLibraryTest, FailedAllocationsStayStdBadAlloc) {
    EXPECT_EQ(std::get_new_handler(), nullptr);
}

TEST_F(DjvuDocumentTest, PagesComeAtTheirOwnSizeWithTheirTextLayer) {
    const auto document = OpenScanDocument(book_);
    EXPECT_EQ(document->KindName(), "DjVu");
    ASSERT_EQ(document->PageCount(), 2);
    EXPECT_EQ(document->Shape(0).width, 200);
    EXPECT_EQ(document->Shape(0).height, 120);
    EXPECT_EQ(document->Shape(0).kind, PageKind::Bilevel);
    EXPECT_EQ(document->Resolution(0), 150);
    EXPECT_EQ(document->Shape(1).kind, PageKind::Colour);
    EXPECT_EQ(document->Resolution(1), 75);
    EXPECT_EQ(document->Info(1).pictureWidth, 115);  // 90 pixels at 75 dpi, at 96

    // The bilevel layer is lossless: the page comes back as it was drawn.
    const Picture page = document->PagePicture(0, 200, 120);
    ASSERT_EQ(page.channels, 1);
    EXPECT_EQ(page.samples, bars_);
    // And as bits, for a turn at its own pixels; the colour page has none.
    const auto bits = document->PageBits(0);
    ASSERT_TRUE(bits);
    ASSERT_EQ(bits->width, 200);
    ASSERT_EQ(bits->height, 120);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ((bits->Row(y)[x / 8] & (0x80 >> (x % 8))) != 0,
                      bars_[std::size_t(y) * 200 + std::size_t(x)] == 0)
                << x << "," << y;
    EXPECT_FALSE(document->PageBits(1));
    const Picture colour = document->PagePicture(1, 90, 60);
    ASSERT_EQ(colour.channels, 3);
    EXPECT_NEAR(colour.Row(30)[3 * 45], 200, 12);
    EXPECT_NEAR(colour.Row(30)[3 * 45 + 2], 40, 12);

    // Hidden text: boxes from the top left corner, one line of one block.
    const std::vector<StoredWord> words = document->StoredWords(0);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0].text, "Harbour");
    EXPECT_EQ(words[0].left, 10);
    EXPECT_EQ(words[0].top, 20);
    EXPECT_EQ(words[0].width, 60);
    EXPECT_EQ(words[0].height, 20);
    EXPECT_EQ(words[1].line, words[0].line);
    EXPECT_TRUE(document->StoredWords(1).empty());
}

// Scanned books encoded by minidjvu keep the letters the pages share in one dictionary. Pages
// read on several threads at once (a conversion's pages, the window's thumbnails) each come
// with their letters, every time.
TEST_F(DjvuDocumentTest, PagesSharingADictionaryReadOnManyThreadsAtOnce) {
    constexpr int kWidth = 240, kHeight = 160, kPages = 8;
    std::vector<std::vector<std::uint8_t>> drawn;
    std::vector<std::string> args = {"-d", "150", "-p", std::to_string(kPages)};
    for (int page = 0; page < kPages; ++page) {
        // The same twelve letter-like shapes on every page, placed apart.
        std::vector<std::uint8_t> pixels(std::size_t(kWidth) * kHeight, 255);
        for (int k = 0; k < 12; ++k) {
            const int left = 10 + (k * 37 + page * 5) % 200, top = 10 + (k * 23 + page * 7) % 130;
            for (int y = 0; y < 14; ++y)
                for (int x = 0; x < 9; ++x)
                    if (x < 2 || y < 2 || (k % 3 == 0 && y > 11))
                        pixels[std::size_t(top + y) * kWidth + std::size_t(left + x)] = 0;
        }
        const fs::path pbm = temp_ / ("shared" + std::to_string(page) + ".pbm");
        WritePbm(pbm, pixels, kWidth, kHeight);
        args.push_back(pbm.string());
        drawn.push_back(std::move(pixels));
    }
    const fs::path shared = temp_ / "shared.djvu";
    args.push_back(shared.string());
    RunTool("minidjvu", args);

    const auto document = OpenScanDocument(shared);
    ASSERT_EQ(document->PageCount(), kPages);
    std::vector<std::string> failures(4);
    std::vector<std::thread> readers;
    for (std::size_t t = 0; t < failures.size(); ++t) {
        readers.emplace_back([&, t] {
            try {
                for (int round = 0; round < 5; ++round) {
                    for (int page = 0; page < kPages; ++page) {
                        const Picture picture = document->PagePicture(page, kWidth, kHeight);
                        if (picture.samples != drawn[std::size_t(page)])
                            throw std::runtime_error("page " + std::to_string(page + 1) +
                                                     " differs from what was drawn");
                    }
                }
            } catch (const std::exception& e) {
                failures[t] = e.what();
            }
        });
    }
    for (std::thread& reader : readers)
        reader.join();
    for (const std::string& failure : failures)
        EXPECT_EQ(failure, "");
}

TEST_F(DjvuDocumentTest, ADamagedFileIsRefusedNamingIt) {
    std::ifstream in(book_, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const fs::path cut = temp_ / "cut.djvu";
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, 40);
    try {
        const auto document = OpenScanDocument(cut);
        for (int page = 0; page < document->PageCount(); ++page)
            document->PagePicture(page, 20, 20);
        FAIL() << "a cut file opened";
    } catch (const Error& e) {
        EXPECT_EQ(e.Code(), ErrorCode::BadInput) << e.what();
        EXPECT_NE(std::string(e.what()).find(cut.string()), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace vellumark::imaging
