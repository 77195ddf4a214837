#include "epub/FixedLayoutBook.h"

#include <algorithm>
#include <map>
#include <string_view>

#include "epub/BlankFont.h"
#include "epub/FileOutput.h"
#include "epub/PackageParts.h"
#include "epub/XmlDocument.h"
#include "structure/PageNumbers.h"

namespace vellumark::epub {
namespace {

// What a reader of the book can rely on. The OCR text is not proofread, so text alone is never
// said to be sufficient.
constexpr const char* kSummaryWithText =
    "This publication is a scanned document: each page is a picture of the page as scanned. "
    "The words of the pages also stand in an invisible text layer over the pictures, so that "
    "the text can be searched, selected and read aloud. That text was made by optical "
    "character recognition (OCR) and may contain errors. A table of contents and a list of "
    "pages are provided for navigation.";
constexpr const char* kSummaryPicturesOnly =
    "This publication is a scanned document: each page is a picture of the page as scanned, "
    "without a text alternative, so its content is available only visually. A table of "
    "contents and a list of pages are provided for navigation.";

int Pages(const BookDescription& book) {
    return std::clamp(book.pageCount, 0, static_cast<int>(book.pages.size()));
}

std::string PageLabel(int n) {
    return "Page " + std::to_string(n);
}

// True when the pages' printed labels are known: the page list then carries them.
bool HasPrintedLabels(const BookDescription& book) {
    return std::any_of(book.pageLabels.begin(), book.pageLabels.end(),
                       [](const std::string& label) { return !label.empty(); });
}

struct PageTarget {
    int page;  // 1-based
    std::string label;
};

// The page list: the printed labels of the pages that have one, else every scan's number.
std::vector<PageTarget> PageTargets(const BookDescription& book, int pages) {
    std::vector<PageTarget> targets;
    const bool printed = HasPrintedLabels(book);
    for (int n = 1; n <= pages; ++n) {
        if (!printed) {
            targets.push_back({n, std::to_string(n)});
        } else if (static_cast<std::size_t>(n) <= book.pageLabels.size() &&
                   !book.pageLabels[static_cast<std::size_t>(n - 1)].empty()) {
            targets.push_back({n, book.pageLabels[static_cast<std::size_t>(n - 1)]});
        }
    }
    return targets;
}

// The chapters that point at a page of the book.
std::vector<ChapterEntry> Chapters(const BookDescription& book, int pages) {
    std::vector<ChapterEntry> chapters;
    for (const ChapterEntry& chapter : book.chapters) {
        if (chapter.page >= 0 && chapter.page < pages)
            chapters.push_back(chapter);
    }
    return chapters;
}

// Builds nested lists from entries with levels: an entry goes into the item of the last entry
// above it of a lower level (`open(item)` gives that item's list, made once), else into `top`;
// `item(list, chapter)` adds it. A book that starts at level 2, or skips a level, still nests
// each entry under the one it belongs to.
template <typename Open, typename Item>
void NestChapters(const std::vector<ChapterEntry>& chapters, pugi::xml_node top, Open open,
                  Item item) {
    struct Ancestor {
        int level;
        pugi::xml_node item;
        pugi::xml_node list;  // made when the first entry goes in
    };
    std::vector<Ancestor> ancestors;
    for (const ChapterEntry& chapter : chapters) {
        while (!ancestors.empty() && ancestors.back().level >= chapter.level)
            ancestors.pop_back();
        pugi::xml_node list = top;
        if (!ancestors.empty()) {
            if (!ancestors.back().list)
                ancestors.back().list = open(ancestors.back().item);
            list = ancestors.back().list;
        }
        ancestors.push_back({chapter.level, item(list, chapter), pugi::xml_node()});
    }
}

// The NCX's play order: one number per page that something points at, in reading order, from
// 1 (the cover) with no gaps.
std::map<int, int> PlayOrders(const std::vector<ChapterEntry>& chapters,
                              const std::vector<PageTarget>& targets, int pages, bool cover) {
    std::map<int, int> orders;
    // Without chapters the map lists every page.
    for (int n = 1; chapters.empty() && n <= pages; ++n)
        orders[n] = 0;
    for (const ChapterEntry& chapter : chapters)
        orders[chapter.page + 1] = 0;
    for (const PageTarget& target : targets)
        orders[target.page] = 0;
    int order = cover ? 1 : 0;
    for (auto& [page, value] : orders)
        value = ++order;
    return orders;
}

bool HasCover(const BookDescription& book) {
    return !book.coverName.empty();
}

// The id of the picture readers show as the book's cover: the cover, else the first page.
std::string CoverImageId(const BookDescription& book) {
    return HasCover(book) ? "cover-image" : "image1";
}

void AddAccessibility(XmlDocument& xml, pugi::xml_node metadata, const BookDescription& book,
                      bool text) {
    if (text)
        AddProperty(xml, metadata, "schema:accessMode", "textual");
    AddProperty(xml, metadata, "schema:accessMode", "visual");
    AddProperty(xml, metadata, "schema:accessModeSufficient", "visual");
    if (text)
        AddProperty(xml, metadata, "schema:accessModeSufficient", "textual,visual");
    AddProperty(xml, metadata, "schema:accessibilityFeature", "tableOfContents");
    AddProperty(xml, metadata, "schema:accessibilityFeature", "pageNavigation");
    if (!book.chapters.empty())
        AddProperty(xml, metadata, "schema:accessibilityFeature", "structuralNavigation");
    if (HasPrintedLabels(book))
        AddProperty(xml, metadata, "schema:accessibilityFeature", "printPageNumbers");
    AddProperty(xml, metadata, "schema:accessibilityHazard", "none");
    AddProperty(xml, metadata, "schema:accessibilitySummary",
                text ? kSummaryWithText : kSummaryPicturesOnly);
}

void BuildPackageDocument(const BookDescription& book, XmlDocument& xml) {
    const int pages = Pages(book);
    const bool text = HasTextLayer(book);
    pugi::xml_node metadata = AddPackageMetadata(xml, book);
    pugi::xml_node package = metadata.parent();
    // The source of the page list's breaks: the printed book the scans show.
    if (HasPrintedLabels(book))
        AddText(xml, metadata, "dc:source",
                "The printed edition of " + book.title + ", as scanned");
    AddProperty(xml, metadata, "dcterms:modified", ModifiedTime(book.identity));
    AddProperty(xml, metadata, "rendition:layout", "pre-paginated");
    AddProperty(xml, metadata, "rendition:spread", "none");
    AddAccessibility(xml, metadata, book, text);
    if (HasCover(book) || pages > 0)
        AddCoverMeta(xml, metadata, CoverImageId(book));

    pugi::xml_node manifest = AddManifest(xml, package, kFixedNavigationName, kFixedStylesheetName);
    if (text)
        AddItem(xml, manifest, "font", kBlankFontName, "font/ttf");
    if (HasCover(book)) {
        XmlDocument::SetAttribute(AddItem(xml, manifest, "cover", kFixedCoverFile, kXhtmlType),
                                  "properties", "svg");
        XmlDocument::SetAttribute(
            AddItem(xml, manifest, "cover-image", book.coverName, "image/jpeg"), "properties",
            "cover-image");
    }
    // Every page draws its picture in inline SVG.
    for (int n = 1; n <= pages; ++n) {
        XmlDocument::SetAttribute(
            AddItem(xml, manifest, "page" + std::to_string(n), FixedPageFile(n), kXhtmlType),
            "properties", "svg");
    }
    for (int n = 1; n <= pages; ++n) {
        const BookPage& page = book.pages[static_cast<std::size_t>(n - 1)];
        pugi::xml_node item =
            AddItem(xml, manifest, "image" + std::to_string(n), page.pictureName, page.mediaType);
        if (n == 1 && !HasCover(book))
            XmlDocument::SetAttribute(item, "properties", "cover-image");
    }

    std::vector<std::string> spine;
    if (HasCover(book))
        spine.push_back("cover");
    for (int n = 1; n <= pages; ++n)
        spine.push_back("page" + std::to_string(n));
    AddSpine(xml, package, spine);
}

void BuildNavigationDocument(const BookDescription& book, XmlDocument& xml) {
    const int pages = Pages(book);
    pugi::xml_node body = AddNavigationBody(xml, book);

    pugi::xml_node toc = AddNav(xml, body, "toc", "doc-toc", "h1", "Contents", false);
    if (HasCover(book))
        AddLink(xml, toc, kFixedCoverFile, "Cover");
    const std::vector<ChapterEntry> chapters = Chapters(book, pages);
    if (chapters.empty()) {
        for (int n = 1; n <= pages; ++n)
            AddLink(xml, toc, FixedPageFile(n), PageLabel(n));
    }
    NestChapters(
        chapters, toc, [&](pugi::xml_node item) { return xml.AddChild(item, "ol"); },
        [&](pugi::xml_node list, const ChapterEntry& chapter) {
            return AddLink(xml, list, FixedPageFile(chapter.page + 1), chapter.title);
        });

    pugi::xml_node pageList = AddNav(xml, body, "page-list", "doc-pagelist", "h2", "Pages", true);
    for (const PageTarget& target : PageTargets(book, pages))
        AddLink(xml, pageList, FixedPageFile(target.page), target.label);

    pugi::xml_node landmarks = AddNav(xml, body, "landmarks", nullptr, "h2", "Landmarks", true);
    if (HasCover(book))
        AddLink(xml, landmarks, kFixedCoverFile, "Cover", "cover");
    if (pages > 0)
        AddLink(xml, landmarks, FixedPageFile(1), "Start of content", "bodymatter");
}

pugi::xml_node AddNavLabel(XmlDocument& xml, pugi::xml_node parent, const std::string& label) {
    AddText(xml, xml.AddChild(parent, "navLabel"), "text", label);
    return parent;
}

void SetNcxMeta(pugi::xml_node ncx, const char* name, int value) {
    for (pugi::xml_node meta : ncx.child("head").children("meta")) {
        if (std::string_view(meta.attribute("name").value()) == name)
            XmlDocument::SetAttribute(meta, "content", std::to_string(value));
    }
}

// How deep the navigation points nest, 1 for a flat map.
int NcxDepth(pugi::xml_node parent) {
    int depth = 0;
    for (pugi::xml_node point : parent.children("navPoint"))
        depth = std::max(depth, 1 + NcxDepth(point));
    return std::max(depth, parent.name() == std::string_view("navMap") ? 1 : 0);
}

void BuildNcx(const BookDescription& book, XmlDocument& xml) {
    const int pages = Pages(book);
    const pugi::xml_node ncx = StartNcx(xml, book, pages);

    pugi::xml_node navMap = xml.AddChild(ncx, "navMap");
    const auto addPoint = [&](pugi::xml_node parent, const std::string& id, int order,
                              const std::string& label, const std::string& src) {
        pugi::xml_node point = xml.AddChild(parent, "navPoint");
        XmlDocument::SetAttribute(point, "id", id);
        XmlDocument::SetAttribute(point, "playOrder", std::to_string(order));
        AddNavLabel(xml, point, label);
        XmlDocument::SetAttribute(xml.AddChild(point, "content"), "src", src);
        return point;
    };
    // A page's entry in the navigation map and in the page list share one play order.
    const std::vector<ChapterEntry> chapters = Chapters(book, pages);
    const std::vector<PageTarget> targets = PageTargets(book, pages);
    std::map<int, int> orders = PlayOrders(chapters, targets, pages, HasCover(book));
    if (HasCover(book))
        addPoint(navMap, "cover", 1, "Cover", kFixedCoverFile);
    if (chapters.empty()) {
        for (int n = 1; n <= pages; ++n)
            addPoint(navMap, "page" + std::to_string(n), orders[n], PageLabel(n), FixedPageFile(n));
    }
    int chapterCount = 0;
    NestChapters(
        chapters, navMap, [](pugi::xml_node point) { return point; },
        [&](pugi::xml_node parent, const ChapterEntry& chapter) {
            return addPoint(parent, "chapter" + std::to_string(++chapterCount),
                            orders[chapter.page + 1], chapter.title,
                            FixedPageFile(chapter.page + 1));
        });

    pugi::xml_node pageList = AddNavLabel(xml, xml.AddChild(ncx, "pageList"), "Pages");
    int maxPage = 0;
    int normal = 0;
    for (const PageTarget& page : targets) {
        pugi::xml_node target = xml.AddChild(pageList, "pageTarget");
        XmlDocument::SetAttribute(target, "id", "pagetarget" + std::to_string(page.page));
        // Roman labels are the front matter's; a value is the label's number.
        const auto number = structure::ReadPageNumber(page.label);
        const bool plain = number && structure::LabelOf(*number) == page.label;
        const bool front = plain && number->style == structure::NumberStyle::Roman;
        XmlDocument::SetAttribute(target, "type", front ? "front" : (plain ? "normal" : "special"));
        if (plain)
            XmlDocument::SetAttribute(target, "value", std::to_string(number->value));
        XmlDocument::SetAttribute(target, "playOrder", std::to_string(orders[page.page]));
        AddNavLabel(xml, target, page.label);
        XmlDocument::SetAttribute(xml.AddChild(target, "content"), "src", FixedPageFile(page.page));
        if (plain && !front)
            maxPage = std::max(maxPage, number->value);
        normal += plain && !front;
    }
    // The head's counts, now that they are known: the map's depth and the printed pages.
    if (HasPrintedLabels(book)) {
        SetNcxMeta(ncx, "dtb:totalPageCount", normal);
        SetNcxMeta(ncx, "dtb:maxPageNumber", maxPage);
    }
    SetNcxMeta(ncx, "dtb:depth", NcxDepth(navMap));
}

}  // namespace

std::string FixedPageFile(int n) {
    return "page" + std::to_string(n) + ".xhtml";
}

bool HasTextLayer(const BookDescription& book) {
    return std::any_of(book.pages.begin(), book.pages.end(),
                       [](const BookPage& page) { return page.hasText; });
}

std::string FixedPackageDocumentText(const BookDescription& book) {
    XmlDocument xml;
    BuildPackageDocument(book, xml);
    return xml.Text();
}

std::string FixedNavigationDocumentText(const BookDescription& book) {
    XmlDocument xml;
    BuildNavigationDocument(book, xml);
    return xml.Text();
}

std::string FixedNcxText(const BookDescription& book) {
    XmlDocument xml;
    BuildNcx(book, xml);
    return xml.Text();
}

std::string FixedStylesheetText(bool withFont) {
    std::string css = "@charset \"UTF-8\";\r\n";
    if (withFont) {
        css += "@font-face {\r\n\tfont-family: \"" + std::string(kBlankFontFamily) +
               "\";\r\n\tsrc: url(\"" + kBlankFontName + "\") format(\"truetype\");\r\n}\r\n";
    }
    // The drawing fills the viewport, or the column a reflowing reader gives it, and its view
    // box keeps the page's shape within. No overflow is hidden: a reader that lays pages out
    // in columns draws nothing of an element that clips.
    css +=
        "html, body {\r\n\tmargin: 0;\r\n\tpadding: 0;\r\n\theight: 100%;\r\n}\r\n"
        "svg.page {\r\n\tdisplay: block;\r\n\twidth: 100%;\r\n\theight: 100%;\r\n\tmargin: 0;\r\n"
        "\tpadding: 0;\r\n}\r\n"
        // Transparent, never hidden: screen readers and search must still find the words.
        "g.ocr {\r\n\tfill: transparent;\r\n\tstroke: none;\r\n\tforced-color-adjust: none;\r\n"
        "\tfont-family: \"" +
        std::string(kBlankFontFamily) +
        "\", monospace;\r\n\twhite-space: pre;\r\n}\r\n"
        // A selection, or a reader's search hit, shows as a tint over the picture's own words,
        // never as the text itself nor as an opaque box hiding them.
        "g.ocr ::selection, g.ocr::selection {\r\n\tfill: transparent;\r\n\tcolor: transparent;\r\n"
        "\tbackground-color: rgba(0, 90, 255, 0.3);\r\n}\r\n";
    return css;
}

std::vector<std::pair<std::string, std::string>> FixedLayoutDocumentFiles(
    const BookDescription& book) {
    const bool text = HasTextLayer(book);
    std::vector<std::pair<std::string, std::string>> files = {
        {kPackageDocumentName, FixedPackageDocumentText(book)},
        {kFixedNavigationName, FixedNavigationDocumentText(book)},
        {kNavigationDocumentName, FixedNcxText(book)},
        {kFixedStylesheetName, FixedStylesheetText(text)},
    };
    if (text)
        files.emplace_back(kBlankFontName, BlankFontBytes());
    return files;
}

}  // namespace vellumark::epub
