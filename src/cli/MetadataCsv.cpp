#include "cli/MetadataCsv.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "common/Error.h"
#include "common/Utf8.h"

namespace vellumark::cli {
namespace {

[[noreturn]] void Bad(int line, const std::string& why) {
    throw Error(ErrorCode::Usage, "line " + std::to_string(line) + ": " + why);
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::vector<CsvRecord> ParseCsv(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    std::vector<CsvRecord> records;
    int line = 1;
    std::size_t at = 0;
    // Each pass reads one record, or one blank line.
    while (at < text.size()) {
        CsvRecord record;
        record.line = line;
        const std::size_t recordStart = at;
        for (;;) {
            std::string field;
            if (at < text.size() && text[at] == '"') {
                const int opened = line;
                ++at;
                for (;;) {
                    if (at >= text.size())
                        Bad(opened, "a quoted field is not closed");
                    const char c = text[at++];
                    if (c == '"') {
                        if (at < text.size() && text[at] == '"') {
                            field += '"';
                            ++at;
                            continue;
                        }
                        break;
                    }
                    if (c == '\n')
                        ++line;
                    field += c;
                }
                if (at < text.size() && text[at] != ',' && text[at] != '\r' && text[at] != '\n')
                    Bad(line,
                        "text after a closing quote (a quote inside a field is written \"\")");
            } else {
                while (at < text.size() && text[at] != ',' && text[at] != '\r' &&
                       text[at] != '\n') {
                    if (text[at] == '"')
                        Bad(line, "a quote inside a field that does not start with one");
                    field += text[at++];
                }
            }
            if (!IsValidUtf8(field))
                Bad(line, "the text is not UTF-8");
            record.fields.push_back(std::move(field));
            if (at < text.size() && text[at] == ',') {
                ++at;
                continue;
            }
            break;
        }
        if (at < text.size() && text[at] == '\r')
            ++at;
        if (at < text.size() && text[at] == '\n')
            ++at;
        ++line;
        const bool blank =
            record.fields.size() == 1 && record.fields[0].empty() && text[recordStart] != '"';
        if (!blank)
            records.push_back(std::move(record));
    }
    return records;
}

std::vector<MetadataRow> ReadMetadataCsv(const std::filesystem::path& file) {
    const std::string name = file.string();
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw Error(ErrorCode::Usage, "cannot read the metadata table " + name, file);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    std::vector<CsvRecord> records;
    try {
        records = ParseCsv(text);
    } catch (const Error& e) {
        throw Error(ErrorCode::Usage, name + " " + e.what(), file);
    }
    const auto bad = [&](int line, const std::string& why) -> Error {
        return Error(ErrorCode::Usage, name + " line " + std::to_string(line) + ": " + why, file);
    };
    if (records.empty())
        throw Error(ErrorCode::Usage,
                    name + " is empty: it needs a header row (input,title,author,cover)", file);

    // Which column holds what.
    std::map<std::string, std::size_t> columns;
    for (std::size_t i = 0; i < records[0].fields.size(); ++i) {
        const std::string column = Lower(Trimmed(records[0].fields[i]));
        if (column != "input" && column != "title" && column != "author" && column != "cover")
            throw bad(records[0].line, "unknown column \"" + records[0].fields[i] +
                                           "\" (the columns are input, title, author, cover)");
        if (!columns.emplace(column, i).second)
            throw bad(records[0].line, "the column \"" + column + "\" is named twice");
    }
    if (!columns.contains("input"))
        throw bad(records[0].line, "no \"input\" column in the header row");

    const std::filesystem::path folder = file.parent_path();
    const auto field = [&](const CsvRecord& record, const char* column) {
        const auto found = columns.find(column);
        return found == columns.end() ? std::string() : record.fields[found->second];
    };
    std::vector<MetadataRow> rows;
    std::set<std::filesystem::path> inputs;
    for (std::size_t r = 1; r < records.size(); ++r) {
        const CsvRecord& record = records[r];
        if (record.fields.size() != records[0].fields.size()) {
            throw bad(record.line, std::to_string(record.fields.size()) +
                                       " fields where the header has " +
                                       std::to_string(records[0].fields.size()));
        }
        MetadataRow row;
        row.line = record.line;
        const std::string input = field(record, "input");
        if (input.empty())
            throw bad(record.line, "no input");
        row.input = (folder / input).lexically_normal();
        row.title = field(record, "title");
        row.author = field(record, "author");
        if (const std::string cover = field(record, "cover"); !cover.empty())
            row.cover = (folder / cover).lexically_normal();
        std::error_code ec;
        const std::filesystem::path same = std::filesystem::weakly_canonical(row.input, ec);
        if (!inputs.insert(ec ? row.input : same).second)
            throw bad(record.line, input + " has a row already");
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace vellumark::cli
