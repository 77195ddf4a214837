#include "imaging/pages/DjvuDocument.h"

#include <libdjvu/ddjvuapi.h>
#include <libdjvu/miniexp.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "common/Error.h"
#include "imaging/Document.h"

namespace vellumark::imaging {
namespace {

// djvulibre, as it loads, sets a new-handler that makes every failed allocation in the process
// throw its own exception type instead of the std::bad_alloc our handlers are written for (a
// page too large for memory once hung a conversion this way). The standard one is put back
// after the library's own start; djvulibre is used only through its C interface, which reports
// failures as messages and return values.
[[maybe_unused]] const bool standardNewHandler = (std::set_new_handler(nullptr), true);

// djvulibre is not safe with one file open in two contexts on two threads: a page that takes
// its shapes from a dictionary the pages share then decodes without it, now and then. So one
// thread at a time uses it, from opening a file to releasing it.
std::mutex& DjvuLock() {
    static std::mutex lock;
    return lock;
}

struct ContextEnd {
    void operator()(ddjvu_context_t* context) const { ddjvu_context_release(context); }
};
struct DocumentEnd {
    void operator()(ddjvu_document_t* document) const { ddjvu_document_release(document); }
};

// One opened file: a djvulibre context and its document, released together (the document
// first), with the library held for the while.
class Opened {
public:
    explicit Opened(const std::filesystem::path& path)
        : lock_(DjvuLock()), path_(path), context_(ddjvu_context_create("vellumark")) {
        if (!context_)
            throw Error(ErrorCode::Internal, "djvulibre could not start");
        ddjvu_cache_set_size(context_.get(), 8 << 20);
        document_.reset(ddjvu_document_create_by_filename_utf8(context_.get(), path.c_str(), 0));
        if (!document_)
            Fail("not a DjVu file that can be read");
        while (!ddjvu_document_decoding_done(document_.get()))
            Messages(true);
        if (ddjvu_document_decoding_error(document_.get()))
            Fail("not a DjVu file that can be read");
    }

    ddjvu_document_t* Document() const { return document_.get(); }

    // Handles what djvulibre has to say, waiting for a message first when asked to; keeps the
    // last error's words for the message thrown.
    void Messages(bool wait) {
        if (wait)
            ddjvu_message_wait(context_.get());
        while (const ddjvu_message_t* message = ddjvu_message_peek(context_.get())) {
            if (message->m_any.tag == DDJVU_ERROR && message->m_error.message)
                error_ = message->m_error.message;
            ddjvu_message_pop(context_.get());
        }
    }

    [[noreturn]] void Fail(const std::string& what, std::optional<int> page = {}) const {
        throw Error(ErrorCode::BadInput,
                    path_.string() + (page ? ": page " + std::to_string(*page + 1) : "") + ": " +
                        what + (error_.empty() ? "" : " (" + error_ + ")"),
                    path_, page);
    }

private:
    // Made in this order and undone in the reverse: the library is let go last.
    std::lock_guard<std::mutex> lock_;
    std::filesystem::path path_;
    std::unique_ptr<ddjvu_context_t, ContextEnd> context_;
    std::unique_ptr<ddjvu_document_t, DocumentEnd> document_;
    std::string error_;
};

struct PageEnd {
    void operator()(ddjvu_page_t* page) const { ddjvu_page_release(page); }
};
struct FormatEnd {
    void operator()(ddjvu_format_t* format) const { ddjvu_format_release(format); }
};

// The page's kind from its chunks, read without decoding it: JB2 shapes alone are bilevel.
PageKind KindFromDump(const std::string& dump) {
    for (const char* colour : {"BG44", "FG44", "BGjp", "FGjp", "BG2k", "FG2k"}) {
        if (dump.find(colour) != std::string::npos)
            return PageKind::Colour;
    }
    return PageKind::Bilevel;
}

// Collects the words below `node`, counting blocks (columns, regions, paragraphs) and lines.
void CollectWords(miniexp_t node, int height, int& block, int& line,
                  std::vector<StoredWord>& words) {
    if (!miniexp_consp(node) || !miniexp_symbolp(miniexp_car(node)))
        return;
    const std::string kind = miniexp_to_name(miniexp_car(node));
    const auto number = [node](int n) {
        const miniexp_t value = miniexp_nth(n, node);
        return miniexp_numberp(value) ? miniexp_to_int(value) : 0;
    };
    if (kind == "word") {
        const miniexp_t text = miniexp_nth(5, node);
        if (!miniexp_stringp(text))
            return;
        const int x0 = number(1), y0 = number(2), x1 = number(3), y1 = number(4);
        if (x1 <= x0 || y1 <= y0 || *miniexp_to_str(text) == '\0')
            return;
        words.push_back({miniexp_to_str(text), x0, height - y1, x1 - x0, y1 - y0, block, line});
        return;
    }
    const std::size_t before = words.size();
    for (miniexp_t child = miniexp_cdr(miniexp_cdr(miniexp_cdr(miniexp_cdr(miniexp_cdr(node)))));
         miniexp_consp(child); child = miniexp_cdr(child))
        CollectWords(miniexp_car(child), height, block, line, words);
    if (words.size() == before)
        return;
    if (kind == "line")
        ++line;
    else if (kind == "para" || kind == "region" || kind == "column")
        ++block;
}

}  // namespace

bool LooksLikeDjvu(std::span<const std::uint8_t> head) {
    return head.size() >= 8 && std::memcmp(head.data(), "AT&TFORM", 8) == 0;
}

std::unique_ptr<DjvuDocument> DjvuDocument::Open(const std::filesystem::path& path) {
    Opened opened(path);
    ddjvu_document_t* document = opened.Document();
    const int count = ddjvu_document_get_pagenum(document);
    if (count < 1)
        opened.Fail("the document has no pages");
    std::vector<PageEntry> pages;
    for (int page = 0; page < count; ++page) {
        ddjvu_pageinfo_t info{};
        ddjvu_status_t status;
        while ((status = ddjvu_document_get_pageinfo(document, page, &info)) < DDJVU_JOB_OK)
            opened.Messages(true);
        if (status >= DDJVU_JOB_FAILED || info.width < 1 || info.height < 1)
            opened.Fail("the page cannot be read", page);
        if (std::uint64_t(info.width) * std::uint64_t(info.height) > kMaxPagePixels)
            throw Error(ErrorCode::TooLarge,
                        path.string() + ": page " + std::to_string(page + 1) +
                            ": more pixels than any scanned page",
                        path, page);
        // With the page's information in, its chunks are too: asked once, never waited for
        // (a damaged page may never give them). Without them the page is taken as colour.
        char* dump = ddjvu_document_get_pagedump(document, page);
        const PageKind kind = dump ? KindFromDump(dump) : PageKind::Colour;
        std::free(dump);
        const bool turned = info.rotation % 2 != 0;
        PageEntry entry;
        entry.shape = {turned ? info.height : info.width, turned ? info.width : info.height, kind};
        if (PlausibleResolution(info.dpi, info.dpi, info.width, info.height))
            entry.dpi = info.dpi;
        entry.layout = kind == PageKind::Bilevel ? "bilevel" : "colour";
        pages.push_back(std::move(entry));
    }
    return std::unique_ptr<DjvuDocument>(new DjvuDocument(path, std::move(pages)));
}

const DjvuDocument::PageEntry& DjvuDocument::EntryOf(int page) const {
    if (page < 0 || page >= PageCount())
        throw Error(ErrorCode::Internal, "no page " + std::to_string(page + 1), path_);
    return pages_[static_cast<std::size_t>(page)];
}

PageShape DjvuDocument::Shape(int page) const {
    return EntryOf(page).shape;
}

double DjvuDocument::Resolution(int page) const {
    return EntryOf(page).dpi;
}

PageInfo DjvuDocument::Info(int page) const {
    const PageEntry& entry = EntryOf(page);
    PageInfo info;
    info.width = static_cast<std::uint32_t>(entry.shape.width);
    info.height = static_cast<std::uint32_t>(entry.shape.height);
    info.xResolution = info.yResolution = entry.dpi;
    info.layout = entry.layout;
    info.codec = "DjVu";
    const auto [width, height] = PictureSize(page);
    info.pictureWidth = width;
    info.pictureHeight = height;
    return info;
}

Picture DjvuDocument::PagePicture(int page) const {
    const auto [width, height] = PictureSize(page);
    return PagePicture(page, width, height);
}

Picture DjvuDocument::PagePicture(int page, int width, int height) const {
    const PageEntry& entry = EntryOf(page);
    if (width < 1 || height < 1)
        throw Error(ErrorCode::Internal, "cannot make an empty picture");
    if (std::uint64_t(width) * std::uint64_t(height) > kMaxPicturePixels)
        throw Error(ErrorCode::TooLarge, path_.string() + ": the page picture is too large", path_,
                    page);
    const bool colour = entry.shape.kind == PageKind::Colour;
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.channels = colour ? 3 : 1;
    picture.samples.assign(picture.RowBytes() * static_cast<std::size_t>(height), 255);
    Draw(page, width, height, colour ? Drawn::Colour : Drawn::Grey, picture.RowBytes(),
         picture.samples.data());
    return picture;
}

std::optional<BitPicture> DjvuDocument::PageBits(int page) const {
    const PageShape& shape = EntryOf(page).shape;
    if (shape.kind != PageKind::Bilevel ||
        std::uint64_t(shape.width) * std::uint64_t(shape.height) > kMaxPicturePixels)
        return std::nullopt;
    BitPicture bits(shape.width, shape.height);
    Draw(page, shape.width, shape.height, Drawn::Bits, bits.stride, bits.bits.data());
    // The bits past the last pixel are paper, whatever djvulibre left there.
    const std::size_t bytes = (static_cast<std::size_t>(shape.width) + 7) / 8;
    for (int y = 0; y < bits.height; ++y) {
        std::uint8_t* row = bits.Row(y);
        if (const int spare = shape.width % 8; spare != 0)
            row[bytes - 1] &= static_cast<std::uint8_t>(0xFF00 >> spare);
        std::fill(row + bytes, row + bits.stride, 0);
    }
    return bits;
}

void DjvuDocument::Draw(int page, int width, int height, Drawn drawn, std::size_t rowBytes,
                        std::uint8_t* out) const {
    Opened opened(path_);
    std::unique_ptr<ddjvu_page_t, PageEnd> djvuPage(
        ddjvu_page_create_by_pageno(opened.Document(), page));
    if (!djvuPage)
        opened.Fail("the page cannot be read", page);
    while (!ddjvu_page_decoding_done(djvuPage.get()))
        opened.Messages(true);
    if (ddjvu_page_decoding_error(djvuPage.get()))
        opened.Fail("damaged page data", page);

    // Bits are drawn black on white: a set bit is ink.
    const ddjvu_format_style_t style = drawn == Drawn::Bits   ? DDJVU_FORMAT_MSBTOLSB
                                       : drawn == Drawn::Grey ? DDJVU_FORMAT_GREY8
                                                              : DDJVU_FORMAT_RGB24;
    std::unique_ptr<ddjvu_format_t, FormatEnd> format(ddjvu_format_create(style, 0, nullptr));
    ddjvu_format_set_row_order(format.get(), 1);
    ddjvu_format_set_y_direction(format.get(), 1);
    const ddjvu_rect_t rect{0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height)};
    if (!ddjvu_page_render(djvuPage.get(), DDJVU_RENDER_COLOR, &rect, &rect, format.get(),
                           static_cast<unsigned long>(rowBytes), reinterpret_cast<char*>(out)))
        opened.Fail("the page cannot be drawn", page);
}

std::vector<StoredWord> DjvuDocument::StoredWords(int page) const {
    const PageEntry& entry = EntryOf(page);
    Opened opened(path_);
    // The file is local: its page data is in once the document is open, so the text is asked
    // for once; a damaged page that never gives it has none.
    const miniexp_t text = ddjvu_document_get_pagetext(opened.Document(), page, "word");
    std::vector<StoredWord> words;
    if (text == miniexp_dummy)
        return words;
    int block = 0, line = 0;
    // The layer's coordinates are those of the page as stored, from its lower left corner.
    CollectWords(text, entry.shape.height, block, line, words);
    ddjvu_miniexp_release(opened.Document(), text);
    return words;
}

}  // namespace vellumark::imaging
