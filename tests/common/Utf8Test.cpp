#include <gtest/gtest.h>

#include <string>

#include "common/Utf8.h"

namespace vellumark {
namespace {

TEST(Utf8Test, DecodesEveryLengthAndEncodesItBack) {
    const std::u32string characters = {U'A', U'\u00E9', U'\u20AC', U'\U0001F600', U'\U0010FFFF'};
    std::string text;
    for (char32_t c : characters)
        AppendUtf8(text, c);
    EXPECT_EQ(text, "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF");
    std::u32string decoded;
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Char c = DecodeUtf8(text, at);
        ASSERT_TRUE(c.valid) << at;
        decoded += c.value;
        at += c.length;
    }
    EXPECT_EQ(decoded, characters);
    EXPECT_TRUE(IsValidUtf8(text));
}

TEST(Utf8Test, MalformedSequencesTakeOneByteAndAreNotValid) {
    for (const std::string& bad : {
             std::string("\x80"),              // a continuation byte first
             std::string("\xC0\xAF"),          // overlong "/"
             std::string("\xE0\x80\xAF"),      // overlong, three bytes
             std::string("\xED\xA0\x80"),      // a surrogate
             std::string("\xF4\x90\x80\x80"),  // beyond U+10FFFF
             std::string("\xE2\x82"),          // cut short
             std::string("\xC3\x28"),          // not followed by a continuation byte
             std::string("\xFF"),
         }) {
        const Utf8Char c = DecodeUtf8(bad, 0);
        EXPECT_FALSE(c.valid) << ::testing::PrintToString(bad);
        EXPECT_EQ(c.length, 1u);
        EXPECT_FALSE(IsValidUtf8("ok " + bad + " ok"));
    }
    EXPECT_TRUE(IsValidUtf8(""));
    // Characters are counted as decoding steps through them: a bad byte is one.
    EXPECT_EQ(CharacterCount("harbour"), 7u);
    EXPECT_EQ(CharacterCount("\xC2\xA9 \xE2\x82\xAC\xF0\x9F\x93\x96"), 4u);  // © €📖
    EXPECT_EQ(CharacterCount("\xE2\x82"), 2u);
    EXPECT_EQ(CharacterCount(""), 0u);
}

}  // namespace
}  // namespace vellumark
