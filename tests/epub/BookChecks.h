#pragma once
// Checking books from the tests: epubcheck and the independent ZIP reader (book_entries.py).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "CommandLineChecks.h"
#include "RunProgram.h"

namespace vellumark::epub::testing {

using vellumark::testing::ReadWhole;
using vellumark::testing::RunProgram;
using vellumark::testing::RunResult;

// The book's entries as an independent reader sees them ("name method size crc" lines).
inline std::string BookEntries(const std::filesystem::path& book) {
    const RunResult result = RunProgram("python3", {VELLUMARK_TEST_BOOK_ENTRIES, book.string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result.out;
}

using vellumark::testing::ExpectValidBook;
using vellumark::testing::ExpectValidBooks;

// A file of the book's content folder, as unzip reads it.
inline std::string BookFile(const std::filesystem::path& book, const std::string& name) {
    const RunResult result = RunProgram("unzip", {"-p", book.string(), "OEBPS/" + name});
    EXPECT_EQ(result.exitCode, 0) << name << ": " << result.err;
    return result.out;
}

}  // namespace vellumark::epub::testing
