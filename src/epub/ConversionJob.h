#pragma once
// One conversion of an open document into an .epub file: the steps of the Convert command,
// shared by the window and the command line. Each face reports through its own ConversionReporter.

#include <filesystem>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

#include "common/Scheduler.h"
#include "epub/BookFormat.h"
#include "epub/BookIdentity.h"
#include "epub/BookOutline.h"
#include "epub/DeviceProfiles.h"
#include "imaging/PageSource.h"
#include "imaging/cleanup/CleanupPlan.h"
#include "imaging/text/TextLayer.h"

namespace vellumark::epub {

// Where a conversion puts the book's files (see BookSink.h).
enum class BookSinkKind {
    // The window's road: the content folder below the working folder, which is then packed.
    ContentFolder,
    // Straight into the book's archive; the working folder is only read for the container files.
    Archive,
};

struct ConversionSettings {
    std::string title;  // as typed; the output file name replaces "/" with "_"
    std::string author;
    std::string cover;         // path of a JPEG cover; empty means no cover
    std::string outputFolder;  // as typed
    // Holds mimetype and META-INF; for a ContentFolder sink the content folder "OEBPS" is made
    // below it and packed whole, for an Archive sink it is only read.
    std::filesystem::path workingFolder;
    BookSinkKind sink = BookSinkKind::ContentFolder;
    unsigned jobs = 0;  // threads for page export and compression; 0: one per core
    BookFormat format = BookFormat::Epub2;
    // Where the pages' words come from for an EPUB 3 book's text layer; null: no text layer.
    // Its document must be the one converted. Shared so that words already read (by a search)
    // are not read again.
    std::shared_ptr<const imaging::TextLayer> text;
    // The language `text` reads, as Tesseract names it; a reflowable book takes its language
    // from it. Empty: the locale's.
    std::string ocrLanguage;
    // EPUB 3: the screen the pages are fitted to (a device profile's, or any); none keeps them at
    // 96 pixels per inch.
    std::optional<PageBox> pageBox;
    int quality = 90;  // of the JPEG pages, 1 to 100
    // How the pages are cleaned up before they go into the book (none by default). The text
    // layer then reads the cleaned pages, the way `text` reads.
    imaging::CleanupOptions cleanup;
    // The workers of a run that converts several books at once: their pages and compression
    // share it. Null: the conversion makes its own of `jobs` threads. Must outlive Convert.
    Scheduler* scheduler = nullptr;
    // A stop requested here cancels the conversion at once, from any thread (pages under way
    // are told); the reporter's CancelRequested is asked as well.
    std::stop_token stop;
    // EPUB 3: the table of contents (the chapters found in the text, the pages, or the user's).
    OutlineSettings outline;
};

// The texts a conversion reports; the window and the command line show them as they are.
inline constexpr const char* kNoTitleText = "Please set the epub title!";
inline constexpr const char* kNoAuthorText = "Please set the author name!";
inline constexpr const char* kNoSavingPathText = "Please set the saving path!";
inline constexpr const char* kNoDocumentText = "Please open a document first!";
inline constexpr const char* kConvertingText = "Converting...";
inline constexpr const char* kCleaningUpText = "Cleaning up the pages...";
inline constexpr const char* kConvertingWithTextText = "Converting and reading the text...";
inline constexpr const char* kPageSizeNeedsEpub3Text =
    "Pages made for a screen need the EPUB 3 fixed-layout format.";
inline constexpr const char* kReflowNeedsTextText =
    "A reflowable book is made from the pages' text: read the text (OCR) to make one.";
inline constexpr const char* kTextNeedsEpub3Text =
    "A text layer needs the EPUB 3 fixed-layout format: positioned text needs fixed pages.";
inline constexpr const char* kSucceededText = "Successed!";
inline constexpr const char* kSuccessPrefix = "Successed to build: ";

// The book's file: outputFolder / (title with each "/" replaced by "_") + ".epub". Both texts
// are otherwise used as typed.
std::filesystem::path OutputPathFor(const ConversionSettings& settings);

// Callbacks may come from the thread that runs Convert(); none comes from a pool thread.
class ConversionReporter {
public:
    virtual ~ConversionReporter() = default;
    // A problem the user can fix, shown in a "Note!" box by the window.
    virtual void Note(const std::string& text) = 0;
    // The output file exists: true replaces it. The window asks; the command line answers.
    virtual bool ConfirmOverwrite(const std::filesystem::path& output) = 0;
    // Status text: "Converting..." while pages are exported, "Successed!" at the end.
    virtual void Status(const std::string& text) = 0;
    // Work done so far, of total: pages exported, and before them sheets cleaned up when the
    // pages are (each sheet and each page one step; the total grows when sheets are split).
    virtual void Progress(int done, int total) = 0;
    // Checked between pages; true stops the job with outcome Cancelled.
    virtual bool CancelRequested() { return false; }
};

enum class ConversionOutcome {
    Succeeded,  // the book is written; message is "Successed to build: " + path
    Refused,    // a note was given (missing field, bad cover, no document); nothing was packed
    Declined,   // the output exists and overwriting was declined
    Failed,     // an error; message says what, nothing is left under the output name
    Cancelled,
};

struct ConversionResult {
    ConversionOutcome outcome = ConversionOutcome::Failed;
    std::filesystem::path output;
    std::string message;
    int exitCode = 1;  // what the command line exits with: 0, 2 (user can fix) or 1
};

// Runs the whole conversion, in this order: empties the content folder (ContentFolder sink);
// checks the title, the author, that a document is open, that the cover (if any) is a readable
// JPEG and that a text layer comes with the EPUB 3 format, each refused with a note before
// anything is written; for an Archive sink, checks the output folder (note when empty), creates
// it and asks ConfirmOverwrite when the book exists; gives the sink the container files, the
// stylesheet, the cover as "cover.jpg" or "cover.jpeg" and its page, the pages (exported on
// settings.jobs threads, reading their words for a text layer), fb.opf and fb.ncx (and for
// EPUB 3 nav.xhtml, and the blank font when some page has text), all in the order of the
// archive; for a ContentFolder sink then checks the output folder as above; and commits the
// book, so that a failed or cancelled run leaves nothing under the book's name and an old book
// untouched. Entry times are the identity's time (BookTime), so both sinks make the same bytes.
//
// `document` may be null (no document open: refused with a note); it must stay open and
// unchanged while Convert runs. The working folder must hold the container files and, for a
// ContentFolder sink, must not be used by another conversion at the same time. Blocks the
// calling thread; reporter callbacks come on it. Never throws: failures come back in the result.
ConversionResult Convert(const imaging::PageSource* document, const ConversionSettings& settings,
                         ConversionReporter& reporter,
                         const BookIdentity& identity = FreshIdentity());

}  // namespace vellumark::epub
