#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>

#include "TestTiff.h"
#include "epub/ImagePage.h"
#include "epub/LanguageTag.h"

namespace vellumark::epub {
namespace {

TEST(ImagePageTest, TemplateLineByLine) {
    EXPECT_EQ(ImagePageText("3.jpg", "page3", "en-US"),
              "<?xml version='1.0' encoding='utf-8'?>\r\n"
              "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"en-US\"> \r\n"
              "<head>\r\n"
              "<title>page3</title>\r\n"
              "<link href=\"stylesheet.css\" type=\"text/css\" rel=\"stylesheet\"/> \r\n"
              "</head>\r\n"
              "<body>\r\n"
              "<div>\r\n"
              "<img src=\"3.jpg\" alt=\"page3\" />\r\n"
              "</div>\r\n"
              "</body>\r\n"
              "</html>\r\n");
}

TEST(ImagePageTest, PictureReferenceIsEscapedAndKeepsUtf8) {
    const std::string text =
        ImagePageText("Tom & \"Jerry\" <\xc3\xa9t\xc3\xa9>.jpg", "cover", "de-DE");
    EXPECT_NE(text.find("<img src=\"Tom &amp; &quot;Jerry&quot; &lt;\xc3\xa9t\xc3\xa9&gt;.jpg\" "
                        "alt=\"cover\" />\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("xml:lang=\"de-DE\""), std::string::npos);
}

TEST(ImagePageTest, WriteReplacesAndReportsFailure) {
    testing::TempFolder folder;
    const auto path = folder / "page1.html";
    { std::ofstream(path) << std::string(1000, 'x'); }
    ASSERT_TRUE(WriteImagePage(path, "1.jpg", "page1", "en-US"));
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
              ImagePageText("1.jpg", "page1", "en-US"));
    EXPECT_FALSE(WriteImagePage(folder / "no" / "page1.html", "1.jpg", "page1", "en-US"));
}

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
