#pragma once
// The words of a document's pages, with their boxes, made by OCR on first need (or taken from
// the text an MDI file stores) and cached for the life of the object.

#include <memory>
#include <string>
#include <vector>

namespace vellumark::imaging {

class Document;

struct Word {
    std::string text;  // UTF-8
    int left = 0, top = 0, width = 0, height = 0;  // in the page's own pixels, when hasBox
    bool hasBox = false;
};

class TextLayer {
public:
    explicit TextLayer(std::shared_ptr<const Document> document);
    ~TextLayer();

    const Document& GetDocument() const;
    int PageCount() const;
    // The words of a page in reading order; recognised on first call, then cached. Safe to call
    // from several threads. Throws vellumark::Error when the page cannot be read.
    std::vector<Word> Words(int page) const;
    // True once the page's words are cached (no OCR needed).
    bool IsKnown(int page) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vellumark::imaging
