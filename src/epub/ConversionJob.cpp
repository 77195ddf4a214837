#include "epub/ConversionJob.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <new>
#include <optional>
#include <system_error>
#include <vector>

#include "common/Error.h"
#include "common/Jobs.h"
#include "common/TempFolder.h"
#include "epub/BookDocuments.h"
#include "epub/FileOutput.h"
#include "epub/FixedLayoutBook.h"
#include "epub/FixedLayoutPage.h"
#include "epub/Folders.h"
#include "epub/ImagePage.h"
#include "epub/LanguageTag.h"
#include "epub/PageExport.h"
#include "imaging/Jpeg.h"
#include "zip/ZipFolder.h"

namespace vellumark::epub {
namespace fs = std::filesystem;
namespace {

ConversionResult Refuse(ConversionReporter& reporter, const std::string& text) {
    reporter.Note(text);
    return {ConversionOutcome::Refused, {}, text, 2};
}

ConversionResult Fail(const fs::path& output, const std::string& text, int exitCode = 1) {
    return {ConversionOutcome::Failed, output, text, exitCode};
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// "cover" + the picture's extension in lower case, so that it never collides with a page
// picture and never needs escaping. A JPEG under another extension is stored as cover.jpg.
std::string CoverNameFor(const fs::path& cover) {
    std::string extension = cover.extension().string();
    for (char& c : extension)
        c = AsciiLower(c);
    return extension == ".jpeg" ? "cover.jpeg" : "cover.jpg";
}

// Why the cover cannot be used, or nothing when it is a readable JPEG file; then `size` is its
// size in pixels.
std::optional<std::string> CheckCover(const fs::path& cover, std::pair<int, int>& size) {
    std::error_code ec;
    const std::string cannotRead = "Cannot read the cover picture: " + cover.string();
    const std::string notJpeg = "The cover picture is not a JPEG file: " + cover.string();
    if (!fs::is_regular_file(cover, ec))
        return cannotRead;
    std::ifstream in(cover, std::ios::binary);
    if (!in)
        return cannotRead;
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    if (in.bad())
        return cannotRead;
    if (bytes.size() < 3 || bytes[0] != 0xFF || bytes[1] != 0xD8 || bytes[2] != 0xFF)
        return notJpeg;
    // A picture whose size cannot be read cannot be given its page's viewport.
    const auto jpegSize = imaging::JpegSize(bytes);
    if (!jpegSize)
        return notJpeg;
    size = *jpegSize;
    return std::nullopt;
}

bool IsWithin(const fs::path& inner, const fs::path& outer) {
    std::error_code ec;
    const fs::path a = fs::weakly_canonical(fs::absolute(inner, ec), ec);
    const fs::path b = fs::weakly_canonical(fs::absolute(outer, ec), ec);
    if (ec)
        return false;
    auto [end, unused] = std::mismatch(b.begin(), b.end(), a.begin(), a.end());
    (void)unused;
    return end == b.end();
}

// Packs the working folder into a private folder beside the book, so that the archive is
// written whole before it takes the book's name and a failed write leaves nothing (and an old
// book untouched); then renames it into place.
ConversionResult PackBook(const fs::path& workingFolder, const fs::path& outputFolder,
                          const fs::path& output, unsigned jobs, WorkSlots* cores) {
    const std::string failed = "Failed to build " + output.string() + ": ";
    const TempFolder staging =
        TempFolder::Create(outputFolder, kStagingFolderPrefix, [&](const std::string& reason) {
            return failed + "cannot write in " + outputFolder.string() + " (" + reason + ")";
        });
    const fs::path temporary = staging.Path() / "book.epub";
    zip::ZipFolderOptions options;
    options.jobs = jobs;
    options.cores = cores;
    try {
        zip::ZipFolder(temporary, workingFolder, options);
    } catch (const Error& e) {
        // The reason keeps its code (so its exit code); the text says which book failed.
        throw Error(e.Code(), failed + DescribeError(e), e.Path(), e.Page());
    }
    std::error_code ec;
    fs::rename(temporary, output, ec);
    if (ec)
        return Fail(output, failed + ec.message());
    return {ConversionOutcome::Succeeded, output, kSuccessPrefix + output.string(), 0};
}

ConversionResult RunSteps(const imaging::PageSource* document, const ConversionSettings& settings,
                          ConversionReporter& reporter, const BookIdentity& identity) {
    const fs::path& workingFolder = settings.workingFolder;
    std::error_code ec;
    // Never let an unset working folder turn "OEBPS" in the current folder into a target.
    if (workingFolder.empty() || !fs::is_regular_file(workingFolder / "mimetype", ec)) {
        return Fail({}, "The container files are missing from the working folder \"" +
                            workingFolder.string() + "\".");
    }
    const fs::path content = ContentFolder(workingFolder);
    RemoveFolder(content);
    fs::create_directories(content, ec);  // a failure shows at the first write

    if (settings.title.empty())
        return Refuse(reporter, kNoTitleText);
    if (settings.author.empty())
        return Refuse(reporter, kNoAuthorText);
    if (document == nullptr)
        return Refuse(reporter, kNoDocumentText);
    const bool fixed = settings.format == BookFormat::Epub3;
    if (settings.text && !fixed)
        return Refuse(reporter, kTextNeedsEpub3Text);
    if (settings.pageBox && !fixed)
        return Refuse(reporter, kPageSizeNeedsEpub3Text);
    std::string coverName;
    std::pair<int, int> coverSize{0, 0};
    if (!settings.cover.empty()) {
        if (auto problem = CheckCover(settings.cover, coverSize))
            return Refuse(reporter, *problem);
        coverName = CoverNameFor(settings.cover);
    }

    reporter.Status(settings.text ? kConvertingWithTextText : kConvertingText);
    const std::string languageTag = LanguageTag();
    if (!fixed)
        WriteFileBytes(content / kStylesheetName, kStylesheetText);
    if (!coverName.empty()) {
        fs::copy_file(settings.cover, content / coverName, fs::copy_options::overwrite_existing,
                      ec);
        if (ec) {
            throw Error(ErrorCode::Io, "Cannot copy the cover picture: " + ec.message(),
                        settings.cover);
        }
        if (fixed) {
            const FixedPage cover{"Cover", coverName, coverSize.first, coverSize.second};
            WriteFileBytes(content / kFixedCoverFile,
                           FixedPageText(cover, {}, kFixedStylesheetName, languageTag));
        } else {
            WriteImagePage(content / "cover.html", coverName, "cover", languageTag);
        }
    }

    const int pageCount = document->PageCount();
    if (pageCount < 0)
        return Fail({}, "The document reports no pages.");
    reporter.Progress(0, pageCount);
    ExportOptions exportOptions;
    exportOptions.jobs = settings.jobs;
    exportOptions.languageTag = languageTag;
    exportOptions.progress = [&reporter](int done, int total) { reporter.Progress(done, total); };
    exportOptions.cancelRequested = [&reporter] { return reporter.CancelRequested(); };
    exportOptions.format = settings.format;
    exportOptions.text = settings.text.get();
    exportOptions.fit = settings.pageBox;
    exportOptions.quality = settings.quality;
    exportOptions.cores = settings.cores;
    std::vector<BookPage> pages = ExportPages(*document, pageCount, content, exportOptions);

    BookDescription book;
    book.title = settings.title;
    book.author = settings.author;
    book.coverName = coverName;
    book.pageCount = pageCount;
    book.languageTag = languageTag;
    book.identity = identity;
    if (fixed) {
        book.format = BookFormat::Epub3;
        book.pages = std::move(pages);
        book.coverWidth = coverSize.first;
        book.coverHeight = coverSize.second;
        WriteFixedLayoutDocuments(book, content);
    } else {
        WritePackageDocument(book, content);
        WriteNavigationDocument(book, content);
    }
    // Export may finish every page before it looks at a late cancel: look again before the
    // output folder is touched.
    const auto cancelled = [](const fs::path& output) {
        return ConversionResult{ConversionOutcome::Cancelled, output,
                                "The conversion was cancelled.", 1};
    };
    if (reporter.CancelRequested())
        return cancelled({});

    if (settings.outputFolder.empty())
        return Refuse(reporter, kNoSavingPathText);
    const fs::path outputFolder(settings.outputFolder);
    fs::create_directories(outputFolder, ec);  // a failure shows when the archive is written
    const fs::path output = OutputPathFor(settings);
    if (IsWithin(outputFolder, workingFolder)) {
        return Fail(output, "Failed to build " + output.string() +
                                ": the book cannot be saved inside the working folder.");
    }
    if (fs::exists(fs::symlink_status(output, ec))) {
        if (!reporter.ConfirmOverwrite(output)) {
            return {ConversionOutcome::Declined, output, {}, 2};
        }
    }
    if (reporter.CancelRequested())
        return cancelled(output);
    ConversionResult result =
        PackBook(workingFolder, outputFolder, output, ResolveJobs(settings.jobs), settings.cores);
    if (result.outcome == ConversionOutcome::Succeeded)
        reporter.Status(kSucceededText);
    return result;
}

}  // namespace

fs::path OutputPathFor(const ConversionSettings& settings) {
    std::string name = settings.title;
    for (char& c : name) {
        if (c == '/')
            c = '_';
    }
    return fs::path(settings.outputFolder) / (name + ".epub");
}

ConversionResult Convert(const imaging::PageSource* document, const ConversionSettings& settings,
                         ConversionReporter& reporter, const BookIdentity& identity) {
    try {
        return RunSteps(document, settings, reporter, identity);
    } catch (const Error& e) {
        if (e.Code() == ErrorCode::Cancelled) {
            return {ConversionOutcome::Cancelled, {}, e.what(), 1};
        }
        return Fail({}, e.what(), ExitCodeFor(e.Code()));
    } catch (const std::bad_alloc&) {
        return Fail({}, "Out of memory.");
    } catch (const std::exception& e) {
        return Fail({}, e.what());
    } catch (...) {
        return Fail({}, "Unexpected failure.");
    }
}

}  // namespace vellumark::epub
