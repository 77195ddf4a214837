#pragma once
// What `vellumark outline` prints of a book's structure: text a user reads (its contents in the
// form a --toc-file takes), or JSON for scripts.

#include <string>

#include "structure/BookStructure.h"

namespace vellumark::cli {

std::string OutlineText(const structure::BookStructure& book);
// One JSON object: pages, source, contentsPages, chapters (level, title, page, label), labels
// (one per page, "" for none) and runningHeads (page, text). Pages count from 1.
std::string OutlineJson(const structure::BookStructure& book);

}  // namespace vellumark::cli
