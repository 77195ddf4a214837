#pragma once
// The language tag that the pages, the package document and the navigation document carry.

#include <string>
#include <string_view>

namespace vellumark::epub {

// The tag for a POSIX locale name: "de_DE.UTF-8" gives "de-DE", "fr" gives "fr", and "C",
// "POSIX", an empty or an unreadable name give "en-US". Never "-" and never empty.
std::string LanguageTagForLocale(std::string_view localeName);

// The tag for the language Tesseract read a text in ("eng" gives "en", "deu+eng" the first
// one's "de", "chi_sim" "zh-Hans"). Where `localeTag` names the same language it is kept, region
// and all ("eng" under "en-GB" gives "en-GB"); a name Tesseract uses that is not known here
// gives `localeTag`.
std::string LanguageTagForOcr(std::string_view ocrLanguage, std::string_view localeTag);

// The tag of the locale the program runs under: LC_ALL, else LC_MESSAGES, else LANG (an empty
// variable counts as unset). Read afresh on each call; safe from any thread as long as no one
// changes the environment meanwhile.
std::string LanguageTag();

}  // namespace vellumark::epub
