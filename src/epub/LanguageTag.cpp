#include "epub/LanguageTag.h"

#include <cstdlib>
#include <utility>

namespace vellumark::epub {
namespace {

constexpr const char* kDefaultTag = "en-US";

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool AllOf(std::string_view text, bool (*test)(char)) {
    for (char c : text) {
        if (!test(c))
            return false;
    }
    return true;
}

// Tesseract's names (ISO 639-2, some with a script) and the tags that say the same.
constexpr std::pair<std::string_view, std::string_view> kOcrLanguages[] = {
    {"afr", "af"},          {"ara", "ar"},          {"bul", "bg"}, {"cat", "ca"}, {"ces", "cs"},
    {"chi_sim", "zh-Hans"}, {"chi_tra", "zh-Hant"}, {"dan", "da"}, {"deu", "de"}, {"ell", "el"},
    {"eng", "en"},          {"est", "et"},          {"fin", "fi"}, {"fra", "fr"}, {"frk", "de"},
    {"gle", "ga"},          {"heb", "he"},          {"hin", "hi"}, {"hrv", "hr"}, {"hun", "hu"},
    {"ind", "id"},          {"isl", "is"},          {"ita", "it"}, {"jpn", "ja"}, {"kor", "ko"},
    {"lat", "la"},          {"lav", "lv"},          {"lit", "lt"}, {"nld", "nl"}, {"nor", "no"},
    {"pol", "pl"},          {"por", "pt"},          {"ron", "ro"}, {"rus", "ru"}, {"slk", "sk"},
    {"slv", "sl"},          {"spa", "es"},          {"srp", "sr"}, {"swe", "sv"}, {"tur", "tr"},
    {"ukr", "uk"},          {"vie", "vi"},
};

}  // namespace

std::string LanguageTagForOcr(std::string_view ocrLanguage, std::string_view localeTag) {
    const std::string_view first = ocrLanguage.substr(0, ocrLanguage.find('+'));
    for (const auto& [name, tag] : kOcrLanguages) {
        if (name != first)
            continue;
        const bool sameLanguage = localeTag.size() > tag.size() &&
                                  localeTag.substr(0, tag.size()) == tag &&
                                  localeTag[tag.size()] == '-';
        return std::string(sameLanguage ? localeTag : tag);
    }
    return std::string(localeTag);
}

std::string LanguageTagForLocale(std::string_view name) {
    // language[_territory][.codeset][@modifier]
    name = name.substr(0, name.find_first_of(".@"));
    if (name.empty() || name == "C" || name == "POSIX")
        return kDefaultTag;
    const auto separator = name.find_first_of("_-");
    const std::string_view language = name.substr(0, separator);
    const std::string_view territory =
        separator == std::string_view::npos ? std::string_view{} : name.substr(separator + 1);

    if (language.size() < 2 || language.size() > 3 || !AllOf(language, IsAsciiLetter)) {
        return kDefaultTag;
    }
    std::string tag;
    for (char c : language)
        tag += Lower(c);
    const bool letters = territory.size() == 2 && AllOf(territory, IsAsciiLetter);
    const bool numeric = territory.size() == 3 && AllOf(territory, IsAsciiDigit);
    if (letters || numeric) {
        tag += '-';
        for (char c : territory)
            tag += Upper(c);
    }
    return tag;
}

std::string LanguageTag() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] != '\0')
            return LanguageTagForLocale(value);
    }
    return kDefaultTag;
}

}  // namespace vellumark::epub
