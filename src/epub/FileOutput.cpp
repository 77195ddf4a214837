#include "epub/FileOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/Error.h"
#include "common/Utf8.h"

namespace vellumark::epub {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

[[noreturn]] void ThrowWriteError(const std::filesystem::path& path, int err) {
    throw Error(ErrorCode::Io,
                "Cannot create file \"" + path.string() + "\". " + std::strerror(err), path);
}

// The Unicode characters XML 1.0 cannot hold besides the controls: U+FFFE and U+FFFF.
bool IsXmlNonCharacter(char32_t c) {
    return c == 0xFFFE || c == 0xFFFF;
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
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Char c = DecodeUtf8(text, at);
        if (!c.valid || IsXmlNonCharacter(c.value)) {
            safe += "\xEF\xBF\xBD";
        } else if (c.value >= 0x20 || c.value == '\t' || c.value == '\n' || c.value == '\r') {
            safe.append(text.substr(at, c.length));
        }
        at += c.length;
    }
    return safe;
}

std::string EscapeXmlText(std::string_view text) {
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
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::string EscapeXmlAttribute(std::string_view text) {
    std::string escaped;
    for (char c : EscapeXmlText(text)) {
        switch (c) {
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
