#include "cli/OutlineReport.h"

#include <algorithm>

#include "cli/ShelfDisplay.h"
#include "structure/TocFile.h"

namespace vellumark::cli {
namespace {

const char* SourceName(structure::TocSource source) {
    switch (source) {
        case structure::TocSource::Contents:
            return "contents";
        case structure::TocSource::Headings:
            return "headings";
        case structure::TocSource::None:
            break;
    }
    return "none";
}

const std::string& LabelOf(const structure::BookStructure& book, int page) {
    return book.labels[static_cast<std::size_t>(page)];
}

}  // namespace

std::string OutlineText(const structure::BookStructure& book) {
    const auto labelled = std::count_if(book.labels.begin(), book.labels.end(),
                                        [](const std::string& label) { return !label.empty(); });
    std::string text = "Pages: " + std::to_string(book.pageCount) + ", " +
                       std::to_string(labelled) + " with a printed label\n\n";
    switch (book.source) {
        case structure::TocSource::Contents:
            text += "Contents (from the printed contents on scan page";
            for (int page : book.contentsPages)
                text += " " + std::to_string(page + 1);
            text += "):\n";
            break;
        case structure::TocSource::Headings:
            text += "Contents (from the headings found):\n";
            break;
        case structure::TocSource::None:
            text += "Contents: no chapters found; a book lists its pages\n";
            break;
    }
    for (const structure::Heading& heading : book.headings)
        text += structure::TocFileLine(heading, book.labels) + "\n";
    text += "\nPage labels (scan page: printed label):\n";
    for (int page = 0; page < book.pageCount; ++page) {
        const std::string& label = LabelOf(book, page);
        text += std::to_string(page + 1) + ": " + (label.empty() ? "-" : label) + "\n";
    }
    text += "\nRunning heads (scan page: text):\n";
    for (const structure::RunningHead& head : book.runningHeads)
        text += std::to_string(head.page + 1) + ": " + head.text + "\n";
    return text;
}

std::string OutlineJson(const structure::BookStructure& book) {
    std::string json = "{\"pages\": " + std::to_string(book.pageCount) + ", \"source\": \"" +
                       SourceName(book.source) + "\", \"contentsPages\": [";
    for (std::size_t i = 0; i < book.contentsPages.size(); ++i)
        json += (i > 0 ? ", " : "") + std::to_string(book.contentsPages[i] + 1);
    json += "], \"chapters\": [";
    for (std::size_t i = 0; i < book.headings.size(); ++i) {
        const structure::Heading& h = book.headings[i];
        json += std::string(i > 0 ? ", " : "") + "{\"level\": " + std::to_string(h.level) +
                ", \"title\": " + JsonString(h.title) +
                ", \"page\": " + std::to_string(h.page + 1) +
                ", \"label\": " + JsonString(LabelOf(book, h.page)) + "}";
    }
    json += "], \"labels\": [";
    for (int page = 0; page < book.pageCount; ++page)
        json += (page > 0 ? ", " : "") + JsonString(LabelOf(book, page));
    json += "], \"runningHeads\": [";
    for (std::size_t i = 0; i < book.runningHeads.size(); ++i) {
        const structure::RunningHead& head = book.runningHeads[i];
        json += std::string(i > 0 ? ", " : "") + "{\"page\": " + std::to_string(head.page + 1) +
                ", \"text\": " + JsonString(head.text) + "}";
    }
    return json + "]}\n";
}

}  // namespace vellumark::cli
