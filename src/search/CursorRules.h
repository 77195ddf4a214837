#pragma once
// Where the next search step starts after a hit, and which page the view then shows.

#include "search/SearchCursors.h"

namespace vellumark::search {

// The cursors after a hit on `hitPage` whose last word is `lastWord`: the hit's page and the
// word after the hit, so the next step finds the next hit and never the same one again. The
// view shows the returned page.
SearchCursors CursorsAfterHit(int hitPage, int lastWord);

}  // namespace vellumark::search
