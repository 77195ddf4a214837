#pragma once
// A table of contents the user writes: one line per entry, "LEVEL TITLE PAGE", where PAGE is
// the printed page label ("17", "xii") or "@N" for the scan's page N (counted from 1). Empty
// lines and lines starting with "#" are passed over. `vellumark outline` prints its findings in
// this form, so that a user can correct them and hand them back.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "structure/BookStructure.h"

namespace vellumark::structure {

struct TocFileEntry {
    int level = 1;
    std::string title;
    std::string label;  // the printed label, when the line gives one
    int scanPage = 0;   // the scan's page, from 1, when the line gives "@N"
    int lineNumber = 0;
};

// Throws vellumark::Error (Usage) "FILE:LINE: what is wrong" for the first bad line.
std::vector<TocFileEntry> ParseTocFile(std::string_view text, const std::string& fileName);
// Reads and parses; Error (Usage) too when the file cannot be read.
std::vector<TocFileEntry> ReadTocFile(const std::filesystem::path& path);

// The entries at their pages: a label is looked up in `labels` (one per page). Throws
// vellumark::Error (Usage) naming the file and line of an entry that finds no page.
std::vector<Heading> ResolveTocFile(const std::vector<TocFileEntry>& entries,
                                    const std::vector<std::string>& labels, int pageCount,
                                    const std::string& fileName);

// The line for a heading that ParseTocFile and ResolveTocFile read back onto its page:
// "2 Results 45" by its page's label (`labels`, one per page) when that label reads back as
// this page's (one word, UTF-8, not starting with "@", no earlier page with it), else
// "1 Preface @3". What no line can carry in the title (bytes that are not UTF-8, control
// characters) becomes U+FFFD or a space.
std::string TocFileLine(const Heading& heading, const std::vector<std::string>& labels);

}  // namespace vellumark::structure
