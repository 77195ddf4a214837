#include "search/CursorRules.h"

namespace vellumark::search {

int LastWordIndex(const std::vector<int>& hitWords) {
    return hitWords.empty() ? 0 : hitWords.back();
}

SearchCursors CursorsAfterHit(int hitPage, int lastWord) {
    return SearchCursors{hitPage, lastWord + 1};
}

}  // namespace vellumark::search
