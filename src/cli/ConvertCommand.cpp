// vellumark convert INPUT... : each scan (or each scan in a folder) to its own book, with one
// pool of cores for the whole run; see the option table for the options.

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "cli/CleanupArguments.h"
#include "cli/Commands.h"
#include "cli/Interruption.h"
#include "cli/MetadataCsv.h"
#include "cli/ParsedArguments.h"
#include "cli/ShelfDisplay.h"
#include "common/Error.h"
#include "epub/ConversionJob.h"
#include "epub/DeviceProfiles.h"
#include "epub/Folders.h"
#include "epub/Shelf.h"
#include "imaging/pages/ImagePages.h"
#include "imaging/text/TextLayer.h"
#include "structure/TocFile.h"

namespace vellumark::cli {
namespace {
namespace fs = std::filesystem;

std::string AlreadyExists(const fs::path& book) {
    return book.string() + " already exists (add --overwrite to replace it)";
}

bool IsScanName(const fs::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".tif" || extension == ".tiff" || extension == ".mdi" ||
           extension == ".pdf" || extension == ".djvu" || extension == ".cbz" ||
           extension == ".cbr" || extension == ".cb7";
}

// A scan to convert, and the folder below the output folder its book goes to.
struct Input {
    fs::path path;
    fs::path folder;
};

bool IsHidden(const fs::path& path) {
    return path.filename().string().starts_with('.');
}

// The scans anywhere below a folder, each with its folder relative to the top, in sorted order.
// Hidden files and folders are passed over, and links to folders are not followed (so a link
// loop cannot trap the walk); a link to a scan is a scan.
std::vector<Input> ScansIn(const fs::path& top) {
    std::vector<Input> scans;
    // Per folder: whether it holds page images, and whether it holds anything else.
    std::map<fs::path, std::pair<bool, bool>> folders;
    const auto cannotRead = [&](const fs::path& folder) {
        return Error(ErrorCode::Usage, "cannot read the folder " + folder.string(), folder);
    };
    std::error_code ec;
    fs::recursive_directory_iterator it(top, ec);
    if (ec)
        throw cannotRead(top);
    for (const fs::recursive_directory_iterator end; it != end;) {
        const fs::path path = it->path();
        std::error_code typeError;
        const bool folder = it->is_directory(typeError) && !it->is_symlink(typeError);
        if (IsHidden(path)) {
            if (folder)
                it.disable_recursion_pending();
        } else if (it->is_regular_file(typeError)) {
            auto& [images, others] = folders[path.parent_path()];
            if (IsScanName(path)) {
                const fs::path relative = path.parent_path().lexically_relative(top);
                scans.push_back({path, relative == "." ? fs::path() : relative});
            }
            if (imaging::IsPageImageName(path))
                images = true;
            else if (!imaging::IsPassedOverInFolder(path))
                others = true;
        }
        it.increment(ec);
        // Entering a folder, or reading on in the one that holds it.
        if (ec)
            throw cannotRead(folder && !IsHidden(path) ? path : path.parent_path());
    }
    // A folder holding page images and nothing else is one book, at the folder's place.
    for (const auto& [folder, holds] : folders) {
        if (!holds.first || holds.second)
            continue;
        const fs::path relative = folder == top || folder.lexically_relative(top) == "."
                                      ? fs::path()
                                      : folder.parent_path().lexically_relative(top);
        scans.push_back({folder, relative == "." ? fs::path() : relative});
    }
    std::sort(scans.begin(), scans.end(),
              [](const Input& a, const Input& b) { return a.path < b.path; });
    if (scans.empty()) {
        throw Error(ErrorCode::Usage,
                    top.string() +
                        " holds no .tif, .tiff, .mdi, .pdf, .djvu, .cbz, .cbr or .cb7 file, nor do "
                        "its folders, "
                        "and no folder "
                        "of page images",
                    top);
    }
    return scans;
}

// Every input named, folders replaced by the scans in their tree, each checked to be a plain
// file.
std::vector<Input> Inputs(const std::vector<std::string>& operands, bool& anyFolder) {
    std::vector<Input> inputs;
    for (const std::string& operand : operands) {
        const fs::path input(operand);
        std::error_code ec;
        const fs::file_status status = fs::status(input, ec);
        if (!fs::exists(status))
            throw Error(ErrorCode::BadInput, "cannot find the input file " + input.string(), input);
        if (fs::is_directory(status)) {
            anyFolder = true;
            for (Input& scan : ScansIn(input))
                inputs.push_back(std::move(scan));
        } else if (fs::is_regular_file(status)) {
            inputs.push_back({input, {}});
        } else {
            // A pipe or a device could block the read forever.
            throw Error(ErrorCode::BadInput,
                        input.string() + " is not a regular file, not a TIFF or MDI file", input);
        }
    }
    return inputs;
}

fs::path Canonical(const fs::path& path) {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(path, ec);
    return ec ? path : canonical;
}

// The screen asked for with --profile or --page-size (not both), or none.
std::optional<epub::PageBox> PageBoxOf(const ParsedArguments& arguments) {
    const auto profile = arguments.Value(Option::Profile);
    const auto size = arguments.Value(Option::PageSize);
    if (profile && size)
        throw Error(ErrorCode::Usage, "--profile and --page-size both set the page size; give one");
    if (profile) {
        const epub::DeviceProfile* found = epub::FindDeviceProfile(*profile);
        if (found == nullptr) {
            throw Error(ErrorCode::Usage, "no device profile \"" + *profile +
                                              "\" (vellumark convert --profile list shows them)");
        }
        return found->screen;
    }
    if (size) {
        const auto box = epub::ParsePageSize(*size);
        if (!box) {
            throw Error(
                ErrorCode::Usage,
                "--page-size is WIDTHxHEIGHT in pixels, such as 1264x1680, not \"" + *size + "\"");
        }
        return box;
    }
    return std::nullopt;
}

// The table of contents asked for; the contents file is read now, so that a bad line costs
// no OCR.
epub::OutlineSettings OutlineOf(const ParsedArguments& arguments, epub::BookFormat format) {
    epub::OutlineSettings outline;
    if (const auto toc = arguments.Value(Option::Toc)) {
        const auto kind = epub::ParseTocKind(*toc);
        if (!kind)
            throw Error(ErrorCode::Usage, "--toc is chapters or pages, not \"" + *toc + "\"");
        outline.toc = *kind;
    }
    if (const auto file = arguments.Value(Option::TocFile)) {
        if (format != epub::BookFormat::Epub3) {
            throw Error(ErrorCode::Usage,
                        "--toc-file needs --format epub3: an EPUB 2 book lists its pages, a "
                        "reflowable one its headings");
        }
        if (arguments.Has(Option::Toc))
            throw Error(ErrorCode::Usage, "--toc-file and --toc cannot be given together");
        outline.tocFileName = *file;
        outline.tocFile = structure::ReadTocFile(*file);
        if (outline.tocFile.empty())
            throw Error(ErrorCode::Usage, "The contents file " + *file + " has no entries", *file);
    }
    return outline;
}

// What every book of the run shares, from the options. `warn` is set when clean-up has to
// leave out turning pages upright.
epub::ShelfSettings SharedSettings(const ParsedArguments& arguments, bool& warn) {
    epub::ShelfSettings shelf;
    epub::ConversionSettings& settings = shelf.book;
    std::error_code ec;
    if (const auto folder = arguments.Value(Option::OutputDir)) {
        settings.outputFolder = *folder;
    } else {
        settings.outputFolder = fs::current_path(ec).string();
        if (ec)
            settings.outputFolder = ".";
    }
    settings.jobs = arguments.Count(Option::Jobs, 0);
    if (const auto format = arguments.Value(Option::Format)) {
        const auto parsed = epub::ParseBookFormat(*format);
        if (!parsed)
            throw Error(ErrorCode::Usage,
                        "--format is epub2, epub3 or reflow, not \"" + *format + "\"");
        settings.format = *parsed;
    }
    // A reflowable book is its text: it is always read.
    const bool reflow = settings.format == epub::BookFormat::Reflow;
    shelf.ocr = arguments.Has(Option::Ocr) || reflow;
    if (shelf.ocr && settings.format == epub::BookFormat::Epub2) {
        throw Error(ErrorCode::Usage,
                    "--ocr needs --format epub3: positioned text needs fixed-layout pages");
    }
    const auto ocrLanguage = arguments.Value(Option::OcrLang);
    if (ocrLanguage && !shelf.ocr)
        throw Error(ErrorCode::Usage, "--ocr-lang is used only with --ocr or --format reflow");
    shelf.ocrLanguage = ocrLanguage.value_or(imaging::kDefaultOcrLanguage);
    settings.pageBox = PageBoxOf(arguments);
    if (settings.pageBox && settings.format != epub::BookFormat::Epub3) {
        throw Error(ErrorCode::Usage,
                    std::string(arguments.Has(Option::Profile) ? "--profile" : "--page-size") +
                        " needs --format epub3: the pages of an EPUB 2 book fit any screen by "
                        "themselves");
    }
    settings.quality = static_cast<int>(arguments.Count(Option::Quality, 90));
    if (settings.quality > 100) {
        throw Error(ErrorCode::Usage,
                    "--quality is 1 to 100, not " + std::to_string(settings.quality));
    }
    shelf.renderDpi = RenderDpiOf(arguments);
    settings.cleanup = CleanupOf(arguments, warn);
    shelf.overwrite = arguments.Has(Option::Overwrite);
    settings.outline = OutlineOf(arguments, settings.format);
    // Before any work, so that a missing language costs nothing but one line.
    if (shelf.ocr)
        imaging::CheckOcrLanguage(shelf.ocrLanguage);
    return shelf;
}

// Each input's book: title and cover from the options for a single input, from the metadata
// table where it has a row, the base name and no cover otherwise.
std::vector<epub::ShelfBook> Books(const std::vector<Input>& inputs,
                                   const ParsedArguments& arguments) {
    const auto title = arguments.Value(Option::Title);
    const auto cover = arguments.Value(Option::Cover);
    if (inputs.size() > 1 && (title || cover)) {
        throw Error(ErrorCode::Usage, std::string(title ? "--title" : "--cover") +
                                          " is for one book; give each book's in a table with "
                                          "--metadata");
    }
    std::map<fs::path, MetadataRow> rows;
    if (const auto table = arguments.Value(Option::Metadata)) {
        for (MetadataRow& row : ReadMetadataCsv(*table))
            rows.emplace(Canonical(row.input), std::move(row));
    }
    const std::string author = arguments.Value(Option::Author).value_or("");
    std::vector<epub::ShelfBook> books;
    for (const auto& [input, folder] : inputs) {
        // A book from a folder of page images is titled after the folder.
        const fs::path named = input.filename().empty() ? input.parent_path() : input;
        const std::string base =
            fs::is_directory(input) ? named.filename().string() : input.stem().string();
        epub::ShelfBook book{input, title.value_or(base), author, cover.value_or(""), folder};
        if (const auto row = rows.find(Canonical(input)); row != rows.end()) {
            if (!row->second.title.empty())
                book.title = row->second.title;
            if (!row->second.author.empty())
                book.author = row->second.author;
            if (!row->second.cover.empty())
                book.cover = row->second.cover.string();
            rows.erase(row);
        }
        books.push_back(std::move(book));
    }
    if (!rows.empty()) {
        const MetadataRow& stray = std::min_element(rows.begin(), rows.end(), [](auto& a, auto& b) {
                                       return a.second.line < b.second.line;
                                   })->second;
        throw Error(ErrorCode::Usage, *arguments.Value(Option::Metadata) + " line " +
                                          std::to_string(stray.line) + ": " + stray.input.string() +
                                          " is not among the inputs");
    }
    return books;
}

// What would go wrong for every book alike, found before any work.
void CheckShelf(const std::vector<epub::ShelfBook>& books, const epub::ShelfSettings& settings) {
    std::map<fs::path, const epub::ShelfBook*> outputs;
    std::map<fs::path, const epub::ShelfBook*> seen;
    for (const epub::ShelfBook& book : books) {
        if (!seen.emplace(Canonical(book.input), &book).second)
            throw Error(ErrorCode::Usage, book.input.string() + " is given twice", book.input);
        if (book.author.empty()) {
            throw Error(ErrorCode::Usage, std::string(epub::kNoAuthorText) + " (no author for " +
                                              book.input.string() +
                                              ": give --author, or an author column with "
                                              "--metadata)");
        }
        const fs::path output = epub::ShelfBookOutput(book, settings);
        if (const auto [other, added] = outputs.emplace(Canonical(output), &book); !added) {
            throw Error(ErrorCode::Usage, other->second->input.string() + " and " +
                                              book.input.string() + " would both be " +
                                              output.string() + " (give titles with --metadata)");
        }
    }
}

}  // namespace

int AnswerConvert(const ParsedArguments& arguments) {
    if (arguments.Value(Option::Profile) != "list")
        return -1;
    std::cout << epub::DeviceProfileTable();
    return 0;
}

int RunConvert(const ParsedArguments& arguments) {
    bool anyFolder = false;
    const std::vector<Input> inputs = Inputs(arguments.Operands(), anyFolder);
    bool warn = false;
    epub::ShelfSettings settings = SharedSettings(arguments, warn);
    if (warn && !arguments.Has(Option::Quiet))
        ReportError(std::string(kNoOrientationDataText), 0);
    const std::vector<epub::ShelfBook> books = Books(inputs, arguments);
    // One scan named on its own is one book, reported as it always was; anything else is a
    // shelf, where an existing book is skipped and a failed one does not stop the others.
    const bool shelf = books.size() > 1 || anyFolder || arguments.Has(Option::Metadata);
    if (shelf && arguments.Has(Option::TocFile))
        throw Error(ErrorCode::Usage, "--toc-file is for one book: give one INPUT");
    if (shelf) {
        CheckShelf(books, settings);
    } else {
        std::error_code ec;
        const epub::ShelfBook& book = books.front();
        // The job checks the fields itself, with the window's notes.
        if (!book.title.empty() && !book.author.empty() && !settings.book.outputFolder.empty() &&
            !settings.overwrite &&
            fs::exists(fs::symlink_status(epub::ShelfBookOutput(book, settings), ec))) {
            const fs::path output = epub::ShelfBookOutput(book, settings);
            // A runner that hands out one scan a job asks for a book that exists to be done.
            if (!arguments.Has(Option::SkipExisting))
                return ReportError(AlreadyExists(output), 2);
            if (!arguments.Has(Option::Quiet) && !arguments.Has(Option::Json))
                std::cout << "Skipped: " << output.string() << " already exists\n";
            return 0;
        }
    }

    // Folders a killed run left behind are cleared before new ones come.
    std::set<fs::path> outputFolders;
    for (const epub::ShelfBook& book : books)
        outputFolders.insert(epub::ShelfBookFolder(book, settings));
    epub::RemoveAbandonedRunFolders({outputFolders.begin(), outputFolders.end()});

    const Interruption interruption;
    DisplayOptions display;
    display.quiet = arguments.Has(Option::Quiet);
    display.json = arguments.Has(Option::Json);
    display.shelf = shelf;
    ShelfDisplay view(display);
    settings.book.stop = interruption.Token();
    const epub::ShelfSummary summary = epub::ConvertShelf(books, settings, view);
    view.Summary(summary);

    if (const int signal = Interruption::Signal(); signal != 0 && summary.cancelled) {
        ReportError(std::string(signal == SIGINT ? "interrupted" : "terminated") + ": " +
                        std::to_string(summary.converted) + " converted; " +
                        (shelf ? "the same command again does the rest" : "nothing was written"),
                    0);
        return 128 + signal;
    }
    if (shelf)
        return summary.failed > 0 ? 1 : 0;
    // A single book's failure keeps the exit code of its kind.
    const epub::BookReport& single = view.LastReport();
    switch (single.outcome) {
        case epub::BookOutcome::Converted:
            return 0;
        case epub::BookOutcome::Skipped:
            return ReportError(AlreadyExists(single.output), 2);
        default:
            return ReportError(single.message, single.exitCode == 0 ? 1 : single.exitCode);
    }
}

}  // namespace vellumark::cli
