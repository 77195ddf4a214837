#include "epub/FileOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/Error.h"

namespace vellumark::epub {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

[[noreturn]] void ThrowWriteError(const std::filesystem::path& path, int err) {
    throw Error(ErrorCode::Io,
                "Cannot create file \"" + path.string() + "\". " + std::strerror(err), path);
}

// Length of the valid UTF-8 sequence at the start of `text`, or 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    if (byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    // U+FFFE and U+FFFF are not XML characters.
    if (length == 3 && lead == 0xEF && byte(1) == 0xBF && byte(2) >= 0xBE)
        return 0;
    return length;
}

}  // namespace

void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        ThrowWriteError(path, errno);
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        ThrowWriteError(path, errno);
    }
    // Report a failed flush (a full disk) instead of leaving a short file behind silently.
    if (std::fclose(file.release()) != 0)
        ThrowWriteError(path, errno);
}

std::string XmlSafeText(std::string_view text) {
    std::string safe;
    safe.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = Utf8SequenceLength(text);
        if (length == 0) {
            safe += "\xEF\xBF\xBD";
            text.remove_prefix(1);
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(text[0]);
        if (length > 1 || c >= 0x20 || c == '\t' || c == '\n' || c == '\r') {
            safe.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return safe;
}

std::string EscapeXmlAttribute(std::string_view text) {
    std::string escaped;
    for (char c : XmlSafeText(text)) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            // A parser would turn these into spaces inside an attribute.
            case '\t':
                escaped += "&#9;";
                break;
            case '\n':
                escaped += "&#10;";
                break;
            case '\r':
                escaped += "&#13;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

}  // namespace vellumark::epub
