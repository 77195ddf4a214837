#include <gtest/gtest.h>

#include <fstream>

#include "TestTiff.h"
#include "cli/MetadataCsv.h"
#include "common/Error.h"

namespace vellumark::cli {
namespace {

std::vector<std::vector<std::string>> Fields(std::string_view text) {
    std::vector<std::vector<std::string>> fields;
    for (const CsvRecord& record : ParseCsv(text))
        fields.push_back(record.fields);
    return fields;
}

std::string ParseError(std::string_view text) {
    try {
        ParseCsv(text);
    } catch (const Error& e) {
        EXPECT_EQ(e.Code(), ErrorCode::Usage);
        return e.what();
    }
    return {};
}

TEST(MetadataCsvTest, QuotesCommasLineBreaksAndUtf8AsSpreadsheetsWriteThem) {
    const auto records = ParseCsv(
        "\xEF\xBB\xBFinput,title\r\n"
        "a.tif,\"Minutes, 1999\"\r\n"
        "\r\n"
        "b.tif,\"He said \"\"no\"\"\"\n"
        "c.tif,\"Two\nlines\"\n"
        "d.tif,Caf\xC3\xA9 \xE2\x80\x94 Men\xC3\xBC\n"
        "e.tif,\n"
        "\"\",x");
    ASSERT_EQ(records.size(), 7u);
    EXPECT_EQ(records[0].fields, (std::vector<std::string>{"input", "title"}));
    EXPECT_EQ(records[1].fields[1], "Minutes, 1999");
    EXPECT_EQ(records[2].line, 4);  // the blank line counts, but makes no record
    EXPECT_EQ(records[2].fields[1], "He said \"no\"");
    EXPECT_EQ(records[3].fields[1], "Two\nlines");
    EXPECT_EQ(records[4].line, 7);  // after a field of two lines
    EXPECT_EQ(records[4].fields[1], "Caf\xC3\xA9 \xE2\x80\x94 Men\xC3\xBC");
    EXPECT_EQ(records[5].fields, (std::vector<std::string>{"e.tif", ""}));
    EXPECT_EQ(records[6].fields, (std::vector<std::string>{"", "x"}));
    EXPECT_TRUE(Fields("").empty());
}

TEST(MetadataCsvTest, MalformedTextNamesItsLine) {
    EXPECT_EQ(ParseError("input\nab\"c\n"),
              "line 2: a quote inside a field that does not start with one");
    EXPECT_EQ(ParseError("input\n\"ab\"c\n"),
              "line 2: text after a closing quote (a quote inside a field is written \"\")");
    EXPECT_EQ(ParseError("input\nx\n\"never\nclosed\n"), "line 3: a quoted field is not closed");
    EXPECT_EQ(ParseError("input\nx\ncaf\xE9\n"), "line 3: the text is not UTF-8");
}

class MetadataFileTest : public ::testing::Test {
protected:
    std::string ReadError(const std::string& text) {
        Write(text);
        try {
            ReadMetadataCsv(file_);
        } catch (const Error& e) {
            EXPECT_EQ(e.Code(), ErrorCode::Usage);
            const std::string what = e.what();
            EXPECT_EQ(what.rfind(file_.string() + " ", 0), 0u) << what;
            return what.substr(file_.string().size() + 1);
        }
        return {};
    }
    void Write(const std::string& text) { std::ofstream(file_, std::ios::binary) << text; }

    vellumark::testing::TempFolder folder_;
    std::filesystem::path file_ = folder_ / "shelf.csv";
};

TEST_F(MetadataFileTest, ColumnsInAnyOrderAndPathsFromTheTablesFolder) {
    Write("Cover, INPUT ,author\nfront.jpg,scans/a.tif,Ann\n,/abs/b.tif,\n");
    const auto rows = ReadMetadataCsv(file_);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].line, 2);
    EXPECT_EQ(rows[0].input, folder_ / "scans/a.tif");
    EXPECT_EQ(rows[0].cover, folder_ / "front.jpg");
    EXPECT_EQ(rows[0].author, "Ann");
    EXPECT_EQ(rows[0].title, "");
    EXPECT_EQ(rows[1].input, "/abs/b.tif");
    EXPECT_TRUE(rows[1].cover.empty());
}

TEST_F(MetadataFileTest, BadTablesAreRefusedNamingTheLine) {
    EXPECT_EQ(ReadError(""), "is empty: it needs a header row (input,title,author,cover)");
    EXPECT_EQ(ReadError("title,author\nx,y\n"), "line 1: no \"input\" column in the header row");
    EXPECT_EQ(ReadError("input,year\n"),
              "line 1: unknown column \"year\" (the columns are input, title, author, cover)");
    EXPECT_EQ(ReadError("input,title,Title\n"), "line 1: the column \"title\" is named twice");
    EXPECT_EQ(ReadError("input,title\na.tif,A\nb.tif\n"),
              "line 3: 1 fields where the header has 2");
    EXPECT_EQ(ReadError("input,title\n,A\n"), "line 2: no input");
    EXPECT_EQ(ReadError("input\na.tif\n./a.tif\n"), "line 3: ./a.tif has a row already");
    EXPECT_EQ(ReadError("input\n\"a.tif\n"), "line 2: a quoted field is not closed");
    std::filesystem::remove(file_);
    try {
        ReadMetadataCsv(file_);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "cannot read the metadata table " + file_.string());
    }
}

}  // namespace
}  // namespace vellumark::cli
