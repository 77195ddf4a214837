#include "epub/BlankFont.h"

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string_view>

namespace vellumark::epub {
namespace {

constexpr int kUnitsPerEm = 1000;
constexpr int kAdvance = 500;
constexpr int kAscent = 800;
constexpr int kDescent = 200;
constexpr int kGlyphs = 2;
constexpr std::string_view kName = "VellumarkBlank";

// Big-endian fields, as TrueType stores them.
class Bytes {
public:
    Bytes& U16(std::uint32_t v) {
        out_ += static_cast<char>((v >> 8) & 0xFF);
        out_ += static_cast<char>(v & 0xFF);
        return *this;
    }
    Bytes& S16(int v) { return U16(static_cast<std::uint16_t>(static_cast<std::int16_t>(v))); }
    Bytes& U32(std::uint32_t v) { return U16(v >> 16).U16(v & 0xFFFF); }
    Bytes& U64(std::uint64_t v) {
        return U32(static_cast<std::uint32_t>(v >> 32)).U32(v & 0xFFFFFFFF);
    }
    Bytes& U16s(std::initializer_list<std::uint32_t> values) {
        for (std::uint32_t v : values)
            U16(v);
        return *this;
    }
    Bytes& S16s(std::initializer_list<int> values) {
        for (int v : values)
            S16(v);
        return *this;
    }
    Bytes& Raw(std::string_view bytes) {
        out_ += bytes;
        return *this;
    }
    std::string& Text() { return out_; }

private:
    std::string out_;
};

std::uint32_t Checksum(std::string data) {
    data.append((4 - data.size() % 4) % 4, '\0');
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < data.size(); i += 4) {
        sum += (static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << 24) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(data[i + 1])) << 16) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(data[i + 2])) << 8) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(data[i + 3]));
    }
    return sum;
}

std::string Head() {
    Bytes b;
    b.U16s({1, 0}).U32(0x00010000).U32(0).U32(0x5F0F3CF5).U16(0x000B).U16(kUnitsPerEm);
    b.U64(0).U64(0);  // created, modified: none, so that every book has the same font
    b.S16s({0, -kDescent, kAdvance, kAscent}).U16s({0, 8}).S16s({2, 0, 0});
    return b.Text();
}

std::string HorizontalHeader() {
    Bytes b;
    b.U16s({1, 0}).S16s({kAscent, -kDescent, 0}).U16(kAdvance).S16s({0, 0, kAdvance, 1, 0, 0});
    b.S16s({0, 0, 0, 0, 0}).U16(kGlyphs);
    return b.Text();
}

std::string MaximumProfile() {
    Bytes b;
    b.U32(0x00010000).U16s({kGlyphs, 4, 1, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0});
    return b.Text();
}

std::string Os2() {
    Bytes b;
    b.U16(4).S16(kAdvance).U16s({400, 5, 0});
    b.S16s({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    b.Raw(std::string(10, '\0')).U32(0).U32(0).U32(0).U32(0).Raw("NONE");
    b.U16s({0x00C0, 0x0020, 0xFFFF}).S16s({kAscent, -kDescent, 0}).U16s({kAscent, kDescent});
    b.U32(1).U32(0).S16s({0, 0}).U16s({0, 0x20, 0});
    return b.Text();
}

// Every code point but the surrogates maps to glyph 1.
std::string CharacterMap() {
    Bytes b;
    b.U16s({0, 1, 3, 10}).U32(12);
    b.U16s({13, 0}).U32(16 + 12 * 2).U32(0).U32(2);
    b.U32(0x0000).U32(0xD7FF).U32(1);
    b.U32(0xE000).U32(0x10FFFF).U32(1);
    return b.Text();
}

std::string Names() {
    const std::pair<int, std::string_view> records[] = {
        {1, kName}, {2, "Regular"}, {3, kName}, {4, kName}, {6, kName}};
    Bytes table;
    std::string strings;
    table.U16s({0, std::size(records), 6 + 12 * std::size(records)});
    for (const auto& [id, text] : records) {
        std::string utf16;
        for (char c : text) {
            utf16 += '\0';
            utf16 += c;
        }
        table.U16s({3, 1, 0x409, static_cast<std::uint32_t>(id),
                    static_cast<std::uint32_t>(utf16.size()),
                    static_cast<std::uint32_t>(strings.size())});
        strings += utf16;
    }
    return table.Raw(strings).Text();
}

// Glyph 0 (.notdef) is a small box, since browsers' font checks refuse a font without any
// outline; glyph 1, which every character uses, is empty.
std::string Glyphs() {
    Bytes b;
    b.S16s({1, 50, 0, 450, 500}).U16s({3, 0}).Raw("\x01\x01\x01\x01");
    b.S16s({50, 0, 400, 0}).S16s({0, 500, 0, -500});
    return b.Text();
}

}  // namespace

std::string BlankFontBytes() {
    const std::string glyphs = Glyphs();
    Bytes location;
    location.U16s({0, static_cast<std::uint32_t>(glyphs.size() / 2),
                   static_cast<std::uint32_t>(glyphs.size() / 2)});
    Bytes metrics;
    metrics.U16(kAdvance).S16(0).U16(kAdvance).S16(0);
    Bytes post;
    post.U32(0x00030000).U32(0).S16s({0, 0}).U32(1).U32(0).U32(0).U32(0).U32(0);
    const std::map<std::string, std::string> tables = {
        {"OS/2", Os2()},           {"cmap", CharacterMap()},     {"glyf", glyphs},
        {"head", Head()},          {"hhea", HorizontalHeader()}, {"hmtx", metrics.Text()},
        {"loca", location.Text()}, {"maxp", MaximumProfile()},   {"name", Names()},
        {"post", post.Text()}};

    const auto count = static_cast<std::uint32_t>(tables.size());
    std::uint32_t selector = 0;
    while ((2u << selector) <= count)
        ++selector;
    Bytes font;
    font.U32(0x00010000).U16s({count, 16u << selector, selector, count * 16 - (16u << selector)});
    std::uint32_t offset = 12 + 16 * count;
    std::string body;
    std::size_t headAt = 0;
    for (const auto& [tag, data] : tables) {  // std::map: sorted by tag, as required
        if (tag == "head")
            headAt = offset;
        font.Raw(tag).U32(Checksum(data)).U32(offset).U32(static_cast<std::uint32_t>(data.size()));
        std::string padded = data;
        padded.append((4 - data.size() % 4) % 4, '\0');
        body += padded;
        offset += static_cast<std::uint32_t>(padded.size());
    }
    std::string whole = font.Raw(body).Text();
    const std::uint32_t adjust = 0xB1B0AFBA - Checksum(whole);
    for (int i = 0; i < 4; ++i)
        whole[headAt + 8 + i] = static_cast<char>((adjust >> (24 - 8 * i)) & 0xFF);
    return whole;
}

}  // namespace vellumark::epub
