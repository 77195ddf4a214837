#include "epub/ConversionJob.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <new>
#include <optional>
#include <stop_token>
#include <system_error>
#include <vector>

#include "common/Error.h"
#include "common/Jobs.h"
#include "epub/BookDocuments.h"
#include "epub/BookSink.h"
#include "epub/FileOutput.h"
#include "epub/FixedLayoutBook.h"
#include "epub/FixedLayoutPage.h"
#include "epub/Folders.h"
#include "epub/ImagePage.h"
#include "epub/LanguageTag.h"
#include "epub/PageExport.h"
#include "epub/ReflowPages.h"
#include "imaging/Jpeg.h"
#include "imaging/cleanup/CleanedPages.h"

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
// size in pixels and `bytes` the file.
std::optional<std::string> CheckCover(const fs::path& cover, std::pair<int, int>& size,
                                      std::vector<std::uint8_t>& bytes) {
    std::error_code ec;
    const std::string cannotRead = "Cannot read the cover picture: " + cover.string();
    const std::string notJpeg = "The cover picture is not a JPEG file: " + cover.string();
    if (!fs::is_regular_file(cover, ec))
        return cannotRead;
    std::ifstream in(cover, std::ios::binary);
    if (!in)
        return cannotRead;
    bytes.assign(std::istreambuf_iterator<char>(in), {});
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

bool StopAsked(const ConversionSettings& settings, ConversionReporter& reporter) {
    return settings.stop.stop_requested() || reporter.CancelRequested();
}

ConversionResult Cancelled(const fs::path& output) {
    return {ConversionOutcome::Cancelled, output, "The conversion was cancelled.", 1};
}

// Where the book goes, once its output folder is known to be set and made; nothing when the
// conversion stops here (the result says why).
std::optional<ConversionResult> CheckOutput(const ConversionSettings& settings,
                                            ConversionReporter& reporter, bool& replace) {
    std::error_code ec;
    if (settings.outputFolder.empty())
        return Refuse(reporter, kNoSavingPathText);
    const fs::path outputFolder(settings.outputFolder);
    fs::create_directories(outputFolder, ec);  // a failure shows when the archive is written
    const fs::path output = OutputPathFor(settings);
    if (settings.sink == BookSinkKind::ContentFolder &&
        IsWithin(outputFolder, settings.workingFolder)) {
        return Fail(output, "Failed to build " + output.string() +
                                ": the book cannot be saved inside the working folder.");
    }
    if (fs::exists(fs::symlink_status(output, ec))) {
        if (!reporter.ConfirmOverwrite(output))
            return ConversionResult{ConversionOutcome::Declined, output, {}, 2};
        replace = true;
    }
    if (StopAsked(settings, reporter))
        return Cancelled(output);
    return std::nullopt;
}

// The book's files besides the pages, in the content folder's order.
void KeepBookDocuments(const BookDescription& book, OrderedFiles& files) {
    const std::string content = kContentPrefix;
    if (book.format == BookFormat::Epub3) {
        for (const auto& [name, text] : FixedLayoutDocumentFiles(book))
            files.Keep(content + name, text);
        return;
    }
    files.Keep(content + kPackageDocumentName, PackageDocumentText(book));
    files.Keep(content + kNavigationDocumentName, NavigationDocumentText(book));
}

// Hands the sink the files still kept and commits the book.
ConversionResult Finish(const ConversionSettings& settings, ConversionReporter& reporter,
                        bool streamed, bool replace, OrderedFiles& files, BookSink& sink) {
    files.Finish();
    // Export may finish every page before it looks at a late cancel: look again before the
    // output folder is touched.
    if (StopAsked(settings, reporter))
        return Cancelled({});
    if (!streamed) {
        if (auto stop = CheckOutput(settings, reporter, replace))
            return *stop;
    }
    const fs::path output = OutputPathFor(settings);
    sink.Commit(output, replace);
    reporter.Status(kSucceededText);
    return {ConversionOutcome::Succeeded, output, kSuccessPrefix + output.string(), 0};
}

ConversionResult RunSteps(const imaging::PageSource* document, const ConversionSettings& settings,
                          ConversionReporter& reporter, const BookIdentity& identity) {
    const fs::path& workingFolder = settings.workingFolder;
    const bool streamed = settings.sink == BookSinkKind::Archive;
    std::error_code ec;
    // Never let an unset working folder turn "OEBPS" in the current folder into a target.
    if (workingFolder.empty() || !fs::is_regular_file(workingFolder / "mimetype", ec)) {
        return Fail({}, "The container files are missing from the working folder \"" +
                            workingFolder.string() + "\".");
    }
    if (!streamed) {
        const fs::path content = ContentFolder(workingFolder);
        RemoveFolder(content);
        fs::create_directories(content, ec);  // a failure shows at the first write
    }

    if (settings.title.empty())
        return Refuse(reporter, kNoTitleText);
    if (settings.author.empty())
        return Refuse(reporter, kNoAuthorText);
    if (document == nullptr)
        return Refuse(reporter, kNoDocumentText);
    const bool fixed = settings.format == BookFormat::Epub3;
    const bool reflow = settings.format == BookFormat::Reflow;
    if (settings.text && !fixed && !reflow)
        return Refuse(reporter, kTextNeedsEpub3Text);
    if (reflow && !settings.text)
        return Refuse(reporter, kReflowNeedsTextText);
    if (settings.pageBox && !fixed)
        return Refuse(reporter, kPageSizeNeedsEpub3Text);
    std::string coverName;
    std::pair<int, int> coverSize{0, 0};
    std::vector<std::uint8_t> coverBytes;
    if (!settings.cover.empty()) {
        if (auto problem = CheckCover(settings.cover, coverSize, coverBytes))
            return Refuse(reporter, *problem);
        coverName = CoverNameFor(settings.cover);
    }

    // One set of workers for the pages and the compression of the archive (the window's folder
    // packer, which runs after the pages, has its own).
    std::optional<Scheduler> ownScheduler;
    Scheduler* const scheduler =
        settings.scheduler != nullptr ? settings.scheduler : &ownScheduler.emplace(settings.jobs);
    SinkOptions sinkOptions;
    sinkOptions.jobs = ResolveJobs(settings.jobs);
    sinkOptions.scheduler = scheduler;
    sinkOptions.time = BookTime(identity);
    std::unique_ptr<BookSink> sink;
    bool replace = false;
    if (streamed) {
        // The archive is written from the first page on, so where it goes is settled first.
        if (auto stop = CheckOutput(settings, reporter, replace))
            return *stop;
        sink = MakeArchiveSink(OutputPathFor(settings), sinkOptions);
    } else {
        sink = MakeFolderSink(workingFolder, sinkOptions);
    }

    // Cleaned pages are planned first, over the whole document: a page's size depends on the
    // others', and a split sheet adds a page.
    const imaging::PageSource* pages = document;
    std::shared_ptr<const imaging::CleanedPages> cleaned;
    std::shared_ptr<const imaging::TextLayer> text = settings.text;
    const int sheets = document->PageCount();
    if (settings.cleanup.Any() && sheets > 0) {
        reporter.Status(kCleaningUpText);
        reporter.Progress(0, 2 * sheets);
        // Stopped by the same flag as the pages are.
        std::atomic<bool> cancel = false;
        const std::stop_callback onStop(settings.stop, [&cancel] { cancel = true; });
        // The document outlives Convert, so the cleaned pages may borrow it.
        const std::shared_ptr<const imaging::PageSource> borrowed(
            std::shared_ptr<const imaging::PageSource>(), document);
        cleaned = imaging::CleanedPages::Plan(
            borrowed, settings.cleanup,
            [document](int sheet) { return document->Resolution(sheet); }, *scheduler,
            [&](int done, int total) {
                if (reporter.CancelRequested())
                    cancel = true;
                reporter.Progress(done, 2 * total);
            },
            &cancel);
        pages = cleaned.get();
        if (text)
            text = text->Over(cleaned);
    }
    const int stepsBefore = cleaned ? sheets : 0;

    reporter.Status(text ? kConvertingWithTextText : kConvertingText);
    // A book that carries text is in the language the text was read in: a German scan's text
    // layer tagged with an English locale would be read aloud as English.
    const std::string languageTag =
        text ? LanguageTagForOcr(settings.ocrLanguage, LanguageTag()) : LanguageTag();
    const std::string content = kContentPrefix;
    AddContainerFiles(workingFolder, *sink);
    OrderedFiles files(*sink);
    if (!fixed && !reflow)
        files.Keep(content + kStylesheetName, kStylesheetText);
    if (!coverName.empty()) {
        files.Keep(content + coverName, std::move(coverBytes));
        // A reflowable book's cover page is one of its documents.
        if (fixed) {
            const FixedPage cover{"Cover", coverName, coverSize.first, coverSize.second};
            files.Keep(content + kFixedCoverFile,
                       FixedPageText(cover, {}, kFixedStylesheetName, languageTag));
        } else if (!reflow) {
            files.Keep(content + "cover.html", ImagePageText(coverName, "cover", languageTag));
        }
    }

    const int pageCount = pages->PageCount();
    if (pageCount < 0)
        return Fail({}, "The document reports no pages.");
    reporter.Progress(stepsBefore, stepsBefore + pageCount);
    if (reflow) {
        std::atomic<bool> cancel = false;
        const std::stop_callback onStop(settings.stop, [&cancel] { cancel = true; });
        ReflowOptions options;
        options.quality = settings.quality;
        options.pageCover = coverName.empty();
        options.stop = &cancel;
        options.progress = [&](int done) {
            if (reporter.CancelRequested())
                cancel = true;
            reporter.Progress(stepsBefore + done, stepsBefore + pageCount);
        };
        ReflowBook book = ReadReflowBook(*pages, *text, *scheduler, files, options);
        book.book.title = settings.title;
        book.book.author = settings.author;
        book.book.languageTag = languageTag;
        book.book.identity = identity;
        if (!coverName.empty())
            book.book.coverName = coverName;
        for (auto& [name, document] : ReflowDocumentFiles(book))
            files.Keep(content + name, document);
        return Finish(settings, reporter, streamed, replace, files, *sink);
    }
    ExportOptions exportOptions;
    exportOptions.jobs = settings.jobs;
    exportOptions.languageTag = languageTag;
    exportOptions.progress = [&reporter, stepsBefore](int done, int total) {
        reporter.Progress(stepsBefore + done, stepsBefore + total);
    };
    exportOptions.cancelRequested = [&reporter] { return reporter.CancelRequested(); };
    exportOptions.stop = settings.stop;
    exportOptions.format = settings.format;
    exportOptions.text = text.get();
    exportOptions.fit = settings.pageBox;
    exportOptions.quality = settings.quality;
    exportOptions.scheduler = scheduler;
    std::vector<BookPage> bookPages = ExportPages(
        *pages, pageCount,
        [&](int, PageFiles&& page) {
            files.AddNow(content + page.page.pictureName, std::move(page.picture));
            files.Keep(content + page.documentName, page.document);
        },
        exportOptions);

    BookDescription book;
    book.title = settings.title;
    book.author = settings.author;
    book.coverName = coverName;
    book.pageCount = pageCount;
    book.languageTag = languageTag;
    book.identity = identity;
    if (fixed) {
        book.format = BookFormat::Epub3;
        book.pages = std::move(bookPages);
        book.coverWidth = coverSize.first;
        book.coverHeight = coverSize.second;
    }
    // Every page's words are known by now: the book's structure costs no more reading.
    if (fixed) {
        std::optional<structure::BookStructure> found;
        if (text)
            found = AnalyseBookText(*pages, *text);
        DescribeOutline(found ? &*found : nullptr, settings.outline, book);
        MarkPageBreaks(book, files);
    }
    KeepBookDocuments(book, files);
    return Finish(settings, reporter, streamed, replace, files, *sink);
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
