#include "search/CursorRules.h"

namespace vellumark::search {

SearchCursors CursorsAfterHit(int hitPage, int lastWord) {
    return SearchCursors{hitPage, lastWord + 1};
}

}  // namespace vellumark::search
