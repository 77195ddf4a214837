#pragma once
// One "Find Next" step without the window: search from the cursors, and on a hit say where the
// cursors go and what to highlight. Runs on any thread; the dialog runs it off the GUI thread.

#include <memory>
#include <string>
#include <vector>

#include "imaging/text/DocSearch.h"
#include "imaging/text/TextLayer.h"
#include "search/SearchCursors.h"

namespace vellumark::search {

struct StepResult {
    enum class Outcome {
        Hit,
        NoHit,
        Failed,     // the document or the recogniser failed; the step ends silently
        Cancelled,  // stopped through the control's cancel flag
    };
    Outcome outcome = Outcome::NoHit;
    imaging::Hit hit;                  // when Hit
    std::vector<imaging::Word> words;  // the hit's words as read (boxes may be unknown)
    SearchCursors next;                // when Hit: the cursors after it; the view shows next.page
};

// Searches `text` (null: nothing to search, NoHit) for `word` from `from`. Never throws: every
// failure becomes Failed (or Cancelled).
StepResult RunSearchStep(std::shared_ptr<const imaging::TextLayer> text, const std::string& word,
                         SearchCursors from, const imaging::SearchControl& control = {});

}  // namespace vellumark::search
