#pragma once
// Where the next search step starts after a hit, and which page the view then shows.

#include <vector>

#include "search/SearchCursors.h"

namespace vellumark::search {

// L of a hit: the index of the last word of its word list, 0 for an empty list.
int LastWordIndex(const std::vector<int>& hitWords);

// The cursors after a hit on `hitPage` whose last word is `lastWord`: the hit's page and the
// word after the hit, so the next step finds the next hit and never the same one again. The
// view shows the returned page.
SearchCursors CursorsAfterHit(int hitPage, int lastWord);

}  // namespace vellumark::search
