#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "TestTiff.h"
#include "common/Error.h"
#include "imaging/Document.h"
#include "imaging/text/DocSearch.h"
#include "imaging/text/TextLayer.h"
#include "imaging/text/WordMatch.h"
#include "tools/SampleScan.h"

namespace vellumark::imaging {
namespace {

using testing::TempFolder;
using testing::TestPage;

// Small 300 dpi pages with a few lines of large type: enough for Tesseract, quick to read.
tools::PageLayout SmallPage() {
    tools::PageLayout layout;
    layout.width = 1400;
    layout.height = 700;
    layout.margin = 120;
    return layout;
}

std::shared_ptr<const Document> WriteAndOpen(
    const std::filesystem::path& path, const std::vector<std::vector<tools::TextLine>>& pages) {
    std::vector<tools::BilevelPage> rendered;
    for (const auto& lines : pages)
        rendered.push_back(tools::RenderPage(lines, SmallPage()));
    tools::WriteScan(path, rendered);
    return Document::Open(path);
}

std::vector<std::string> Folded(const std::vector<Word>& words) {
    std::vector<std::string> folded;
    for (const Word& word : words)
        folded.push_back(FoldWord(word.text));
    return folded;
}

bool Contains(const std::vector<std::string>& words, const std::string& word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

TEST(TextLayerOcrTest, FindsDistinctiveWordsOnTheirPagesWithBoxes) {
    const TempFolder folder;
    const auto document =
        WriteAndOpen(folder / "scan.tif", {{{"The Aardvark Museum", 16}, {"opens at noon.", 16}},
                                           {{"A silver Zeppelin", 16}, {"over the harbour.", 16}}});
    const auto text = std::make_shared<TextLayer>(document);
    ASSERT_EQ(text->PageCount(), 2);
    EXPECT_FALSE(text->IsKnown(0));

    const std::vector<Word> first = text->Words(0);
    EXPECT_TRUE(text->IsKnown(0));
    EXPECT_FALSE(text->IsKnown(1));
    const auto firstFolded = Folded(first);
    EXPECT_TRUE(Contains(firstFolded, "aardvark")) << ::testing::PrintToString(firstFolded);
    EXPECT_TRUE(Contains(firstFolded, "museum"));
    EXPECT_FALSE(Contains(firstFolded, "zeppelin"));
    // Reading order, and boxes in the page's own pixels: the first word starts at the margin.
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(FoldWord(first.front().text), "the");
    EXPECT_TRUE(first.front().hasBox);
    EXPECT_NEAR(first.front().left, 120, 12);
    EXPECT_NEAR(first.front().top, 120, 40);
    for (const Word& word : first) {
        EXPECT_GT(word.width, 0);
        EXPECT_LE(word.left + word.width, 1400);
        EXPECT_LE(word.top + word.height, 700);
    }

    DocSearch search;
    const int page = 0;
    const int word = 0;
    search.SetUp(text, "zeppelin", page, word);
    const auto hit = search.Search();
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->page, 1);
    EXPECT_EQ(FoldWord(hit->text), "zeppelin");
    EXPECT_TRUE(text->IsKnown(1));
}

TEST(TextLayerOcrTest, BlankPageHasNoWords) {
    const TempFolder folder;
    const auto document = WriteAndOpen(folder / "blank.tif", {{}});
    const TextLayer text(document);
    EXPECT_TRUE(text.Words(0).empty());
    EXPECT_TRUE(text.IsKnown(0));
}

TEST(TextLayerStoredTextTest, MdiStoredTextIsUsedInsteadOfOcr) {
    const TempFolder folder;
    TestPage withText;
    withText.width = 200;
    withText.height = 100;
    withText.xResolution = withText.yResolution = 200;
    withText.layout = testing::Layout::Bilevel;
    withText.fill = testing::Fill::Solid;  // OCR would find nothing here
    withText.storedText = "Stored  OCR\ntext, caf\u00E9!";
    TestPage plain = withText;
    plain.storedText.clear();
    plain.fill = testing::Fill::Solid;
    testing::WriteTestMdi(folder / "stored.mdi", {withText, plain});

    const TextLayer text(Document::Open(folder / "stored.mdi"));
    const std::vector<Word> words = text.Words(0);
    ASSERT_EQ(words.size(), 4u);
    EXPECT_EQ(words[0].text, "Stored");
    EXPECT_EQ(words[1].text, "OCR");
    EXPECT_EQ(words[2].text, "text,");
    EXPECT_EQ(words[3].text, "caf\u00E9!");
    for (const Word& word : words)
        EXPECT_FALSE(word.hasBox);
    EXPECT_TRUE(text.Words(1).empty());  // no stored text: OCR of a black page

    const auto hits = FindAll(
        text.PageCount(), [&](int page) { return text.Words(page); }, "TEXT CAFÉ");
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].words, (std::vector<int>{2, 3}));
}

class TextLayerCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestPage page;
        testing::WriteTestTiff(folder_ / "pages.tif", {page, page, page});
        document_ = Document::Open(folder_ / "pages.tif");
    }
    TempFolder folder_;
    std::shared_ptr<const Document> document_;
};

TEST_F(TextLayerCacheTest, ReadsEachPageOnceEvenWhenAskedFromSeveralThreads) {
    std::atomic<int> reads[3] = {0, 0, 0};
    const TextLayer text(document_, [&](const PageSource&, int page, const TextLayer::CancelFlag*) {
        ++reads[page];
        std::this_thread::yield();
        return std::vector<Word>{Word{"page" + std::to_string(page)}};
    });
    {
        std::vector<std::jthread> threads;
        for (int i = 0; i < 4; ++i) {
            threads.emplace_back([&] {
                for (int page = 0; page < 3; ++page)
                    EXPECT_EQ(text.Words(page).size(), 1u);
            });
        }
    }
    for (const auto& count : reads)
        EXPECT_EQ(count, 1);
    ReadAllPages(text, 2);
    for (const auto& count : reads)
        EXPECT_EQ(count, 1);
    EXPECT_EQ(text.Words(2).front().text, "page2");
}

TEST_F(TextLayerCacheTest, FailedOrCancelledReadIsTriedAgain) {
    int attempts = 0;
    const TextLayer text(document_, [&](const PageSource&, int page, const TextLayer::CancelFlag*) {
        if (page == 1 && ++attempts == 1)
            throw Error(ErrorCode::BadInput, "damaged strip");
        return std::vector<Word>{Word{"ok"}};
    });
    EXPECT_THROW(text.Words(1), Error);
    EXPECT_FALSE(text.IsKnown(1));
    EXPECT_EQ(text.Words(1).size(), 1u);
    EXPECT_TRUE(text.IsKnown(1));

    const TextLayer::CancelFlag cancelled = true;
    try {
        text.Words(2, &cancelled);
        FAIL() << "expected a cancellation";
    } catch (const Error& e) {
        EXPECT_EQ(e.Code(), ErrorCode::Cancelled);
    }
    EXPECT_FALSE(text.IsKnown(2));
    EXPECT_THROW(text.Words(3), Error);
    EXPECT_FALSE(text.IsKnown(-1));
}

TEST_F(TextLayerCacheTest, ReadAllPagesReportsProgressAndTheFirstError) {
    const TextLayer text(document_, [&](const PageSource&, int page, const TextLayer::CancelFlag*) {
        if (page == 2)
            throw Error(ErrorCode::BadInput, "page three is damaged");
        return std::vector<Word>{};
    });
    std::vector<int> done;
    try {
        ReadAllPages(text, 1, [&](int count, int total) {
            EXPECT_EQ(total, 3);
            done.push_back(count);
        });
        FAIL() << "expected the page's error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "page three is damaged");
    }
    EXPECT_EQ(done, (std::vector<int>{1, 2}));
}

}  // namespace
}  // namespace vellumark::imaging
