#include "imaging/StoredText.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "common/Utf8.h"

namespace vellumark::imaging {
namespace {

// Code points; kBad marks what is not text.
constexpr char32_t kBad = 0xFFFFFFFF;

std::vector<char32_t> FromUtf16(const std::vector<std::uint16_t>& units) {
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char32_t u = units[i];
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            out.push_back(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u < 0xE000) {
            out.push_back(kBad);
        } else {
            out.push_back(u);
        }
    }
    return out;
}

// Strict UTF-8; false when the bytes are not UTF-8.
bool FromUtf8(const std::uint8_t* b, std::size_t n, std::vector<char32_t>& out) {
    const std::string_view text(reinterpret_cast<const char*>(b), n);
    for (std::size_t i = 0; i < n;) {
        const Utf8Char c = DecodeUtf8(text, i);
        if (!c.valid)
            return false;
        out.push_back(c.value);
        i += c.length;
    }
    return true;
}

bool Printable(char32_t c) {
    if (c == kBad || c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0))
        return false;
    return c != 0xFFFE && c != 0xFFFF && c != 0xFEFF && c <= 0x10FFFF;
}

}  // namespace

std::string DecodeStoredText(const std::uint8_t* bytes, std::size_t size, bool sixteenBitUnits) {
    std::vector<char32_t> text;
    if (sixteenBitUnits) {
        std::vector<std::uint16_t> units(size / 2);
        if (!units.empty())
            std::memcpy(units.data(), bytes, units.size() * 2);
        text = FromUtf16(units);
    } else {
        // UTF-16LE shows itself by a byte-order mark or by mostly zero high bytes.
        std::size_t zeroHigh = 0;
        for (std::size_t i = 1; i < size; i += 2)
            zeroHigh += bytes[i] == 0;
        const bool bom = size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
        if (size >= 4 && (bom || zeroHigh * 10 >= (size / 2) * 6)) {
            std::vector<std::uint16_t> units(size / 2);
            for (std::size_t i = 0; i < units.size(); ++i)
                units[i] = static_cast<std::uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
            text = FromUtf16(units);
        } else if (!FromUtf8(bytes, size, text)) {
            text.assign(bytes, bytes + size);  // 8-bit text: take the bytes as Latin-1
        }
    }
    std::string out;
    bool gap = false;
    for (char32_t c : text) {
        if (c == '\r' || c == '\n') {
            while (!out.empty() && out.back() == ' ')
                out.pop_back();
            if (!out.empty() && out.back() != '\n')
                out += '\n';
            gap = false;
        } else if (c == '\t' || c == ' ' || !Printable(c)) {
            gap = true;
        } else {
            if (gap && !out.empty() && out.back() != '\n')
                out += ' ';
            gap = false;
            AppendUtf8(out, c);
        }
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

}  // namespace vellumark::imaging
