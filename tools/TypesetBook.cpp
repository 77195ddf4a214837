#include "tools/TypesetBook.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "tools/TypesetPage.h"

namespace vellumark::tools {
namespace {

using namespace typeset;
constexpr int kSection = 28;
constexpr int kChapterLabel = 36;
constexpr int kTitle = 48;

constexpr std::array<const char*, 24> kWords = {
    "the",   "harbour", "was",   "quiet", "and",    "grey",   "light",  "fell",
    "over",  "water",   "where", "boats", "waited", "for",    "tide",   "while",
    "gulls", "circled", "above", "old",   "keeper", "walked", "slowly", "along"};

class Page {
public:
    explicit Page(int width) : width_(width) {}

    void Line(const std::string& text, int x, int y, int size) {
        std::size_t at = 0;
        while (at < text.size()) {
            std::size_t end = text.find(' ', at);
            if (end == std::string::npos)
                end = text.size();
            const std::string word = text.substr(at, end - at);
            const int w = static_cast<int>(word.size()) * size / 2;
            words.push_back({word, x, y, w, size, true, block_, line_});
            x += w + size / 2;
            at = end + 1;
        }
        ++line_;
    }
    void Centred(const std::string& text, int y, int size) {
        Line(text, (width_ - Width(text, size)) / 2, y, size);
    }
    void RightAligned(const std::string& text, int right, int y, int size) {
        Line(text, right - Width(text, size), y, size);
    }
    void NewBlock() { ++block_; }
    static int Width(const std::string& text, int size) {
        return static_cast<int>(text.size()) * size / 2;
    }

    std::vector<imaging::Word> words;

private:
    int width_;
    int block_ = 0;
    int line_ = 0;
};

class Filler {
public:
    // Lines of running text between `left` and `right`, from `y` while they fit above `bottom`.
    int Fill(Page& page, int left, int right, int y, int bottom) {
        for (; y + kBody <= bottom; y += kPitch) {
            std::string line;
            const int indent = (count_ % 9 == 0) ? 2 * kBody : 0;
            while (Page::Width(line + " " + kWords[0], kBody) < right - left - indent - 60) {
                if (!line.empty())
                    line += ' ';
                line += kWords[Next() % kWords.size()];
            }
            page.Line(line, left + indent, y, kBody);
            ++count_;
        }
        page.NewBlock();
        return y;
    }

private:
    std::uint32_t Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 16;
    }
    std::uint32_t state_ = 12345;
    int count_ = 0;
};

struct Chapter {
    std::string title;
    int pages;                                          // after the opener
    std::vector<std::pair<int, std::string>> sections;  // page after the opener (from 1), title
    bool twoColumns;
};

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    }
    return text;
}

std::string Roman(int value) {
    static constexpr std::array<std::pair<int, const char*>, 13> kParts = {{{1000, "m"},
                                                                            {900, "cm"},
                                                                            {500, "d"},
                                                                            {400, "cd"},
                                                                            {100, "c"},
                                                                            {90, "xc"},
                                                                            {50, "l"},
                                                                            {40, "xl"},
                                                                            {10, "x"},
                                                                            {9, "ix"},
                                                                            {5, "v"},
                                                                            {4, "iv"},
                                                                            {1, "i"}}};
    std::string text;
    for (const auto& [part, letters] : kParts) {
        for (; value >= part; value -= part)
            text += letters;
    }
    return text;
}

class Book {
public:
    explicit Book(const TypesetOptions& options) : options_(options) {}

    TypesetBook book;

    Page& NewPage(const std::string& label) {
        book.pages.emplace_back();
        book.labels.push_back(label);
        pages_.emplace_back(book.width);
        return pages_.back();
    }
    void Close() {
        for (std::size_t i = 0; i < pages_.size(); ++i)
            book.pages[i] = std::move(pages_[i].words);
    }
    int Current() const { return static_cast<int>(pages_.size()) - 1; }

    // A folio as the page prints it, misread now and then as OCR would.
    std::string Printed(int n) const {
        if (!options_.misreads)
            return std::to_string(n);
        switch (n) {
            case 17:
                return "l7";
            case 30:
                return "3O";
            case 23:
                return "28";
            case 11:
                return "1?";
            default:
                return std::to_string(n);
        }
    }

    // A body page with its running head: the book's title on the left (even) page, the
    // chapter's on the right (odd) one, the folio in the outer corner.
    Page& BodyPage(int n, const std::string& chapterHead) {
        Page& page = NewPage(std::to_string(n));
        const std::string head = n % 2 == 0 ? kBookHead : chapterHead;
        if (n % 2 == 0) {
            page.Line(Printed(n), kLeft, kHeadY, kBody);
            page.NewBlock();
            page.Centred(head, kHeadY, kBody);
        } else {
            page.Centred(head, kHeadY, kBody);
            page.NewBlock();
            page.RightAligned(Printed(n), kRight, kHeadY, kBody);
        }
        page.NewBlock();
        book.runningHeads.emplace_back(Current(), head);
        return page;
    }

    static constexpr const char* kBookHead = "THE SILENT HARBOUR";
    const TypesetOptions& options_;
    std::vector<Page> pages_;
    Filler filler;
};

}  // namespace

TypesetBook TypesetNovel(const TypesetOptions& options) {
    Book b(options);
    std::vector<Chapter> chapters;
    for (int copy = 0; copy < std::max(1, options.chapterCopies); ++copy) {
        const std::string n = std::to_string(chapters.size() + 1);
        chapters.push_back({"Arrival", 5, {}, false});
        chapters.push_back({"The Lighthouse Keeper",
                            6,
                            {{2, n + ".1 Old Records"}, {4, n + ".2 The Lamp Room"}},
                            false});
        chapters.push_back({"Storm Warnings", 4, {}, true});
        chapters.push_back({"", 0, {}, false});  // part two starts here
        const std::string m = std::to_string(chapters.size());
        chapters.push_back(
            {"Crossing",
             5,
             {{1, m + ".1 Provisions"}, {2, m + ".2 The Second Night"}, {4, m + ".3 Soundings"}},
             false});
        chapters.push_back({"Landfall", 4, {}, false});
    }
    // The section numbers above count chapters without the part marks: put them right.
    int number = 0;
    for (Chapter& c : chapters) {
        if (c.pages == 0)
            continue;
        ++number;
        for (auto& [page, title] : c.sections)
            title = std::to_string(number) + title.substr(title.find('.'));
    }

    TypesetBook& book = b.book;

    // Title page and its blank verso: pages i and ii, printing no folio.
    {
        Page& title = b.NewPage("");
        title.Centred("THE SILENT HARBOUR", 500, 60);
        title.NewBlock();
        title.Centred("A Novel", 620, 30);
        title.NewBlock();
        title.Centred("Ada Quill", 800, 36);
        b.NewPage("");
    }

    // The body's layout, to number the contents.
    struct Entry {
        std::string title;
        int level;
        std::string label;
    };
    std::vector<Entry> entries;
    entries.push_back({"Preface", 1, "v"});
    int n = 1;
    int part = 0;
    int chapterNumber = 0;
    const std::array<const char*, 9> partNames = {"One", "Two",   "Three", "Four", "Five",
                                                  "Six", "Seven", "Eight", "Nine"};
    const std::array<const char*, 9> partTitles = {"The Coast", "The Open Sea", "The Return",
                                                   "The Coast", "The Open Sea", "The Return",
                                                   "The Coast", "The Open Sea", "The Return"};
    const auto partAt = [&](std::size_t i) { return i == 0 || chapters[i].pages == 0; };
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        if (partAt(i)) {
            const std::string name = partNames[static_cast<std::size_t>(part) % 9];
            entries.push_back(
                {"Part " + name + ": " + partTitles[static_cast<std::size_t>(part) % 9], 1,
                 std::to_string(n)});
            ++part;
            ++n;
            if (chapters[i].pages == 0)
                continue;
        }
        const Chapter& c = chapters[i];
        ++chapterNumber;
        entries.push_back({std::to_string(chapterNumber) + ". " + c.title, 2, std::to_string(n)});
        for (const auto& [after, title] : c.sections)
            entries.push_back({title, 3, std::to_string(n + after)});
        n += 1 + c.pages;
    }
    entries.push_back({"Notes", 1, std::to_string(n)});

    int roman = 3;
    if (options.contentsPage) {
        constexpr int kPerPage = 24;
        for (std::size_t first = 0; first < entries.size(); first += kPerPage) {
            Page& page = b.NewPage(Roman(roman));
            int y = 300;
            if (first == 0) {
                page.Centred("Contents", 220, 40);
                page.NewBlock();
                y = 360;
            }
            for (std::size_t i = first; i < entries.size() && i < first + kPerPage; ++i) {
                const Entry& e = entries[i];
                const int left = kLeft + 40 * (e.level - 1);
                std::string title = e.title;
                // One leader set close against its title, as OCR joins them.
                const bool glued = i % 5 == 3;
                std::string leader;
                const int leaderStart = left + Page::Width(title, kBody) + (glued ? 0 : kBody / 2);
                const int leaderEnd = kRight - Page::Width(e.label, kBody) - kBody;
                for (int x = leaderStart; x + kBody / 2 <= leaderEnd; x += kBody / 2)
                    leader += '.';
                // And one OCR read as letters.
                if (options.misreads && i % 7 == 5)
                    leader = "ciccccceeeeeeeeeeneees";
                if (glued) {
                    page.Line(title + leader + " " + e.label, left, y, kBody);
                } else {
                    page.Line(title + " " + leader + " " + e.label, left, y, kBody);
                }
                y += 48;
            }
            page.NewBlock();
            page.Centred(Roman(roman), kFootY, kBody);
            ++roman;
        }
    } else {
        Page& page = b.NewPage(Roman(roman++));
        page.Centred("The sea is everything; it covers seven tenths of the globe.", 600, kBody);
        page.NewBlock();
        page.Centred(Roman(roman - 1), kFootY, kBody);
    }
    {
        Page& dedication = b.NewPage(Roman(roman++));
        dedication.Centred("For M., who kept the light", 600, kBody);
    }
    // The preface: an opener without a folio, then pages with theirs at the foot.
    {
        Page& opener = b.NewPage(Roman(roman++));
        opener.Centred("Preface", 450, kTitle);
        opener.NewBlock();
        b.filler.Fill(opener, kLeft, kRight, 600, kTextBottom);
        book.contents.push_back({b.Current(), 1, "Preface"});
        book.headings.push_back({b.Current(), 1, "Preface"});
        for (int i = 0; i < 3; ++i) {
            Page& page = b.NewPage(Roman(roman));
            b.filler.Fill(page, kLeft, kRight, kTextTop, kTextBottom);
            page.Centred(Roman(roman++), kFootY, kBody);
        }
    }

    // The body, numbered from its first page.
    n = 1;
    part = 0;
    chapterNumber = 0;
    std::size_t entry = 1;
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        if (partAt(i)) {
            Page& page = b.NewPage(std::to_string(n++));
            const std::string name = partNames[static_cast<std::size_t>(part) % 9];
            const std::string title = partTitles[static_cast<std::size_t>(part) % 9];
            page.Centred("PART " + Upper(name), 600, 40);
            page.NewBlock();
            page.Centred(title, 670, 40);
            ++part;
            book.contents.push_back({b.Current(), 1, entries[entry++].title});
            book.headings.push_back({b.Current(), 1, "PART " + Upper(name) + ": " + title});
            if (chapters[i].pages == 0)
                continue;
        }
        const Chapter& c = chapters[i];
        ++chapterNumber;
        {
            Page& opener = b.NewPage(std::to_string(n++));
            opener.Centred("Chapter " + std::to_string(chapterNumber), 450, kChapterLabel);
            opener.NewBlock();
            opener.Centred(c.title, 520, kTitle);
            opener.NewBlock();
            b.filler.Fill(opener, kLeft, kRight, 660, kTextBottom);
            book.contents.push_back({b.Current(), 2, entries[entry++].title});
            book.headings.push_back(
                {b.Current(), 2, "Chapter " + std::to_string(chapterNumber) + ": " + c.title});
        }
        for (int p = 1; p <= c.pages; ++p) {
            Page& page = b.BodyPage(n++, Upper(c.title));
            int y = kTextTop;
            for (const auto& [after, title] : c.sections) {
                if (after != p)
                    continue;
                y = b.filler.Fill(page, kLeft, kRight, y, 700);
                page.Line(title, kLeft, y + 30, kSection);
                page.NewBlock();
                y += 30 + kSection + 40;
                book.contents.push_back({b.Current(), 3, entries[entry++].title});
                book.headings.push_back({b.Current(), 3, title});
            }
            if (c.twoColumns) {
                b.filler.Fill(page, kLeft, 580, y, kTextBottom);
                b.filler.Fill(page, 620, kRight, y, kTextBottom);
            } else {
                b.filler.Fill(page, kLeft, kRight, y, kTextBottom);
            }
        }
    }
    {
        Page& opener = b.NewPage(std::to_string(n++));
        opener.Centred("Notes", 450, kTitle);
        opener.NewBlock();
        b.filler.Fill(opener, kLeft, kRight, 600, kTextBottom);
        book.contents.push_back({b.Current(), 1, "Notes"});
        book.headings.push_back({b.Current(), 1, "Notes"});
        for (int p = 0; p < 2; ++p) {
            Page& page = b.BodyPage(n++, "NOTES");
            b.filler.Fill(page, kLeft, kRight, kTextTop, kTextBottom);
        }
    }
    // A blank leaf at the back: no label.
    b.NewPage("");
    b.Close();
    return book;
}

TypesetBook PlainBook(int pageCount) {
    TypesetBook book;
    Filler filler;
    for (int p = 0; p < pageCount; ++p) {
        Page page(book.width);
        filler.Fill(page, kLeft, kRight, kTextTop, kTextBottom);
        book.pages.push_back(std::move(page.words));
        book.labels.emplace_back();
    }
    return book;
}

}  // namespace vellumark::tools
