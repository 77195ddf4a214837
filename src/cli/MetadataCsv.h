#pragma once
// `convert --metadata FILE.csv`: a book's title, author and cover per input, from a table any
// spreadsheet writes. RFC 4180 CSV in UTF-8: a header row naming the columns (input, and any of
// title, author, cover, in any order), then a row per book; fields may be quoted, with "" for a
// quote, and quoted fields may hold commas and line breaks.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark::cli {

struct CsvRecord {
    int line = 0;  // where the record starts, counted from 1
    std::vector<std::string> fields;
};

// The records of a CSV text; blank lines are passed over and a UTF-8 byte-order mark at the start
// is ignored. Throws vellumark::Error (Usage) "line N: ..." for text that is not CSV (a quote in
// an unquoted field, text after a closing quote, an unterminated quote) or not UTF-8.
std::vector<CsvRecord> ParseCsv(std::string_view text);

struct MetadataRow {
    int line = 0;
    std::filesystem::path input;  // relative paths made relative to the table's folder
    std::string title;            // empty: not given
    std::string author;
    std::filesystem::path cover;  // empty: none; relative to the table's folder
};

// Reads a metadata table. Throws vellumark::Error (Usage) naming the file and the line: not
// readable, not CSV, no "input" column, an unknown or repeated column, a row of another width,
// a row without an input, or an input named twice.
std::vector<MetadataRow> ReadMetadataCsv(const std::filesystem::path& file);

}  // namespace vellumark::cli
