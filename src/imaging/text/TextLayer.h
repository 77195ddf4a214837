#pragma once
// The words of a document's pages, with their boxes, made by OCR on first need (or taken from
// the text an MDI file stores) and cached for the life of the object.

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vellumark::imaging {

class PageSource;

struct Word {
    std::string text;  // UTF-8
    // In the page's own pixels as shown (the space of PageSource::Shape), when
    // hasBox. Text an MDI file stores comes without boxes.
    int left = 0, top = 0, width = 0, height = 0;
    bool hasBox = false;
    // Which block (column, paragraph) and which line of the page the word is on, counted in
    // reading order from 0; words of one line are next to each other.
    int block = 0, line = 0;
};

// Tesseract's language when none is chosen.
inline constexpr const char* kDefaultOcrLanguage = "eng";

// The languages Tesseract has data for, sorted ("eng", "deu", ...). Silences stderr while it
// looks, so call it before other threads print.
std::vector<std::string> InstalledOcrLanguages();
// True when Tesseract's orientation data (for turning pages upright) is installed.
bool OrientationDataInstalled();
// Throws vellumark::Error (Usage) with one line saying what to install when `language` (one name,
// or several joined by "+") is not installed or not a language name at all.
void CheckOcrLanguage(const std::string& language);

class TextLayer {
public:
    // Set by another thread to stop a recognition early.
    using CancelFlag = std::atomic<bool>;
    // Reads the words of one page; called at most once per page unless it throws. Must be safe
    // to call from several threads at once for different pages, and should throw
    // vellumark::Error (Cancelled) soon after `cancel` (may be null) is set.
    using Reader =
        std::function<std::vector<Word>(const PageSource&, int page, const CancelFlag* cancel)>;

    // Words come from the page's stored OCR text when it has some, else from Tesseract reading
    // `language` (see CheckOcrLanguage).
    explicit TextLayer(std::shared_ptr<const PageSource> source,
                       std::string language = kDefaultOcrLanguage);
    // Words come from `reader` (tests, other recognisers).
    TextLayer(std::shared_ptr<const PageSource> source, Reader reader);
    ~TextLayer();

    // The pages the words are read from; the words' boxes are in their pixels.
    const PageSource& Source() const;
    int PageCount() const;
    // The words of a page in reading order; recognised on first call, then cached. Safe to call
    // from several threads; a second caller asking for a page being recognised waits for it
    // rather than recognising it again. Throws vellumark::Error when the page cannot be read
    // (nothing is cached then, so a later call tries again); a page without text gives an empty
    // list. Setting `cancel` (may be null) stops a recognition in progress with
    // vellumark::Error (Cancelled).
    std::vector<Word> Words(int page, const CancelFlag* cancel = nullptr) const;
    // True once the page's words are cached (no OCR needed).
    bool IsKnown(int page) const;
    // A text layer that reads the words of other pages (these pages cleaned up, say) the way
    // this one reads them. Nothing is shared but the way: other pages have other words.
    std::shared_ptr<const TextLayer> Over(std::shared_ptr<const PageSource> source) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Reads every page not yet known, on `jobs` threads (ResolveJobs: 0 is one per core), so that a
// search after it needs no OCR. `progress` (may be empty) is called after each page with the number
// of pages read so far and the total, from the reading threads but never from two at once. Stops
// early with vellumark::Error (Cancelled) when `cancel` (may be null) is set; throws the first
// page's error otherwise, after the other threads have stopped.
void ReadAllPages(const TextLayer& text, unsigned jobs,
                  const std::function<void(int done, int total)>& progress = {},
                  const TextLayer::CancelFlag* cancel = nullptr);

// The default reader: the page's stored OCR text when it has some (words without boxes, a line
// per line of the text), else Tesseract's words in `language`. Throws vellumark::Error.
std::vector<Word> ReadPageWords(const PageSource& source, int page, const std::string& language,
                                const TextLayer::CancelFlag* cancel = nullptr);

}  // namespace vellumark::imaging
