#include "structure/TocFile.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

#include "common/Error.h"
#include "common/Utf8.h"

namespace vellumark::structure {
namespace {

constexpr int kMaxLevel = 9;

std::vector<std::string> Fields(std::string_view line) {
    std::vector<std::string> fields;
    std::string field;
    for (char c : line) {
        if (c == ' ' || c == '\t' || c == '\r') {
            if (!field.empty())
                fields.push_back(std::move(field));
            field.clear();
        } else {
            field += c;
        }
    }
    if (!field.empty())
        fields.push_back(std::move(field));
    return fields;
}

std::optional<int> Number(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

[[noreturn]] void Bad(const std::string& fileName, int line, const std::string& what) {
    throw Error(ErrorCode::Usage, fileName + ":" + std::to_string(line) + ": " + what, fileName);
}

}  // namespace

std::vector<TocFileEntry> ParseTocFile(std::string_view text, const std::string& fileName) {
    std::vector<TocFileEntry> entries;
    int lineNumber = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        const std::vector<std::string> fields = Fields(line);
        if (fields.empty() || fields[0][0] == '#')
            continue;
        if (!IsValidUtf8(line))
            Bad(fileName, lineNumber, "the line is not UTF-8 text");
        if (fields.size() < 3) {
            Bad(fileName, lineNumber,
                "expected LEVEL TITLE PAGE (as \"1 The Storm 27\" or \"1 Preface @3\")");
        }
        TocFileEntry entry;
        entry.lineNumber = lineNumber;
        const auto level = Number(fields[0]);
        if (!level || *level < 1 || *level > kMaxLevel) {
            Bad(fileName, lineNumber,
                "the level is a number from 1 to " + std::to_string(kMaxLevel) + ", not \"" +
                    fields[0] + "\"");
        }
        entry.level = *level;
        const std::string& page = fields.back();
        if (page[0] == '@') {
            const auto scan = Number(std::string_view(page).substr(1));
            if (!scan || *scan < 1)
                Bad(fileName, lineNumber, "\"" + page + "\" is not a scan page (@1, @2, ...)");
            entry.scanPage = *scan;
        } else {
            entry.label = page;
        }
        for (std::size_t i = 1; i + 1 < fields.size(); ++i)
            entry.title += (i > 1 ? " " : "") + fields[i];
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<TocFileEntry> ReadTocFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (in)
        text << in.rdbuf();
    if (!in || in.bad())
        throw Error(ErrorCode::Usage, "Cannot read the contents file " + path.string(), path);
    return ParseTocFile(text.str(), path.string());
}

std::vector<Heading> ResolveTocFile(const std::vector<TocFileEntry>& entries,
                                    const std::vector<std::string>& labels, int pageCount,
                                    const std::string& fileName) {
    std::vector<Heading> headings;
    for (const TocFileEntry& entry : entries) {
        int page = -1;
        if (entry.scanPage > 0) {
            if (entry.scanPage > pageCount) {
                Bad(fileName, entry.lineNumber,
                    "@" + std::to_string(entry.scanPage) + " is past the scan's last page (" +
                        std::to_string(pageCount) + ")");
            }
            page = entry.scanPage - 1;
        } else {
            for (std::size_t p = 0; p < labels.size() && page < 0; ++p) {
                if (labels[p] == entry.label)
                    page = static_cast<int>(p);
            }
            if (page < 0) {
                Bad(fileName, entry.lineNumber,
                    "no page is labelled \"" + entry.label + "\" (write @N for the scan's page N)");
            }
        }
        headings.push_back({page, entry.level, entry.title});
    }
    return headings;
}

std::string TocFileLine(const Heading& heading, const std::vector<std::string>& labels) {
    std::string title;
    for (std::size_t at = 0; at < heading.title.size();) {
        const Utf8Char c = DecodeUtf8(heading.title, at);
        at += c.length;
        if (!c.valid)
            AppendUtf8(title, U'\uFFFD');
        else if (c.value < 0x20 || c.value == 0x7F)
            title += ' ';
        else
            AppendUtf8(title, c.value);
    }
    if (Fields(title).empty())
        title = "Untitled";
    // A label names the page when it reads back as one label and no earlier page has it.
    const auto page = static_cast<std::size_t>(heading.page);
    const std::string label = page < labels.size() ? labels[page] : std::string();
    const bool byLabel = Fields(label) == std::vector<std::string>{label} && label[0] != '@' &&
                         IsValidUtf8(label) &&
                         std::find(labels.begin(), labels.end(), label) ==
                             labels.begin() + static_cast<std::ptrdiff_t>(page);
    return std::to_string(heading.level) + " " + title + " " +
           (byLabel ? label : "@" + std::to_string(heading.page + 1));
}

}  // namespace vellumark::structure
