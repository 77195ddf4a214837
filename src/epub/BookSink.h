#pragma once
// Where a conversion puts the files of a book. The engine hands every sink the same files in the
// same order, the order of the book's archive; two roads take them:
// - the window's: each file is written below the working folder, which already holds the
//   container files, and the folder is packed whole at the end (ZipFolder);
// - the command line's and the shelves': each file goes straight into the book's archive, with
//   no file staged anywhere.
// For the same files and time both make the same bytes.

#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/Scheduler.h"

namespace vellumark::epub {

inline constexpr const char* kContentPrefix = "OEBPS/";

class BookSink {
public:
    virtual ~BookSink() = default;
    // A file of the book, named from the book's root ("OEBPS/1.jpg"), in the archive's order.
    // Throws vellumark::Error.
    virtual void Add(const std::string& name, std::vector<std::uint8_t> bytes) = 0;
    // The book is complete: it appears at `output` whole, over a file standing there only when
    // `replace`. On a failure nothing new is left beside it. Throws vellumark::Error, whose text
    // names the book.
    virtual void Commit(const std::filesystem::path& output, bool replace) = 0;
};

struct SinkOptions {
    unsigned jobs = 0;  // threads that compress, when no scheduler is given; 0: one per core
    // The run's workers, shared with its other work; may be null (the folder packer has its
    // own threads).
    Scheduler* scheduler = nullptr;
    std::time_t time = 0;  // every entry's time
};

// The window's road. Only files below the content folder are written; the working folder's own
// container files are packed as they stand.
std::unique_ptr<BookSink> MakeFolderSink(const std::filesystem::path& workingFolder,
                                         const SinkOptions& options);

// The streaming road: the archive is built in a temporary file beside `output` from the start.
// Throws vellumark::Error (Io) when it cannot be created there.
std::unique_ptr<BookSink> MakeArchiveSink(const std::filesystem::path& output,
                                          const SinkOptions& options);

// Adds the container files of `folder` as a packed working folder holds them: "mimetype",
// then every file below "META-INF" in walk order. Throws vellumark::Error (Io) when they cannot
// be read.
void AddContainerFiles(const std::filesystem::path& folder, BookSink& sink);

// Gives a sink a book's files in walk order (the order of a packed folder), whatever order they
// are made in: small files are kept until the files that sort before them have come.
class OrderedFiles {
public:
    explicit OrderedFiles(BookSink& sink) : sink_(sink) {}
    // Adds a file now, after the kept files that sort before it. Every file added later must
    // sort after it.
    void AddNow(const std::string& name, std::vector<std::uint8_t> bytes);
    // Keeps a file, in memory, until Finish or until a file that sorts after it is added.
    void Keep(const std::string& name, std::vector<std::uint8_t> bytes);
    void Keep(const std::string& name, const std::string& text);
    // Changes a file still kept; false when it has been added already (or was never given).
    bool Amend(const std::string& name,
               const std::function<void(std::vector<std::uint8_t>&)>& change);
    // Adds every file kept.
    void Finish();

private:
    struct WalkOrder {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    // Throws vellumark::Error (Internal) for a file that would break the order.
    void CheckAfterLast(const std::string& name) const;
    void Add(const std::string& name, std::vector<std::uint8_t> bytes);

    BookSink& sink_;
    std::map<std::string, std::vector<std::uint8_t>, WalkOrder> kept_;
    std::string last_;
};

}  // namespace vellumark::epub
