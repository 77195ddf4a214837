#include <array>
#include <random>

#include "tools/SampleScan.h"

namespace vellumark::tools {
namespace {

// Ordinary words, so that generated pages read like prose to the recogniser.
constexpr std::array<const char*, 96> kWords = {
    "the",     "of",      "and",     "a",       "to",      "in",      "is",      "was",
    "that",    "for",     "on",      "with",    "as",      "by",      "at",      "from",
    "this",    "which",   "river",   "town",    "morning", "letter",  "garden",  "window",
    "people",  "house",   "road",    "winter",  "summer",  "market",  "church",  "school",
    "bridge",  "harbour", "evening", "family",  "father",  "mother",  "friend",  "table",
    "paper",   "story",   "history", "company", "country", "village", "water",   "light",
    "number",  "years",   "later",   "early",   "small",   "large",   "old",     "new",
    "long",    "little",  "great",   "good",    "first",   "last",    "every",   "other",
    "would",   "could",   "should",  "said",    "wrote",   "found",   "came",    "went",
    "kept",    "built",   "opened",  "closed",  "walked",  "carried", "brought", "left",
    "under",   "over",    "between", "before",  "after",   "during",  "against", "without",
    "quietly", "slowly",  "nearly",  "always",  "never",   "often",   "again",   "together",
};

}  // namespace

std::string FillerText(unsigned seed, int words) {
    std::mt19937 random(seed);
    std::string text;
    bool sentenceStart = true;
    for (int i = 0; i < words; ++i) {
        std::string word = kWords[random() % kWords.size()];
        if (sentenceStart)
            word[0] = static_cast<char>(word[0] - 'a' + 'A');
        sentenceStart = false;
        if (!text.empty())
            text += ' ';
        text += word;
        if (i + 1 == words || random() % 11 == 0) {
            text += random() % 4 == 0 ? "," : ".";
            sentenceStart = text.back() == '.';
        }
    }
    if (!text.empty() && text.back() == ',')
        text.back() = '.';
    return text;
}

std::vector<std::vector<TextLine>> SampleDocument(const PageLayout& layout) {
    struct Page {
        const char* heading;
        const char* body;
    };
    // Each page has words found on no other page (Aardvark, Zeppelin, Quasar, ...); the word
    // "lighthouse" is on pages 1 and 3, so a search for it has two hits.
    static const Page pages[] = {
        {"Chapter One: The Aardvark",
         "The aardvark came out of its burrow at dusk and walked along the old harbour road. "
         "Nobody in the village had seen an aardvark before, so the baker wrote a letter to the "
         "museum. The keeper of the lighthouse said it was the strangest visitor of the year. "
         "Children followed it to the market, where it ate nothing and looked at everything."},
        {"Chapter Two: The Zeppelin",
         "On Tuesday a silver zeppelin drifted over the marshes and stopped above the church "
         "tower. Its captain lowered a basket of oranges and a brass telescope for the mayor. "
         "The schoolmaster measured the shadow of the zeppelin and wrote the figure on the "
         "blackboard: four hundred and twelve feet from nose to tail."},
        {"Chapter Three: The Quasar",
         "Far beyond the galaxy a quasar burned brighter than a thousand suns. From the top of "
         "the lighthouse the astronomer pointed the brass telescope at the sky and counted "
         "seven comets before midnight. She wrote every number into her notebook, closed the "
         "shutters and walked home through the quiet orchard."},
    };
    std::vector<std::vector<TextLine>> document;
    for (const Page& page : pages) {
        std::vector<TextLine> lines{{page.heading, 18}, {"", 12}};
        for (TextLine& line : WrapParagraph(page.body, 12, layout))
            lines.push_back(line);
        document.push_back(std::move(lines));
    }
    return document;
}

}  // namespace vellumark::tools
