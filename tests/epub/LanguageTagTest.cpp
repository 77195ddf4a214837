#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "epub/LanguageTag.h"

namespace vellumark::epub {
namespace {

TEST(LanguageTagTest, FromLocaleNames) {
    EXPECT_EQ(LanguageTagForLocale("de_DE.UTF-8"), "de-DE");
    EXPECT_EQ(LanguageTagForLocale("en_GB"), "en-GB");
    EXPECT_EQ(LanguageTagForLocale("sr_RS@latin"), "sr-RS");
    EXPECT_EQ(LanguageTagForLocale("es_419.UTF-8"), "es-419");
    EXPECT_EQ(LanguageTagForLocale("fr"), "fr");
    EXPECT_EQ(LanguageTagForLocale("ja.eucJP"), "ja");
    EXPECT_EQ(LanguageTagForLocale("de_"), "de");
    for (const char* fallback : {"", "C", "POSIX", "C.UTF-8", "_", "-", "x_YY", "123_US"}) {
        EXPECT_EQ(LanguageTagForLocale(fallback), "en-US") << '"' << fallback << '"';
    }
}

// Sets environment variables for the test's duration and puts the old values back.
class Environment {
public:
    void Set(const char* name, const char* value) {
        if (!saved_.contains(name)) {
            const char* old = std::getenv(name);
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~Environment() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

TEST(LanguageTagTest, FromTheLanguageTheTextWasReadIn) {
    EXPECT_EQ(LanguageTagForOcr("eng", "fr-FR"), "en");
    EXPECT_EQ(LanguageTagForOcr("deu+eng", "en-US"), "de") << "the first language read";
    EXPECT_EQ(LanguageTagForOcr("chi_sim", "en-US"), "zh-Hans");
    EXPECT_EQ(LanguageTagForOcr("frk", "en-US"), "de") << "Fraktur is German set in it";
    // The locale's region stays when it is the same language, and only then.
    EXPECT_EQ(LanguageTagForOcr("eng", "en-GB"), "en-GB");
    EXPECT_EQ(LanguageTagForOcr("deu", "de-AT"), "de-AT");
    EXPECT_EQ(LanguageTagForOcr("eng", "enm-GB"), "en");
    EXPECT_EQ(LanguageTagForOcr("chi_sim", "zh-TW"), "zh-Hans");
    // Names it does not know are the locale's language, never a made-up tag.
    EXPECT_EQ(LanguageTagForOcr("xyz_old", "pt-BR"), "pt-BR");
    EXPECT_EQ(LanguageTagForOcr("", "pt-BR"), "pt-BR");
}

TEST(LanguageTagTest, LcAllThenLcMessagesThenLang) {
    Environment env;
    env.Set("LC_ALL", "fr_CA.UTF-8");
    env.Set("LC_MESSAGES", "de_AT");
    env.Set("LANG", "it_IT");
    EXPECT_EQ(LanguageTag(), "fr-CA");
    env.Set("LC_ALL", "");  // empty counts as unset
    EXPECT_EQ(LanguageTag(), "de-AT");
    env.Set("LC_MESSAGES", nullptr);
    EXPECT_EQ(LanguageTag(), "it-IT");
    env.Set("LANG", nullptr);
    EXPECT_EQ(LanguageTag(), "en-US");
    env.Set("LANG", "C");
    EXPECT_EQ(LanguageTag(), "en-US");
}

}  // namespace
}  // namespace vellumark::epub
