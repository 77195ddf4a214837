#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "imaging/StoredText.h"

namespace vellumark::imaging {
namespace {

TEST(StoredTextTest, DecodesWhatIsPlainlyText) {
    auto decode = [](const std::string& s, bool units = false) {
        return DecodeStoredText(reinterpret_cast<const std::uint8_t*>(s.data()), s.size(), units);
    };
    EXPECT_EQ(decode("plain text"), "plain text");
    EXPECT_EQ(decode("caf\xc3\xa9  and\ttabs\r\nnext"), "caf\xc3\xa9 and tabs\nnext");
    EXPECT_EQ(decode(std::string("\xff\xfeH\0i\0 \0\xe9\0", 10)), "Hi \xc3\xa9");
    EXPECT_EQ(decode(std::string("A\0B\0C\0", 6)), "ABC");  // UTF-16LE without a mark
    EXPECT_EQ(decode("caf\xe9"), "caf\xc3\xa9");            // not UTF-8: taken as Latin-1
    EXPECT_EQ(decode(std::string("\x01\x02word\x00\x03\x04other\x7f", 15)), "word other");
    const std::uint16_t units[] = {0x48, 0x49, 0xD800};  // a lone surrogate is dropped
    EXPECT_EQ(DecodeStoredText(reinterpret_cast<const std::uint8_t*>(units), sizeof units, true),
              "HI");
    EXPECT_EQ(decode(""), "");
}

}  // namespace
}  // namespace vellumark::imaging
