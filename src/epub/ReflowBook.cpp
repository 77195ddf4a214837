#include "epub/ReflowBook.h"

#include <algorithm>

#include "epub/FileOutput.h"
#include "epub/PackageParts.h"
#include "epub/XmlDocument.h"
#include "structure/PageNumbers.h"

namespace vellumark::epub {
namespace {

using structure::FlowItem;
using structure::FlowKind;

constexpr const char* kSummaryText =
    "This publication is the text of a scanned book, read by optical character recognition "
    "(OCR): it may contain errors of recognition. The text reflows to any screen and size; its "
    "headings, a table of contents and a list of the printed pages are provided for navigation.";
constexpr const char* kSummaryPictures =
    " Figures and other parts of the pages that could not be read as text are kept as pictures, "
    "with their captions where the page prints one.";

// Where each thing the navigation points at stands.
struct Target {
    int document = 0;  // index of the chapter document
    std::string id;
};

struct Layout {
    std::vector<std::vector<const FlowItem*>> documents;
    std::vector<Target> pageTargets;  // per page
    std::vector<std::pair<const FlowItem*, Target>> headings;
};

std::string PageId(int page) {
    return "page" + std::to_string(page + 1);
}

int PageCountOf(const ReflowBook& book) {
    return std::max(book.book.pageCount, 0);
}

bool HasPrintedLabels(const BookDescription& book) {
    return std::any_of(book.pageLabels.begin(), book.pageLabels.end(),
                       [](const std::string& label) { return !label.empty(); });
}

// The label the page list gives a page: its printed label, or with none printed in the whole
// book, its number in the scan; "" when it is left out of the list.
std::string ListLabel(const BookDescription& book, int page) {
    if (!HasPrintedLabels(book))
        return std::to_string(page + 1);
    return static_cast<std::size_t>(page) < book.pageLabels.size()
               ? book.pageLabels[static_cast<std::size_t>(page)]
               : std::string();
}

std::size_t SizeOf(const FlowItem& item) {
    return item.text.size() + 64;
}

// The chapter documents: a new one at each heading of the two top levels, and when one grows
// past its size at the next item. Pages that begin just before a heading go with it.
Layout LayOut(const ReflowBook& book) {
    Layout layout;
    layout.documents.emplace_back();
    std::size_t bytes = 0;
    const auto hasContent = [](const std::vector<const FlowItem*>& items) {
        return std::any_of(items.begin(), items.end(),
                           [](const FlowItem* item) { return item->kind != FlowKind::PageStart; });
    };
    for (const FlowItem& item : book.flow) {
        std::vector<const FlowItem*>& current = layout.documents.back();
        const bool chapter = item.kind == FlowKind::Heading && item.level <= 2;
        const bool full = bytes > kMaxChapterBytes && item.kind != FlowKind::PageStart;
        if ((chapter || full) && hasContent(current)) {
            std::vector<const FlowItem*> moved;
            while (!current.empty() && current.back()->kind == FlowKind::PageStart) {
                moved.insert(moved.begin(), current.back());
                current.pop_back();
            }
            layout.documents.push_back(std::move(moved));
            bytes = 0;
        }
        layout.documents.back().push_back(&item);
        bytes += SizeOf(item);
    }
    layout.pageTargets.assign(static_cast<std::size_t>(PageCountOf(book)), Target{});
    int headingCount = 0;
    for (int d = 0; d < static_cast<int>(layout.documents.size()); ++d) {
        for (const FlowItem* item : layout.documents[static_cast<std::size_t>(d)]) {
            if (item->kind == FlowKind::Heading)
                layout.headings.push_back({item, {d, "heading" + std::to_string(++headingCount)}});
            if (item->kind == FlowKind::PageStart && item->page >= 0 &&
                item->page < PageCountOf(book))
                layout.pageTargets[static_cast<std::size_t>(item->page)] = {d, PageId(item->page)};
            if (item->kind == FlowKind::Paragraph) {
                for (const structure::PageMark& mark : item->pageMarks) {
                    if (mark.page >= 0 && mark.page < PageCountOf(book))
                        layout.pageTargets[static_cast<std::size_t>(mark.page)] = {
                            d, PageId(mark.page)};
                }
            }
        }
    }
    return layout;
}

std::string Href(const Target& target) {
    return ReflowChapterFile(target.document + 1) + "#" + target.id;
}

// The page's marker: a page break with its label for the page list, else a plain anchor.
std::string PageMarker(const BookDescription& book, int page) {
    const std::string label = ListLabel(book, page);
    if (label.empty())
        return "<span id=\"" + PageId(page) + "\"></span>";
    const std::string escaped = EscapeXmlAttribute(label);
    return "<span epub:type=\"pagebreak\" role=\"doc-pagebreak\" id=\"" + PageId(page) +
           "\" title=\"" + escaped + "\" aria-label=\"" + escaped + "\"></span>";
}

std::string DocumentStart(const std::string& language, const std::string& title) {
    const std::string lang = EscapeXmlAttribute(language);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<!DOCTYPE html>\r\n"
           "<html xmlns=\"http://www.w3.org/1999/xhtml\" "
           "xmlns:epub=\"http://www.idpf.org/2007/ops\" xml:lang=\"" +
           lang + "\" lang=\"" + lang + "\">\r\n<head>\r\n<meta charset=\"UTF-8\"/>\r\n<title>" +
           EscapeXmlText(title) + "</title>\r\n<link rel=\"stylesheet\" type=\"text/css\" href=\"" +
           kReflowStylesheetName + "\"/>\r\n</head>\r\n";
}

std::string ParagraphText(const ReflowBook& book, const FlowItem& item) {
    std::string html = "<p>";
    std::size_t at = 0;
    for (const structure::PageMark& mark : item.pageMarks) {
        const std::size_t offset = std::clamp(mark.offset, at, item.text.size());
        html += EscapeXmlText(std::string_view(item.text).substr(at, offset - at));
        html += PageMarker(book.book, mark.page);
        at = offset;
    }
    html += EscapeXmlText(std::string_view(item.text).substr(at));
    return html + "</p>\r\n";
}

std::string FigureText(const ReflowBook& book, const FlowItem& item, int& figures) {
    const auto& pictures = book.pictures;
    if (item.page < 0 || static_cast<std::size_t>(item.page) >= pictures.size() ||
        item.picture < 0 ||
        static_cast<std::size_t>(item.picture) >=
            pictures[static_cast<std::size_t>(item.page)].size())
        return {};
    const ReflowPicture& picture =
        pictures[static_cast<std::size_t>(item.page)][static_cast<std::size_t>(item.picture)];
    const std::string alt =
        item.text.empty() ? "Picture on page " + ListLabel(book.book, item.page) : item.text;
    std::string html = "<figure id=\"figure" + std::to_string(++figures) + "\">\r\n<img src=\"" +
                       EscapeXmlAttribute(picture.name) + "\" alt=\"" + EscapeXmlAttribute(alt) +
                       "\" width=\"" + std::to_string(picture.width) + "\" height=\"" +
                       std::to_string(picture.height) + "\"/>\r\n";
    if (!item.text.empty())
        html += "<figcaption>" + EscapeXmlText(item.text) + "</figcaption>\r\n";
    return html + "</figure>\r\n";
}

std::string ChapterText(const ReflowBook& book, const Layout& layout, int document, int& headings,
                        int& figures) {
    const auto& items = layout.documents[static_cast<std::size_t>(document)];
    std::string title = book.book.title;
    for (const FlowItem* item : items) {
        if (item->kind == FlowKind::Heading) {
            title = item->text;
            break;
        }
    }
    std::string html = DocumentStart(book.book.languageTag, title) + "<body>\r\n";
    bool any = false;
    for (const FlowItem* item : items) {
        switch (item->kind) {
            case FlowKind::PageStart:
                html += PageMarker(book.book, item->page) + "\r\n";
                break;
            case FlowKind::Heading: {
                const std::string tag = "h" + std::to_string(item->level);
                html += "<" + tag + " id=\"heading" + std::to_string(++headings) + "\">" +
                        EscapeXmlText(item->text) + "</" + tag + ">\r\n";
                any = true;
                break;
            }
            case FlowKind::Paragraph:
                html += ParagraphText(book, *item);
                any = true;
                break;
            case FlowKind::Figure:
                html += FigureText(book, *item, figures);
                any = true;
                break;
        }
    }
    // A document of blank pages still has a body readers can show.
    if (!any)
        html += "<p class=\"blank\"></p>\r\n";
    return html + "</body>\r\n</html>\r\n";
}

std::string CoverText(const ReflowBook& book) {
    return DocumentStart(book.book.languageTag, "Cover") +
           "<body class=\"cover\">\r\n<section epub:type=\"cover\">\r\n<img src=\"" +
           EscapeXmlAttribute(book.book.coverName) +
           "\" alt=\"Cover\"/>\r\n</section>\r\n</body>\r\n</html>\r\n";
}

std::string StylesheetText() {
    // Font, size, line spacing and margins are the reader's; only the book's shapes are set.
    return "@charset \"UTF-8\";\r\n"
           "p {\r\n\ttext-indent: 1.5em;\r\n\tmargin: 0;\r\n}\r\n"
           "h1, h2, h3 {\r\n\ttext-align: center;\r\n\tmargin: 1.5em 0 1em 0;\r\n}\r\n"
           "h1 + p, h2 + p, h3 + p, figure + p {\r\n\ttext-indent: 0;\r\n}\r\n"
           "figure {\r\n\tmargin: 1em 0;\r\n\ttext-align: center;\r\n}\r\n"
           "img {\r\n\tmax-width: 100%;\r\n\theight: auto;\r\n}\r\n"
           "figcaption {\r\n\tfont-size: 0.9em;\r\n\tmargin-top: 0.5em;\r\n}\r\n"
           "body.cover {\r\n\tmargin: 0;\r\n\ttext-align: center;\r\n}\r\n"
           "body.cover img {\r\n\tmax-height: 100vh;\r\n}\r\n";
}

bool HasPictures(const ReflowBook& book) {
    return std::any_of(book.pictures.begin(), book.pictures.end(),
                       [](const auto& page) { return !page.empty(); });
}

std::string PackageText(const ReflowBook& book, const Layout& layout) {
    const BookDescription& d = book.book;
    const bool pictures = HasPictures(book);
    XmlDocument xml;
    pugi::xml_node metadata = AddPackageMetadata(xml, d);
    pugi::xml_node package = metadata.parent();
    // The page list's breaks are those of the printed book the scans show.
    pugi::xml_node source = xml.AddChild(metadata, "dc:source");
    XmlDocument::SetAttribute(source, "id", "pagination-source");
    XmlDocument::SetText(source, "The printed edition of " + d.title + ", as scanned");
    pugi::xml_node sourceOf = xml.AddChild(metadata, "meta");
    XmlDocument::SetAttribute(sourceOf, "refines", "#pagination-source");
    XmlDocument::SetAttribute(sourceOf, "property", "source-of");
    XmlDocument::SetText(sourceOf, "pagination");
    AddProperty(xml, metadata, "dcterms:modified", ModifiedTime(d.identity));
    AddProperty(xml, metadata, "schema:accessMode", "textual");
    if (pictures)
        AddProperty(xml, metadata, "schema:accessMode", "visual");
    AddProperty(xml, metadata, "schema:accessModeSufficient",
                pictures ? "textual,visual" : "textual");
    for (const char* feature : {"tableOfContents", "readingOrder", "pageNavigation"})
        AddProperty(xml, metadata, "schema:accessibilityFeature", feature);
    if (!layout.headings.empty())
        AddProperty(xml, metadata, "schema:accessibilityFeature", "structuralNavigation");
    if (HasPrintedLabels(d))
        AddProperty(xml, metadata, "schema:accessibilityFeature", "printPageNumbers");
    if (pictures)
        AddProperty(xml, metadata, "schema:accessibilityFeature", "alternativeText");
    AddProperty(xml, metadata, "schema:accessibilityHazard", "none");
    AddProperty(xml, metadata, "schema:accessibilitySummary",
                std::string(kSummaryText) + (pictures ? kSummaryPictures : ""));
    if (!d.coverName.empty())
        AddCoverMeta(xml, metadata, "cover-image");

    pugi::xml_node manifest =
        AddManifest(xml, package, kReflowNavigationName, kReflowStylesheetName);
    if (!d.coverName.empty()) {
        AddItem(xml, manifest, "cover", kReflowCoverFile, kXhtmlType);
        XmlDocument::SetAttribute(
            AddItem(xml, manifest, "cover-image", d.coverName, book.coverMediaType), "properties",
            "cover-image");
    }
    const int documents = static_cast<int>(layout.documents.size());
    for (int n = 1; n <= documents; ++n)
        AddItem(xml, manifest, "chapter" + std::to_string(n), ReflowChapterFile(n), kXhtmlType);
    int count = 0;
    for (const auto& page : book.pictures) {
        for (const ReflowPicture& picture : page)
            AddItem(xml, manifest, "picture" + std::to_string(++count), picture.name,
                    picture.mediaType);
    }
    std::vector<std::string> spine;
    if (!d.coverName.empty())
        spine.push_back("cover");
    for (int n = 1; n <= documents; ++n)
        spine.push_back("chapter" + std::to_string(n));
    AddSpine(xml, package, spine);
    return xml.Text();
}

// The contents' entries: the headings, or without any a "Text" entry per document.
struct Entry {
    int level = 1;
    std::string label;
    std::string href;
};

std::vector<Entry> ContentsEntries(const ReflowBook& book, const Layout& layout) {
    std::vector<Entry> entries;
    for (const auto& [item, target] : layout.headings)
        entries.push_back({item->level, item->text, Href(target)});
    if (entries.empty()) {
        for (int d = 0; d < static_cast<int>(layout.documents.size()); ++d) {
            entries.push_back({1, d == 0 ? book.book.title : "Part " + std::to_string(d + 1),
                               ReflowChapterFile(d + 1)});
        }
    }
    return entries;
}

// Nested lists from entries with levels: each entry goes under the last one above of a lower
// level. `open(parent)` makes the list below an entry; `add(list, entry)` adds an entry.
template <typename Open, typename Add>
void Nest(const std::vector<Entry>& entries, pugi::xml_node top, Open open, Add add) {
    struct Ancestor {
        int level;
        pugi::xml_node node;
        pugi::xml_node list;
    };
    std::vector<Ancestor> ancestors;
    for (const Entry& entry : entries) {
        while (!ancestors.empty() && ancestors.back().level >= entry.level)
            ancestors.pop_back();
        pugi::xml_node list = top;
        if (!ancestors.empty()) {
            if (!ancestors.back().list)
                ancestors.back().list = open(ancestors.back().node);
            list = ancestors.back().list;
        }
        ancestors.push_back({entry.level, add(list, entry), pugi::xml_node()});
    }
}

std::string NavigationText(const ReflowBook& book, const Layout& layout) {
    const BookDescription& d = book.book;
    XmlDocument xml;
    pugi::xml_node body = AddNavigationBody(xml, d);
    pugi::xml_node toc = AddNav(xml, body, "toc", "doc-toc", "h1", "Contents", false);
    Nest(
        ContentsEntries(book, layout), toc,
        [&](pugi::xml_node item) { return xml.AddChild(item, "ol"); },
        [&](pugi::xml_node list, const Entry& entry) {
            return AddLink(xml, list, entry.href, entry.label);
        });
    pugi::xml_node pages = AddNav(xml, body, "page-list", "doc-pagelist", "h2", "Pages", true);
    for (int p = 0; p < PageCountOf(book); ++p) {
        const std::string label = ListLabel(d, p);
        if (!label.empty())
            AddLink(xml, pages, Href(layout.pageTargets[static_cast<std::size_t>(p)]), label);
    }
    pugi::xml_node landmarks = AddNav(xml, body, "landmarks", nullptr, "h2", "Landmarks", true);
    if (!d.coverName.empty())
        AddLink(xml, landmarks, kReflowCoverFile, "Cover", "cover");
    AddLink(xml, landmarks, ReflowChapterFile(1), "Start of content", "bodymatter");
    return xml.Text();
}

std::string NcxText(const ReflowBook& book, const Layout& layout) {
    const BookDescription& d = book.book;
    XmlDocument xml;
    std::vector<int> listed;
    for (int p = 0; p < PageCountOf(book); ++p) {
        if (!ListLabel(d, p).empty())
            listed.push_back(p);
    }
    const pugi::xml_node ncx = StartNcx(xml, d, 0);
    pugi::xml_node navMap = xml.AddChild(ncx, "navMap");
    // Play orders follow the reading order: the cover, then the entries and the pages as they
    // come in the text (an entry before the page it stands on when both start together).
    struct Stop {
        int document;
        std::size_t rank;  // position in the flow
        bool page;
        int index;
    };
    std::vector<Stop> stops;
    std::vector<Entry> entries = ContentsEntries(book, layout);
    std::vector<std::pair<int, std::size_t>> entryPlaces;
    if (layout.headings.empty()) {
        for (int doc = 0; doc < static_cast<int>(layout.documents.size()); ++doc) {
            const auto& items = layout.documents[static_cast<std::size_t>(doc)];
            entryPlaces.push_back(
                {doc,
                 items.empty() ? 0 : static_cast<std::size_t>(items.front() - book.flow.data())});
        }
    } else {
        for (const auto& [item, target] : layout.headings)
            entryPlaces.push_back(
                {target.document, static_cast<std::size_t>(item - book.flow.data())});
    }
    for (std::size_t e = 0; e < entries.size(); ++e)
        stops.push_back({entryPlaces[e].first, entryPlaces[e].second, false, static_cast<int>(e)});
    std::vector<std::size_t> pageRanks(static_cast<std::size_t>(PageCountOf(book)), 0);
    for (std::size_t i = 0; i < book.flow.size(); ++i) {
        const FlowItem& item = book.flow[i];
        if (item.kind == FlowKind::PageStart && item.page >= 0 && item.page < PageCountOf(book))
            pageRanks[static_cast<std::size_t>(item.page)] = i;
        for (const structure::PageMark& mark : item.pageMarks) {
            if (mark.page >= 0 && mark.page < PageCountOf(book))
                pageRanks[static_cast<std::size_t>(mark.page)] = i;
        }
    }
    for (int p : listed) {
        stops.push_back({layout.pageTargets[static_cast<std::size_t>(p)].document,
                         pageRanks[static_cast<std::size_t>(p)], true, p});
    }
    std::stable_sort(stops.begin(), stops.end(), [](const Stop& a, const Stop& b) {
        if (a.rank != b.rank)
            return a.rank < b.rank;
        return !a.page && b.page;
    });
    std::vector<int> entryOrder(entries.size()),
        pageOrder(static_cast<std::size_t>(PageCountOf(book)));
    int order = d.coverName.empty() ? 0 : 1;
    for (const Stop& stop : stops)
        (stop.page ? pageOrder : entryOrder)[static_cast<std::size_t>(stop.index)] = ++order;

    const auto addLabel = [&](pugi::xml_node parent, const std::string& label) {
        AddText(xml, xml.AddChild(parent, "navLabel"), "text", label);
    };
    if (!d.coverName.empty()) {
        pugi::xml_node point = xml.AddChild(navMap, "navPoint");
        XmlDocument::SetAttribute(point, "id", "cover");
        XmlDocument::SetAttribute(point, "playOrder", "1");
        addLabel(point, "Cover");
        XmlDocument::SetAttribute(xml.AddChild(point, "content"), "src", kReflowCoverFile);
    }
    int index = 0;
    int depth = 1;
    Nest(
        entries, navMap, [](pugi::xml_node point) { return point; },
        [&](pugi::xml_node parent, const Entry& entry) {
            pugi::xml_node point = xml.AddChild(parent, "navPoint");
            XmlDocument::SetAttribute(point, "id", "entry" + std::to_string(index + 1));
            XmlDocument::SetAttribute(point, "playOrder",
                                      std::to_string(entryOrder[static_cast<std::size_t>(index)]));
            addLabel(point, entry.label);
            XmlDocument::SetAttribute(xml.AddChild(point, "content"), "src", entry.href);
            ++index;
            return point;
        });
    for (const Entry& entry : entries)
        depth = std::max(depth, entry.level);
    pugi::xml_node pageList = xml.AddChild(ncx, "pageList");
    addLabel(pageList, "Pages");
    int normal = 0, maxPage = 0;
    for (int p : listed) {
        const std::string label = ListLabel(d, p);
        pugi::xml_node target = xml.AddChild(pageList, "pageTarget");
        XmlDocument::SetAttribute(target, "id", "pagetarget" + std::to_string(p + 1));
        const auto number = structure::ReadPageNumber(label);
        const bool plain = number && structure::LabelOf(*number) == label;
        const bool front = plain && number->style == structure::NumberStyle::Roman;
        XmlDocument::SetAttribute(target, "type", front ? "front" : (plain ? "normal" : "special"));
        if (plain)
            XmlDocument::SetAttribute(target, "value", std::to_string(number->value));
        XmlDocument::SetAttribute(target, "playOrder",
                                  std::to_string(pageOrder[static_cast<std::size_t>(p)]));
        addLabel(target, label);
        XmlDocument::SetAttribute(xml.AddChild(target, "content"), "src",
                                  Href(layout.pageTargets[static_cast<std::size_t>(p)]));
        if (plain && !front) {
            maxPage = std::max(maxPage, number->value);
            ++normal;
        }
    }
    for (pugi::xml_node meta : ncx.child("head").children("meta")) {
        const std::string_view name = meta.attribute("name").value();
        if (name == "dtb:depth")
            XmlDocument::SetAttribute(meta, "content", std::to_string(depth));
        if (name == "dtb:totalPageCount")
            XmlDocument::SetAttribute(meta, "content", std::to_string(normal));
        if (name == "dtb:maxPageNumber")
            XmlDocument::SetAttribute(meta, "content", std::to_string(maxPage));
    }
    return xml.Text();
}

}  // namespace

std::string ReflowChapterFile(int n) {
    return "chapter" + std::to_string(n) + ".xhtml";
}

std::vector<std::pair<std::string, std::string>> ReflowDocumentFiles(const ReflowBook& book) {
    const Layout layout = LayOut(book);
    std::vector<std::pair<std::string, std::string>> files;
    int headings = 0, figures = 0;
    for (int d = 0; d < static_cast<int>(layout.documents.size()); ++d)
        files.emplace_back(ReflowChapterFile(d + 1),
                           ChapterText(book, layout, d, headings, figures));
    if (!book.book.coverName.empty())
        files.emplace_back(kReflowCoverFile, CoverText(book));
    files.emplace_back(kReflowNavigationName, NavigationText(book, layout));
    files.emplace_back(kNavigationDocumentName, NcxText(book, layout));
    files.emplace_back(kPackageDocumentName, PackageText(book, layout));
    files.emplace_back(kReflowStylesheetName, StylesheetText());
    return files;
}

}  // namespace vellumark::epub
