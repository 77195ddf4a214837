#pragma once
// The kinds of book a conversion makes.

#include <optional>
#include <string_view>

namespace vellumark::epub {

enum class BookFormat {
    Epub2,   // reflowable EPUB 2: a picture per page, scaled to the screen (the default)
    Epub3,   // EPUB 3 fixed layout: each page shown at its picture's size, optionally with text
    Reflow,  // EPUB 3 reflowable: the pages' text (OCR), laid out by the reading system
};

// "epub2", "epub3" or "reflow".
constexpr std::string_view BookFormatName(BookFormat format) {
    switch (format) {
        case BookFormat::Epub3:
            return "epub3";
        case BookFormat::Reflow:
            return "reflow";
        case BookFormat::Epub2:
            break;
    }
    return "epub2";
}

// The format of that name, or none.
constexpr std::optional<BookFormat> ParseBookFormat(std::string_view name) {
    if (name == "epub2")
        return BookFormat::Epub2;
    if (name == "epub3")
        return BookFormat::Epub3;
    if (name == "reflow")
        return BookFormat::Reflow;
    return std::nullopt;
}

}  // namespace vellumark::epub
