#include "search/SearchStep.h"

#include <exception>

#include "common/Error.h"
#include "search/CursorRules.h"

namespace vellumark::search {

StepResult RunSearchStep(std::shared_ptr<const imaging::TextLayer> text, const std::string& word,
                         SearchCursors from, const imaging::SearchControl& control) {
    StepResult result;
    if (!text)
        return result;
    try {
        imaging::DocSearch search;
        search.SetUp(text, word, from.page, from.word);
        auto hit = search.Search(control);
        if (!hit)
            return result;
        // The page is cached by now, so this reads no page again.
        const std::vector<imaging::Word> pageWords = text->Words(hit->page);
        for (int index : hit->words) {
            if (index >= 0 && index < static_cast<int>(pageWords.size())) {
                result.words.push_back(pageWords[index]);
            }
        }
        result.next = CursorsAfterHit(hit->page, hit->LastWord());
        result.hit = std::move(*hit);
        result.outcome = StepResult::Outcome::Hit;
    } catch (const Error& e) {
        result.outcome = e.Code() == ErrorCode::Cancelled ? StepResult::Outcome::Cancelled
                                                          : StepResult::Outcome::Failed;
    } catch (const std::exception&) {
        result.outcome = StepResult::Outcome::Failed;
    }
    return result;
}

}  // namespace vellumark::search
