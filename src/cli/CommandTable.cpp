#include "cli/CommandTable.h"

#include <algorithm>

#include "cli/Commands.h"

namespace vellumark::cli {
namespace {

constexpr CommandSpec kCommands[] = {
    {"convert", kConvert, "INPUT...", 1, static_cast<std::size_t>(-1),
     "convert scans into .epub books",
     "Converts every page of INPUT (a .tif, .tiff, .mdi, .pdf or .djvu file, a JPEG or PNG page, a "
     "folder of such pages, or a comic or page archive of them: .cbz, .cbr, .cb7, .zip) into a "
     "picture "
     "page of one EPUB book, with a package document, a table of contents and an optional "
     "cover. The book is written as OUTPUT-DIR/TITLE.epub, with every \"/\" in the title "
     "written as \"_\"; it appears under its name only once it is complete. Several inputs, or "
     "folders, make a shelf: a folder gives every .tif, .tiff, .mdi, .pdf, .djvu, .cbz, .cbr and "
     ".cb7 "
     "file "
     "in its tree and every folder in it that holds only JPEG and PNG pages, in sorted order "
     "(hidden files and folders are passed over, links to folders are not followed), and each "
     "book is written at the scan's place in that tree below OUTPUT-DIR (shelf/1998/a.tif "
     "becomes OUTPUT-DIR/1998/a.epub), the folders made as needed. Each scan becomes its own "
     "book titled by its base name, a folder of pages by the folder's (or as --metadata says), all "
     "pages share the cores, a book "
     "that fails does not stop the others, a book that exists is skipped (so a stopped run can "
     "be run again), and one line sums up the run. Ctrl-C or SIGTERM stops cleanly: nothing "
     "partial is left and finished books stay.",
     "vellumark convert scan.tif --author \"Ada Lovelace\" --output-dir books\n"
     "vellumark convert scan.tif --author Ada --format epub3\n"
     "vellumark convert scan.tif --author Ada --format epub3 --ocr --ocr-lang deu\n"
     "vellumark convert scan.tif --author Ada --format epub3 --profile kobo-libra\n"
     "vellumark convert scan.tif --author Ada --clean --margin 4mm\n"
     "vellumark convert manga.tif --author Ada --split-spreads --right-to-left\n"
     "vellumark convert book.tif --author Ada --format epub3 --ocr --toc-file contents.txt\n"
     "vellumark convert shelf/ --metadata shelf.csv --output-dir books --json",
     &RunConvert, &AnswerConvert},
    {"info", kInfo, "INPUT", 1, 1, "page count, and per page: size, resolution, layout, codec",
     "Prints what a scan holds: its kind and page count, then one line per page with its pixel "
     "size, resolution, layout, codec, orientation, the size of the picture it becomes in a book "
     "and where it comes from (an archive's member; a PDF page's own image, or its rendering). "
     "With clean-up options (as convert takes them), it also prints each page clean-up makes: "
     "the sheet it comes from and its half when split, the skew measured, the content box and "
     "the part cut out, in the levelled sheet's pixels (made square first where they are not, as "
     "a fax's). --json prints all of it as one object, with the resolution the boxes are in.",
     "vellumark info scan.tif\n"
     "vellumark info scan.tif --clean --json",
     &RunInfo},
    {"search", kSearch, "INPUT WORD", 2, 2, "one line per hit, with its 1-based page number",
     "Finds WORD in the scan's text, read by OCR (or taken from the text layer a PDF or DjVu "
     "file holds, or the text an MDI file stores), "
     "and prints one line per hit with its page and word numbers. Letter case and punctuation "
     "at word edges are ignored; several words match consecutive words.",
     "vellumark search scan.tif \"quarterly report\"", &RunSearch},
    {"pack", kPack, "FOLDER ARCHIVE", 2, 2, "pack a folder the way a book is packed",
     "Packs every file below FOLDER into the ZIP archive ARCHIVE, its \"mimetype\" first and "
     "stored, as a book is packed. An existing ARCHIVE is updated: entries are kept unless a "
     "newer file replaces them.",
     "vellumark pack unpacked-book book.epub", &RunPack},
    {"outline", kOutline, "INPUT", 1, 1,
     "the book's own structure: chapters, printed page labels, running heads",
     "Reads the scan's text (by OCR, or the text an MDI file stores) and prints what a book "
     "made with --ocr takes from it: the table of contents (from the printed contents page, "
     "else the headings found), the label printed on every page (roman in the front matter, "
     "arabic in the body; \"-\" for none) and the running heads. The contents is printed as "
     "the lines of a --toc-file (LEVEL TITLE PAGE, PAGE a printed label or @N for the scan's "
     "page N), so that it can be corrected and handed back to convert.",
     "vellumark outline book.tif\n"
     "vellumark outline book.tif --json\n"
     "vellumark outline book.tif | sed -n '/^Contents/,/^$/p' | tail -n +2 > contents.txt",
     &RunOutline},
};

constexpr OptionSpec kOptions[] = {
    {Option::Title, "--title", "T", "the book's title (default: INPUT's base name)", kConvert},
    {Option::Author, "--author", "A", "the book's author (needed)", kConvert},
    {Option::Cover, "--cover", "FILE", "a JPEG picture to put in front as the cover", kConvert},
    {Option::OutputDir, "--output-dir", "DIR",
     "the folder the book is written to (default: the current folder)", kConvert},
    {Option::Overwrite, "--overwrite", "", "replace a book that already exists", kConvert},
    {Option::SkipExisting, "--skip-existing", "",
     "with one input: skip a book that already exists instead of refusing (a shelf always does)",
     kConvert},
    {Option::Jobs, "--jobs", "N", "threads to use (default: one per core)",
     kConvert | kSearch | kOutline},
    {Option::Quiet, "--quiet", "", "print nothing but errors", kConvert},
    {Option::Format, "--format", "FORMAT",
     "epub2 (the default: pages fit the reader's screen), epub3 (fixed layout: each page "
     "keeps its shape) or reflow (the pages' text, read by OCR, laid out by the reader at any "
     "size)",
     kConvert},
    {Option::Ocr, "--ocr", "",
     "with --format epub3: put each page's words over it as invisible text, so "
     "that readers can search the book and read it aloud",
     kConvert},
    {Option::OcrLang, "--ocr-lang", "L",
     "the language --ocr and --format reflow read, as Tesseract names it (default eng; "
     "eng+deu for two)",
     kConvert | kOutline},
    {Option::Profile, "--profile", "NAME",
     "with --format epub3: make the pages for a reading device's screen (\"list\" shows them)",
     kConvert},
    {Option::PageSize, "--page-size", "WxH",
     "with --format epub3: make the pages for a screen of W x H pixels", kConvert},
    {Option::Quality, "--quality", "N", "JPEG quality of the pages, 1 to 100 (default 90)",
     kConvert},
    {Option::Dpi, "--dpi", "N",
     "PDF pages that are not one scanned image are drawn at N pixels per inch, 50 to 1200 "
     "(default 300); scanned pages keep their own",
     kConvert | kInfo | kSearch | kOutline},
    {Option::Clean, "--clean", "",
     "clean up every page: turn it upright, level it, split two-page sheets, cut it to its "
     "content and clear dust from bilevel pages (all of the five options below)",
     kConvert | kInfo},
    {Option::Deskew, "--deskew", "",
     "level each page whose text lines are measured to run askew (up to 7 degrees either way)",
     kConvert | kInfo},
    {Option::Crop, "--crop", "",
     "cut each page to its content plus a margin, leaving out dark borders, shadows, punch "
     "holes, the paper's edge and specks; body pages share one size",
     kConvert | kInfo},
    {Option::Margin, "--margin", "LENGTH",
     "with --crop or --clean: the margin kept around the content, such as 5mm or 0.25in "
     "(default 5mm)",
     kConvert | kInfo},
    {Option::SplitSpreads, "--split-spreads", "",
     "make a sheet scanned with two facing pages into two pages, split at the fold",
     kConvert | kInfo},
    {Option::RightToLeft, "--right-to-left", "",
     "with --split-spreads or --clean: the book is read from the right, so a sheet's right page "
     "comes first",
     kConvert | kInfo},
    {Option::Upright, "--upright", "",
     "turn each page scanned sideways or upside down upright (needs Tesseract's orientation "
     "data)",
     kConvert | kInfo},
    {Option::Metadata, "--metadata", "FILE",
     "a CSV table (input,title,author,cover; a header row) of each book's title, author and "
     "cover",
     kConvert},
    {Option::Toc, "--toc", "KIND",
     "with --ocr: the table of contents lists the chapters found (\"chapters\", the default; "
     "the pages when none are found) or every page (\"pages\")",
     kConvert},
    {Option::TocFile, "--toc-file", "FILE",
     "with --format epub3: the table of contents from FILE, one line per entry: LEVEL TITLE "
     "PAGE, PAGE a printed label (17, xii) or @N for the scan's page N (as outline prints it)",
     kConvert},
    {Option::Json, "--json", "",
     "print a JSON object per book (input, output, pages, seconds, result, error); for info, "
     "one object for the scan; for outline, its findings",
     kConvert | kInfo | kOutline},
    {Option::Help, "--help", "", "show this help and exit", kEveryCommand, "-h"},
};

constexpr bool InDeclaredOrder() {
    if (std::size(kOptions) != static_cast<std::size_t>(Option::kCount))
        return false;
    for (std::size_t i = 0; i < std::size(kOptions); ++i) {
        if (static_cast<std::size_t>(kOptions[i].id) != i)
            return false;
    }
    return true;
}
static_assert(InDeclaredOrder(), "kOptions must list every Option once, in its order");

constexpr ExitCodeSpec kExitCodes[] = {
    {0, "success"},
    {1,
     "a failure: the work could not be done, or a book of a shelf failed (nothing partial is "
     "left behind)"},
    {2, "a problem with the input or the arguments that the user can fix, found before any work"},
    {130, "stopped by Ctrl-C (SIGINT); finished books are kept, nothing partial is left"},
    {143, "stopped by SIGTERM, as for Ctrl-C"},
};

std::string OptionColumn(const OptionSpec& option) {
    std::string column;
    if (!option.shortName.empty())
        column = std::string(option.shortName) + ", ";
    column += option.name;
    if (!option.argument.empty())
        column += " " + std::string(option.argument);
    return column;
}

// Lines of at most `width` characters, each starting with `indent`.
std::string Wrap(std::string_view text, std::size_t width, const std::string& indent) {
    std::string out;
    std::string line;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t space = text.find(' ', at);
        const std::string_view word =
            text.substr(at, space == std::string_view::npos ? std::string_view::npos : space - at);
        if (!line.empty() && indent.size() + line.size() + 1 + word.size() > width) {
            out += indent + line + "\n";
            line.clear();
        }
        line += line.empty() ? std::string(word) : " " + std::string(word);
        at = space == std::string_view::npos ? text.size() : space + 1;
    }
    if (!line.empty())
        out += indent + line + "\n";
    return out;
}

std::string ExitCodeLines(const std::string& indent) {
    std::string text;
    for (const ExitCodeSpec& exit : kExitCodes)
        text += indent + std::to_string(exit.code) + "  " + std::string(exit.meaning) + "\n";
    return text;
}

// Text for roff: backslashes doubled, "-" as the minus sign, no line starting a request.
std::string Roff(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out.insert(0, "\\&");
    return out;
}

}  // namespace

std::span<const CommandSpec> Commands() {
    return kCommands;
}

std::span<const OptionSpec> Options() {
    return kOptions;
}

const OptionSpec& OptionOf(Option option) {
    return kOptions[static_cast<std::size_t>(option)];
}

std::span<const ExitCodeSpec> ExitCodes() {
    return kExitCodes;
}

std::vector<std::string> ExampleLines(const CommandSpec& command) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = command.example.find('\n', start);
        lines.emplace_back(command.example.substr(start, end - start));
        if (end == std::string_view::npos)
            return lines;
        start = end + 1;
    }
}

const CommandSpec* FindCommand(std::string_view name) {
    const auto it = std::find_if(std::begin(kCommands), std::end(kCommands),
                                 [&](const CommandSpec& c) { return c.name == name; });
    return it == std::end(kCommands) ? nullptr : it;
}

std::string CommandSynopsis(const CommandSpec& command) {
    return "vellumark " + std::string(command.name) + " " + std::string(command.operands) +
           " [options]";
}

std::string GeneralHelp() {
    std::string text = "Usage:\n";
    const auto row = [&](const std::string& left, std::string_view right) {
        text += "  " + left;
        text += left.size() < 34 ? std::string(34 - left.size(), ' ') : "\n" + std::string(36, ' ');
        text += std::string(right) + "\n";
    };
    row("vellumark [FILE]", "open the window (with the TIFF or MDI file FILE)");
    for (const CommandSpec& command : kCommands)
        row(CommandSynopsis(command), command.summary);
    row("vellumark --help | --version", "this help, or the version");
    text += "\nRun \"vellumark COMMAND --help\" for a command's options.\n\nExit codes:\n";
    text += ExitCodeLines("  ");
    return text;
}

std::string CommandHelp(const CommandSpec& command) {
    std::string text = "Usage: " + CommandSynopsis(command) + "\n\n";
    text += Wrap(command.description, 96, "");
    text += "\nOptions:\n";
    for (const OptionSpec& option : kOptions) {
        if ((option.commands & command.bit) == 0)
            continue;
        const std::string left = OptionColumn(option);
        text += "  " + left;
        text += left.size() < 22 ? std::string(22 - left.size(), ' ') : "\n" + std::string(24, ' ');
        text += std::string(option.help) + "\n";
    }
    text += "\nExample" + std::string(ExampleLines(command).size() > 1 ? "s" : "") + ":\n";
    for (const std::string& example : ExampleLines(command))
        text += "  " + example + "\n";
    text += "\nExit codes:\n";
    text += ExitCodeLines("  ");
    return text;
}

std::string ManualPage() {
    std::string man;
    man += ".TH VELLUMARK 1 \"\" \"Vellumark " VELLUMARK_VERSION "\" \"User Commands\"\n";
    man += ".SH NAME\nvellumark \\- turn scanned documents into EPUB books\n";
    man += ".SH SYNOPSIS\n.B vellumark\n[\n.I FILE\n]\n.br\n";
    for (const CommandSpec& command : kCommands) {
        man += ".B vellumark " + std::string(command.name) + "\n.I " + Roff(command.operands) +
               "\n[options]\n.br\n";
    }
    man += ".B vellumark \\-\\-help\n|\n.B \\-\\-version\n";
    man +=
        ".SH DESCRIPTION\n"
        "Vellumark turns scanned documents (multi\\-page TIFF files, and MDI files) into EPUB "
        "books whose pages are pictures of the scanned pages.\n"
        "Run without arguments, it opens its window; with a command, it works on the "
        "command line and never opens a window.\n";
    man += ".SH COMMANDS\n";
    for (const CommandSpec& command : kCommands) {
        man += ".SS \"" + Roff(std::string(command.name) + " " + std::string(command.operands)) +
               "\"\n";
        man += Roff(command.description) + "\n";
        bool any = false;
        for (const OptionSpec& option : kOptions) {
            if ((option.commands & command.bit) == 0)
                continue;
            if (!any)
                man += ".PP\nOptions:\n";
            any = true;
            man += ".TP\n.B " + Roff(OptionColumn(option)) + "\n" + Roff(option.help) + "\n";
        }
        man += ".PP\nExample" + std::string(ExampleLines(command).size() > 1 ? "s" : "") +
               ":\n.PP\n.RS\n.nf\n";
        for (const std::string& example : ExampleLines(command))
            man += Roff(example) + "\n";
        man += ".fi\n.RE\n";
    }
    man += ".SH \"EXIT STATUS\"\n";
    for (const ExitCodeSpec& exit : kExitCodes)
        man += ".TP\n.B " + std::to_string(exit.code) + "\n" + Roff(exit.meaning) + "\n";
    man +=
        ".SH \"SEE ALSO\"\nThe help page installed with the program, and "
        "https://vellumark.org/\n";
    return man;
}

}  // namespace vellumark::cli
