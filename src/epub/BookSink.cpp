#include "epub/BookSink.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "common/Error.h"
#include "common/TempFolder.h"
#include "epub/FileOutput.h"
#include "epub/Folders.h"
#include "zip/DirSearch.h"
#include "zip/StreamedZip.h"
#include "zip/ZipFolder.h"

namespace vellumark::epub {
namespace fs = std::filesystem;
namespace {

std::string FailedText(const fs::path& output) {
    return "Failed to build " + output.string() + ": ";
}

// Runs `step`; an error keeps its code (so its exit code) and its text says which book failed.
template <typename Step>
void NamingTheBook(const fs::path& output, Step&& step) {
    try {
        step();
    } catch (const Error& e) {
        throw Error(e.Code(), FailedText(output) + DescribeError(e), e.Path(), e.Page());
    }
}

std::vector<std::uint8_t> ReadContainerFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    if (!in.is_open() || in.bad())
        throw Error(ErrorCode::Io, "Cannot read the container file " + path.string(), path);
    return bytes;
}

class FolderSink final : public BookSink {
public:
    FolderSink(fs::path workingFolder, const SinkOptions& options)
        : workingFolder_(std::move(workingFolder)), options_(options) {}

    void Add(const std::string& name, std::vector<std::uint8_t> bytes) override {
        if (name.rfind(kContentPrefix, 0) != 0)
            return;  // the working folder's own container files
        WriteFileBytes(workingFolder_ / name,
                       std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }

    // Packs the working folder into a private folder beside the book, so that the archive is
    // written whole before it takes the book's name, then renames it into place.
    void Commit(const fs::path& output, bool) override {
        const fs::path outputFolder = output.parent_path();
        const TempFolder staging =
            TempFolder::Create(outputFolder, kStagingFolderPrefix, [&](const std::string& reason) {
                return FailedText(output) + "cannot write in " + outputFolder.string() + " (" +
                       reason + ")";
            });
        const fs::path temporary = staging.Path() / "book.epub";
        zip::ZipFolderOptions zipOptions;
        zipOptions.jobs = options_.jobs;
        zipOptions.entryTime = options_.time;
        NamingTheBook(output, [&] { zip::ZipFolder(temporary, workingFolder_, zipOptions); });
        std::error_code ec;
        fs::rename(temporary, output, ec);
        if (ec)
            throw Error(ErrorCode::Io, FailedText(output) + ec.message(), output);
    }

private:
    fs::path workingFolder_;
    SinkOptions options_;
};

class ArchiveSink final : public BookSink {
public:
    ArchiveSink(const fs::path& output, const SinkOptions& options) : output_(output) {
        zip::StreamedZipOptions zipOptions;
        zipOptions.jobs = options.jobs;
        zipOptions.scheduler = options.scheduler;
        zipOptions.time = options.time;
        NamingTheBook(output,
                      [&] { zip_ = std::make_unique<zip::StreamedZip>(output, zipOptions); });
    }

    void Add(const std::string& name, std::vector<std::uint8_t> bytes) override {
        // A book's "mimetype" is stored, so that it can be read at a fixed place.
        const auto method =
            name == "mimetype" ? zip::EntryMethod::Stored : zip::EntryMethod::Deflated;
        NamingTheBook(output_, [&] { zip_->Add(name, std::move(bytes), method); });
    }

    void Commit(const fs::path& output, bool replace) override {
        if (output != output_)
            throw Error(ErrorCode::Internal, "The book was begun under another name", output);
        NamingTheBook(output_, [&] { zip_->Commit(replace); });
    }

private:
    fs::path output_;
    std::unique_ptr<zip::StreamedZip> zip_;
};

}  // namespace

std::unique_ptr<BookSink> MakeFolderSink(const fs::path& workingFolder,
                                         const SinkOptions& options) {
    return std::make_unique<FolderSink>(workingFolder, options);
}

std::unique_ptr<BookSink> MakeArchiveSink(const fs::path& output, const SinkOptions& options) {
    return std::make_unique<ArchiveSink>(output, options);
}

void AddContainerFiles(const fs::path& folder, BookSink& sink) {
    sink.Add("mimetype", ReadContainerFile(folder / "mimetype"));
    const std::string root = (folder / "META-INF").string() + "/";
    zip::TDirSearch walk(root, true, "*.*");
    for (auto found = walk.NextPath(); !found.path.empty(); found = walk.NextPath()) {
        if (found.path.back() == '/')
            continue;  // folders have no entries
        sink.Add("META-INF/" + found.path.substr(root.size()), ReadContainerFile(found.path));
    }
}

bool OrderedFiles::WalkOrder::operator()(const std::string& a, const std::string& b) const {
    return zip::WalkLess(a, b);
}

void OrderedFiles::CheckAfterLast(const std::string& name) const {
    if (!last_.empty() && !zip::WalkLess(last_, name))
        throw Error(ErrorCode::Internal, "A book's file came out of order: " + name);
}

void OrderedFiles::Add(const std::string& name, std::vector<std::uint8_t> bytes) {
    CheckAfterLast(name);
    sink_.Add(name, std::move(bytes));
    last_ = name;
}

void OrderedFiles::AddNow(const std::string& name, std::vector<std::uint8_t> bytes) {
    while (!kept_.empty() && zip::WalkLess(kept_.begin()->first, name)) {
        auto node = kept_.extract(kept_.begin());
        Add(node.key(), std::move(node.mapped()));
    }
    Add(name, std::move(bytes));
}

void OrderedFiles::Keep(const std::string& name, std::vector<std::uint8_t> bytes) {
    CheckAfterLast(name);
    kept_.insert_or_assign(name, std::move(bytes));
}

void OrderedFiles::Keep(const std::string& name, const std::string& text) {
    Keep(name, std::vector<std::uint8_t>(text.begin(), text.end()));
}

bool OrderedFiles::Amend(const std::string& name,
                         const std::function<void(std::vector<std::uint8_t>&)>& change) {
    const auto it = kept_.find(name);
    if (it == kept_.end())
        return false;
    change(it->second);
    return true;
}

void OrderedFiles::Finish() {
    while (!kept_.empty()) {
        auto node = kept_.extract(kept_.begin());
        Add(node.key(), std::move(node.mapped()));
    }
}

}  // namespace vellumark::epub
