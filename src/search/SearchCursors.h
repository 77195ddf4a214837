#pragma once
// Where the next search step starts: owned by the main window, reset when the dialog opens.

namespace vellumark::search {

struct SearchCursors {
    int page = 0;  // 0-based page
    int word = 0;  // index of the word on that page
};

}  // namespace vellumark::search
