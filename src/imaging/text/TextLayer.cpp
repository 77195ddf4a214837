#include "imaging/text/TextLayer.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>

#include "common/Error.h"
#include "imaging/PageSource.h"
#include "imaging/text/Ocr.h"
#include "imaging/text/WordMatch.h"

namespace vellumark::imaging {
namespace {

// Largest page, in pixels, handed to Tesseract at its own size (A4 at 600 dpi is 35 million).
constexpr double kMaxOcrPixels = 40'000'000;

}  // namespace

std::vector<Word> ReadPageWords(const PageSource& source, int page, const std::string& language,
                                const TextLayer::CancelFlag* cancel) {
    if (std::vector<StoredWord> stored = source.StoredWords(page); !stored.empty()) {
        std::vector<Word> words;
        for (StoredWord& w : stored) {
            Word word{std::move(w.text), w.left, w.top, w.width, w.height, true};
            word.block = w.block;
            word.line = w.line;
            words.push_back(std::move(word));
        }
        return words;
    }
    const std::string stored = source.StoredText(page);
    if (!stored.empty()) {
        std::vector<Word> words;
        int line = 0;
        for (std::size_t start = 0; start <= stored.size();) {
            const std::size_t end = std::min(stored.find('\n', start), stored.size());
            bool any = false;
            for (std::string& text :
                 SplitWords(std::string_view(stored).substr(start, end - start))) {
                Word word{std::move(text)};
                word.line = line;
                words.push_back(std::move(word));
                any = true;
            }
            line += any ? 1 : 0;
            start = end + 1;
        }
        // Stored text that is only blanks is no text; let OCR have a go.
        if (!words.empty())
            return words;
    }
    const auto [width, height, kind] = source.Shape(page);
    (void)kind;
    // Very large pages (posters, 600 dpi A3) are read smaller: Tesseract gains nothing beyond
    // this, and the picture stays within what the document will make.
    const double pixels = static_cast<double>(width) * height;
    const double scale = pixels > kMaxOcrPixels ? std::sqrt(kMaxOcrPixels / pixels) : 1.0;
    const int ocrWidth = std::max(1, static_cast<int>(width * scale));
    const int ocrHeight = std::max(1, static_cast<int>(height * scale));
    const Picture picture = source.PagePicture(page, ocrWidth, ocrHeight);
    const int dpi = static_cast<int>(source.Resolution(page) * scale + 0.5);
    std::vector<Word> words;
    try {
        words = RecogniseWords(ToGrey(picture), dpi, language, cancel);
    } catch (const Error& e) {
        throw Error(e.Code(), e.what(), source.Path(), page);
    }
    if (scale < 1.0) {
        // Boxes are promised in the page's own pixels.
        const double sx = static_cast<double>(width) / ocrWidth;
        const double sy = static_cast<double>(height) / ocrHeight;
        for (Word& word : words) {
            word.left = static_cast<int>(word.left * sx);
            word.top = static_cast<int>(word.top * sy);
            word.width = static_cast<int>(std::ceil(word.width * sx));
            word.height = static_cast<int>(std::ceil(word.height * sy));
        }
    }
    return words;
}

struct TextLayer::Impl {
    struct Slot {
        std::mutex mutex;  // held while the page is being read
        std::atomic<bool> known = false;
        std::vector<Word> words;  // written once, before `known` is set
    };

    std::shared_ptr<const PageSource> source;
    Reader reader;
    int pageCount = 0;
    std::unique_ptr<Slot[]> slots;
};

TextLayer::TextLayer(std::shared_ptr<const PageSource> source, std::string language)
    : TextLayer(std::move(source),
                [language = std::move(language)](const PageSource& pages, int page,
                                                 const CancelFlag* cancel) {
                    return ReadPageWords(pages, page, language, cancel);
                }) {}

TextLayer::TextLayer(std::shared_ptr<const PageSource> source, Reader reader)
    : impl_(std::make_unique<Impl>()) {
    if (!source)
        throw Error(ErrorCode::Internal, "a text layer needs a document");
    impl_->pageCount = source->PageCount();
    impl_->slots = std::make_unique<Impl::Slot[]>(static_cast<std::size_t>(impl_->pageCount));
    impl_->source = std::move(source);
    impl_->reader = std::move(reader);
}

TextLayer::~TextLayer() = default;

const PageSource& TextLayer::Source() const {
    return *impl_->source;
}

int TextLayer::PageCount() const {
    return impl_->pageCount;
}

std::vector<Word> TextLayer::Words(int page, const CancelFlag* cancel) const {
    if (page < 0 || page >= impl_->pageCount) {
        throw Error(ErrorCode::Internal, "no page " + std::to_string(page + 1),
                    impl_->source->Path(), page);
    }
    Impl::Slot& slot = impl_->slots[page];
    if (slot.known.load(std::memory_order_acquire))
        return slot.words;
    const std::lock_guard lock(slot.mutex);
    if (!slot.known.load(std::memory_order_relaxed)) {
        if (cancel != nullptr && cancel->load()) {
            throw Error(ErrorCode::Cancelled, "the search was cancelled");
        }
        slot.words = impl_->reader(*impl_->source, page, cancel);
        slot.known.store(true, std::memory_order_release);
    }
    return slot.words;
}

std::shared_ptr<const TextLayer> TextLayer::Over(std::shared_ptr<const PageSource> source) const {
    return std::make_shared<const TextLayer>(std::move(source), impl_->reader);
}

bool TextLayer::IsKnown(int page) const {
    return page >= 0 && page < impl_->pageCount &&
           impl_->slots[page].known.load(std::memory_order_acquire);
}

}  // namespace vellumark::imaging
