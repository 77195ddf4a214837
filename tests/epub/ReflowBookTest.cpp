// The reflowable edition, measured against a typeset book whose text is known: the flow built
// from the book's own words (no OCR), and once, the whole road over its scan read by Tesseract,
// with epubcheck and Ace.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "BookChecks.h"
#include "CommandLineChecks.h"
#include "FakePages.h"
#include "TestTiff.h"
#include "epub/ConversionJob.h"
#include "epub/Folders.h"
#include "epub/LanguageTag.h"
#include "epub/ReflowBook.h"
#include "imaging/Document.h"
#include "structure/BookStructure.h"
#include "structure/Dehyphenation.h"
#include "structure/FlowText.h"
#include "tools/ReflowSample.h"

namespace vellumark::epub {
namespace {
namespace fs = std::filesystem;
using structure::FlowItem;
using structure::FlowKind;
using structure::LookupForm;
using tools::SampleBlock;

// A block of the text a reader reads: a heading (level > 0), a paragraph or a caption.
struct ReadBlock {
    int level = 0;
    std::string text;
};

std::vector<std::string> WordsOf(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        word = LookupForm(word);
        if (!word.empty())
            words.push_back(word);
    }
    return words;
}

// The truth, as a reader should read it.
std::vector<ReadBlock> TrueBlocks(const tools::ReflowSample& sample) {
    std::vector<ReadBlock> blocks;
    for (const SampleBlock& block : sample.blocks) {
        blocks.push_back({block.kind == SampleBlock::Kind::Heading ? block.level : 0, block.text});
    }
    return blocks;
}

// Which word of `a` each word of `b` is, by the longest common subsequence (-1 for none).
std::vector<int> Align(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    const std::size_t n = a.size(), m = b.size();
    std::vector<std::vector<std::uint16_t>> table(n + 1, std::vector<std::uint16_t>(m + 1, 0));
    for (std::size_t i = n; i-- > 0;) {
        for (std::size_t j = m; j-- > 0;) {
            table[i][j] =
                a[i] == b[j] ? table[i + 1][j + 1] + 1 : std::max(table[i + 1][j], table[i][j + 1]);
        }
    }
    std::vector<int> match(m, -1);
    for (std::size_t i = 0, j = 0; i < n && j < m;) {
        if (a[i] == b[j]) {
            match[j++] = static_cast<int>(i++);
        } else if (table[i + 1][j] >= table[i][j + 1]) {
            ++i;
        } else {
            ++j;
        }
    }
    return match;
}

double Share(std::size_t part, std::size_t whole) {
    return whole == 0 ? 1.0 : static_cast<double>(part) / static_cast<double>(whole);
}

// Share of the true words found, in order.
double WordMatch(const std::vector<std::string>& truth, const std::vector<std::string>& read) {
    const std::vector<int> match = Align(truth, read);
    return Share(static_cast<std::size_t>(
                     std::count_if(match.begin(), match.end(), [](int i) { return i >= 0; })),
                 truth.size());
}

double F1(std::size_t found, std::size_t right, std::size_t truth) {
    const double precision = Share(right, found), recall = Share(right, truth);
    return precision + recall == 0 ? 0 : 2 * precision * recall / (precision + recall);
}

struct Figures {
    double words = 0;       // share of the true words read, in order
    double boundaries = 0;  // F1 of the blocks' starts
    double headings = 0;    // F1 of the headings (same words, same level)
};

// Compares the blocks read with the truth: words in order, where blocks start, and headings.
Figures Measure(const std::vector<ReadBlock>& truth, const std::vector<ReadBlock>& read) {
    std::vector<std::string> trueWords, readWords;
    std::vector<std::size_t> trueStarts, readStarts;
    for (const ReadBlock& block : truth) {
        trueStarts.push_back(trueWords.size());
        for (std::string& word : WordsOf(block.text))
            trueWords.push_back(std::move(word));
    }
    for (const ReadBlock& block : read) {
        readStarts.push_back(readWords.size());
        for (std::string& word : WordsOf(block.text))
            readWords.push_back(std::move(word));
    }
    Figures figures;
    const std::vector<int> match = Align(trueWords, readWords);
    figures.words = Share(static_cast<std::size_t>(std::count_if(match.begin(), match.end(),
                                                                 [](int i) { return i >= 0; })),
                          trueWords.size());
    // A block read starts where the first of its first three words that was matched stands.
    std::size_t right = 0;
    for (std::size_t b = 0; b < readStarts.size(); ++b) {
        const std::size_t end = b + 1 < readStarts.size() ? readStarts[b + 1] : readWords.size();
        for (std::size_t w = readStarts[b]; w < end && w < readStarts[b] + 3; ++w) {
            if (match[w] < 0)
                continue;
            const std::size_t at = static_cast<std::size_t>(match[w]) - (w - readStarts[b]);
            right += std::find(trueStarts.begin(), trueStarts.end(), at) != trueStarts.end();
            break;
        }
    }
    figures.boundaries = F1(readStarts.size(), right, trueStarts.size());
    std::size_t trueHeadings = 0, readHeadings = 0, rightHeadings = 0;
    for (const ReadBlock& t : truth)
        trueHeadings += t.level > 0;
    std::vector<bool> used(truth.size(), false);
    for (const ReadBlock& r : read) {
        if (r.level == 0)
            continue;
        ++readHeadings;
        for (std::size_t t = 0; t < truth.size(); ++t) {
            if (!used[t] && truth[t].level == r.level &&
                WordMatch(WordsOf(truth[t].text), WordsOf(r.text)) >= 0.8 &&
                WordMatch(WordsOf(r.text), WordsOf(truth[t].text)) >= 0.8) {
                used[t] = true;
                ++rightHeadings;
                break;
            }
        }
    }
    figures.headings = F1(readHeadings, rightHeadings, trueHeadings);
    return figures;
}

std::vector<ReadBlock> BlocksOf(const std::vector<FlowItem>& flow) {
    std::vector<ReadBlock> blocks;
    for (const FlowItem& item : flow) {
        if (item.kind == FlowKind::Heading)
            blocks.push_back({item.level, item.text});
        else if (item.kind == FlowKind::Paragraph ||
                 (item.kind == FlowKind::Figure && !item.text.empty()))
            blocks.push_back({0, item.text});
    }
    return blocks;
}

// Broken words left broken, and compounds that lost their hyphen, among the words read.
struct Breaks {
    std::size_t unjoined = 0;
    std::size_t compoundsJoined = 0;
};

Breaks CountBreaks(const tools::ReflowSample& sample, const std::vector<ReadBlock>& read) {
    std::map<std::string, int> words;
    for (const ReadBlock& block : read) {
        std::istringstream in(block.text);
        for (std::string word; in >> word;)
            ++words[LookupForm(word)];
    }
    Breaks breaks;
    for (const std::string& broken : sample.brokenWords) {
        const std::string form = LookupForm(broken);
        // Left broken, the word reads with a hyphen inside.
        for (std::size_t cut = 1; cut < form.size(); ++cut) {
            const auto split = words.find(form.substr(0, cut) + "-" + form.substr(cut));
            if (split != words.end() && split->second > 0) {
                --split->second;
                ++breaks.unjoined;
                break;
            }
        }
    }
    for (const std::string& compound : sample.brokenCompounds) {
        std::string joined = LookupForm(compound);
        joined.erase(std::remove(joined.begin(), joined.end(), '-'), joined.end());
        breaks.compoundsJoined += words.count(joined);
    }
    return breaks;
}

std::vector<std::vector<structure::PictureBox>> SampleBoxes(const tools::ReflowSample& sample) {
    std::vector<std::vector<structure::PictureBox>> boxes(sample.pages.size());
    for (const tools::SampleFigure& f : sample.figures)
        boxes[static_cast<std::size_t>(f.page)].push_back({f.left, f.top, f.width, f.height});
    return boxes;
}

TEST(BookLexiconTest, JoinsWordsTheBookPrintsWholeAndKeepsCompounds) {
    structure::BookLexicon lexicon;
    lexicon.AddLine({"the", "harbour", "was", "a", "well-known", "place."}, false);
    lexicon.AddLine({"sea", "and", "worn", "light-"}, false);
    lexicon.AddLine({"house", "stood"}, true);
    EXPECT_EQ(lexicon.Join("har-", "bour,"), "harbour,");       // printed whole elsewhere
    EXPECT_EQ(lexicon.Join("well-", "known"), "well-known");    // printed with its hyphen
    EXPECT_EQ(lexicon.Join("sea-", "worn"), "sea-worn");        // two words of the book
    EXPECT_EQ(lexicon.Join("mys-", "terious"), "mysterious");   // unknown pieces: one word
    EXPECT_EQ(lexicon.Join("Anglo-", "Saxon"), "Anglo-Saxon");  // a capital starts a name
    // The piece after a break is no word of the book: "house" alone was never printed.
    EXPECT_EQ(lexicon.Join("green-", "house"), "greenhouse");
}

// The flow built from the typeset words themselves: what is lost here is the assembly's fault.
TEST(FlowTextTest, RebuildsTheTypesetBookFromItsWords) {
    const tools::ReflowSample sample = tools::TypesetReflowSample();
    structure::BookAnalyser analyser;
    for (const auto& words : sample.pages)
        analyser.AddPage(words, sample.width, sample.height);
    const structure::BookStructure book = analyser.Finish();
    EXPECT_EQ(book.labels, sample.labels);
    const std::vector<FlowItem> flow =
        structure::FlowOf(book, analyser.Pages(), SampleBoxes(sample));
    const std::vector<ReadBlock> read = BlocksOf(flow);
    const Figures figures = Measure(TrueBlocks(sample), read);
    EXPECT_GE(figures.words, 0.999);
    EXPECT_GE(figures.boundaries, 0.99);
    EXPECT_GE(figures.headings, 0.99);
    const Breaks breaks = CountBreaks(sample, read);
    EXPECT_EQ(breaks.unjoined, 0u);
    EXPECT_EQ(breaks.compoundsJoined, 0u);
    // Every page starts once, in order; no running head or folio is read.
    std::vector<int> starts;
    for (const FlowItem& item : flow) {
        if (item.kind == FlowKind::PageStart)
            starts.push_back(item.page);
        for (const structure::PageMark& mark : item.pageMarks)
            starts.push_back(mark.page);
        EXPECT_EQ(item.text.find("SILENT HARBOUR"), std::string::npos) << item.text;
    }
    std::vector<int> all(sample.pages.size());
    for (std::size_t p = 0; p < all.size(); ++p)
        all[p] = static_cast<int>(p);
    EXPECT_EQ(starts, all);
    // The figure stands with its caption.
    const auto figure = std::find_if(flow.begin(), flow.end(),
                                     [](const FlowItem& i) { return i.kind == FlowKind::Figure; });
    ASSERT_NE(figure, flow.end());
    EXPECT_EQ(figure->text, sample.figures.front().caption);
}

// A long chapter is split into documents no larger than a reading system handles well, and
// everything the navigation points at is in the document it names.
TEST(ReflowBookTest, LongChaptersAreSplitAndEveryLinkFindsItsTarget) {
    ReflowBook book;
    book.book.title = "Long";
    book.book.author = "A";
    book.book.languageTag = "en";
    book.book.pageCount = 400;
    book.book.pageLabels.assign(400, "");
    const std::string sentence(600, 'a');
    FlowItem heading;
    heading.kind = FlowKind::Heading;
    heading.level = 1;
    heading.text = "One";
    for (int page = 0; page < 400; ++page) {
        FlowItem start;
        start.kind = FlowKind::PageStart;
        start.page = page;
        book.book.pageLabels[static_cast<std::size_t>(page)] = std::to_string(page + 1);
        if (page == 0) {
            book.flow.push_back(start);
            book.flow.push_back(heading);
        }
        FlowItem paragraph;
        paragraph.page = page;
        paragraph.text = sentence + " " + sentence;
        if (page > 0)
            paragraph.pageMarks.push_back({sentence.size() + 1, page});
        book.flow.push_back(paragraph);
    }
    std::map<std::string, std::string> files;
    for (auto& [name, text] : ReflowDocumentFiles(book))
        files[name] = text;
    int chapters = 0;
    for (const auto& [name, text] : files) {
        if (name.rfind("chapter", 0) != 0)
            continue;
        ++chapters;
        EXPECT_LT(text.size(), 300u * 1024) << name;
    }
    EXPECT_GE(chapters, 2);
    // Every link of the navigation document lands on an id of its document.
    const std::string nav = files["nav.xhtml"];
    std::size_t links = 0;
    for (std::size_t at = nav.find("href=\""); at != std::string::npos;
         at = nav.find("href=\"", at + 1)) {
        const std::string href = nav.substr(at + 6, nav.find('"', at + 6) - at - 6);
        const std::size_t hash = href.find('#');
        const std::string file = href.substr(0, hash);
        ASSERT_TRUE(files.count(file)) << href;
        if (hash != std::string::npos) {
            EXPECT_NE(files[file].find("id=\"" + href.substr(hash + 1) + "\""), std::string::npos)
                << href;
        }
        ++links;
    }
    EXPECT_EQ(links, 400u + 2u) << "the pages, the heading and the start";
}

// Text an MDI stores comes without boxes: its short lines still end paragraphs.
TEST(FlowTextTest, StoredTextWithoutBoxesKeepsItsParagraphs) {
    const std::vector<std::string> lines = {
        "The harbour was quiet and grey light fell over the old", "water.",
        "Boats waited for the tide while gulls circled above the light-", "house keeper."};
    std::vector<imaging::Word> words;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::istringstream in(lines[i]);
        for (std::string word; in >> word;)
            words.push_back({word, 0, 0, 0, 0, false, 0, static_cast<int>(i)});
    }
    structure::BookAnalyser analyser;
    analyser.AddPage(words, 0, 0);
    const std::vector<FlowItem> flow = structure::FlowOf(analyser.Finish(), analyser.Pages(), {});
    const std::vector<ReadBlock> read = BlocksOf(flow);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].text, lines[0] + " " + lines[1]);
    EXPECT_EQ(read[1].text,
              "Boats waited for the tide while gulls circled above the lighthouse keeper.");
}

// A page whose first line is a rule alone (read as a stroke, no word) begins at the end of the
// paragraph it continues, not a byte past it.
TEST(FlowTextTest, APageOpeningWithARuleAloneBeginsAtTheParagraphsEnd) {
    structure::BookAnalyser analyser;
    for (const std::string line :
         {"The harbour was quiet and grey light fell over the old stone", "____"}) {
        std::vector<imaging::Word> words;
        std::istringstream in(line);
        for (std::string word; in >> word;)
            words.push_back({word});
        analyser.AddPage(words, 0, 0);
    }
    const std::vector<FlowItem> flow = structure::FlowOf(analyser.Finish(), analyser.Pages(), {});
    std::size_t marks = 0;
    for (const FlowItem& item : flow) {
        for (const structure::PageMark& mark : item.pageMarks) {
            EXPECT_EQ(mark.offset, item.text.size());
            ++marks;
        }
    }
    EXPECT_EQ(marks, 1u);
}

// The chapters' blocks in spine order, read from the book's archive.
std::vector<ReadBlock> ReadBook(const fs::path& book, std::string& all) {
    std::vector<ReadBlock> blocks;
    const std::string opf = testing::BookFile(book, "fb.opf");
    pugi::xml_document package;
    EXPECT_TRUE(package.load_string(opf.c_str()));
    std::map<std::string, std::string> hrefs;
    for (pugi::xml_node item : package.child("package").child("manifest").children("item"))
        hrefs[item.attribute("id").value()] = item.attribute("href").value();
    for (pugi::xml_node ref : package.child("package").child("spine").children("itemref")) {
        const std::string href = hrefs[ref.attribute("idref").value()];
        const std::string text = testing::BookFile(book, href);
        all += text;
        pugi::xml_document document;
        EXPECT_TRUE(document.load_string(text.c_str())) << href;
        for (pugi::xml_node node : document.child("html").child("body").children()) {
            const std::string name = node.name();
            const auto textOf = [](pugi::xml_node n) {
                std::string t;
                for (pugi::xpath_node d : n.select_nodes(".//text()"))
                    t += d.node().value();
                return t;
            };
            if (name.size() == 2 && name[0] == 'h')
                blocks.push_back({name[1] - '0', textOf(node)});
            else if (name == "p")
                blocks.push_back({0, textOf(node)});
            else if (name == "figure" && node.child("figcaption"))
                blocks.push_back({0, textOf(node.child("figcaption"))});
        }
    }
    return blocks;
}

class ReflowScanTest : public ::testing::Test {
protected:
    vellumark::testing::TempFolder temp_;
};

TEST_F(ReflowScanTest, TheScannedBookReadsAsItsTextWithPagesHeadingsAndFigure) {
#ifdef VELLUMARK_TEST_SANITIZED
    GTEST_SKIP() << "a whole book's OCR: the sanitizers would only slow it";
#endif
    const tools::ReflowSample sample = tools::TypesetReflowSample();
    const fs::path scan = temp_.Path() / "sample.tif";
    tools::WriteScan(scan, tools::RenderReflowSample(sample, 2.4));
    const std::shared_ptr<const imaging::PageSource> document = imaging::Document::Open(scan);
    const auto text = std::make_shared<const imaging::TextLayer>(document);

    WorkingFolder working = WorkingFolder::CreatePrivate(VELLUMARK_TEST_EPUBFILES);
    ConversionSettings settings;
    settings.title = "The Silent Harbour";
    settings.author = "Ada Quill";
    settings.outputFolder = (temp_.Path() / "out").string();
    settings.workingFolder = working.Path();
    settings.sink = BookSinkKind::Archive;
    settings.format = BookFormat::Reflow;
    settings.text = text;
    settings.ocrLanguage = "eng";
    testing::RecordingReporter reporter;
    const ConversionResult result = Convert(document.get(), settings, reporter);
    ASSERT_EQ(result.outcome, ConversionOutcome::Succeeded) << result.message;
    const fs::path book = result.output;
    epub::testing::ExpectValidBook(book);
    vellumark::testing::ExpectAccessibleBook(book);

    // Tesseract's own accuracy: its words against the words printed, heads and pieces of
    // broken words as they stand.
    std::vector<std::string> printed, ocr;
    for (std::size_t p = 0; p < sample.pages.size(); ++p) {
        for (const imaging::Word& word : sample.pages[p]) {
            for (std::string& w : WordsOf(word.text))
                printed.push_back(std::move(w));
        }
        for (const imaging::Word& word : text->Words(static_cast<int>(p))) {
            for (std::string& w : WordsOf(word.text))
                ocr.push_back(std::move(w));
        }
    }
    const double tesseract = WordMatch(printed, ocr);

    std::string all;
    const std::vector<ReadBlock> read = ReadBook(book, all);
    const Figures figures = Measure(TrueBlocks(sample), read);
    const Breaks breaks = CountBreaks(sample, read);
    std::printf(
        "reflow: words %.4f (Tesseract %.4f), block starts F1 %.3f, headings F1 %.3f, "
        "broken words %zu, left broken %zu, compounds %zu, joined %zu\n",
        figures.words, tesseract, figures.boundaries, figures.headings, sample.brokenWords.size(),
        breaks.unjoined, sample.brokenCompounds.size(), breaks.compoundsJoined);
    EXPECT_GE(figures.words, 0.985);
    EXPECT_GE(figures.words, tesseract - 0.002);
    EXPECT_GE(figures.boundaries, 0.95);
    EXPECT_GE(figures.headings, 0.95);
    EXPECT_LE(static_cast<double>(breaks.unjoined), 0.05 * sample.brokenWords.size());
    EXPECT_EQ(breaks.compoundsJoined, 0u);
    EXPECT_EQ(all.find("SILENT HARBOUR"), std::string::npos);
    for (const ReadBlock& block : read) {
        const std::vector<std::string> words = WordsOf(block.text);
        EXPECT_FALSE(words.size() == 1 && std::all_of(words[0].begin(), words[0].end(),
                                                      [](char c) { return c >= '0' && c <= '9'; }))
            << "a folio in the text: " << block.text;
    }
    // Every page break is marked with its printed label, and listed.
    const std::string nav = testing::BookFile(book, "nav.xhtml");
    for (std::size_t p = 0; p < sample.labels.size(); ++p) {
        const std::string marker = "id=\"page" + std::to_string(p + 1) + "\" title=\"" +
                                   sample.labels[p] + "\" aria-label=\"" + sample.labels[p] + "\"";
        EXPECT_NE(all.find(marker), std::string::npos) << marker;
        EXPECT_NE(nav.find("#page" + std::to_string(p + 1) + "\">" + sample.labels[p] + "<"),
                  std::string::npos);
    }
    // The figure is a picture with its caption; the language is the one read.
    EXPECT_NE(all.find("<figcaption>" + sample.figures.front().caption + "</figcaption>"),
              std::string::npos);
    EXPECT_NE(all.find("<img src=\"figure"), std::string::npos);
#ifndef VELLUMARK_TEST_SANITIZED
    // A chapter at a phone's width and at a tablet's: the text reflows to each.
    const fs::path unpacked = temp_.Path() / "unpacked";
    ASSERT_EQ(testing::RunProgram("unzip", {"-q", book.string(), "-d", unpacked.string()}).exitCode,
              0);
    const testing::RunResult browser =
        testing::RunProgram("env", {"ACE_DIR=" VELLUMARK_TEST_BROWSER_TOOLS, "node",
                                    VELLUMARK_TEST_BROWSER_SCRIPTS "/check_reflow.js",
                                    (unpacked / "OEBPS" / "chapter1.xhtml").string(),
                                    (temp_.Path() / "shots").string()});
    EXPECT_EQ(browser.exitCode, 0) << browser.out << browser.err;
    std::printf("%s", browser.out.c_str());
#endif
    const std::string opf = testing::BookFile(book, "fb.opf");
    // Read as English: "en", or the locale's own tag where that is English too.
    EXPECT_NE(
        opf.find("<dc:language>" + LanguageTagForOcr("eng", LanguageTag()) + "</dc:language>"),
        std::string::npos);
    EXPECT_NE(opf.find("may contain errors"), std::string::npos);
}

}  // namespace
}  // namespace vellumark::epub
