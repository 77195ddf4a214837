#include "epub/ReflowPages.h"

#include "epub/PageFigures.h"
#include "imaging/Jpeg.h"
#include "structure/BookStructure.h"

namespace vellumark::epub {
namespace {

// What a page gives the book, besides its words (which the text layer keeps).
struct PageReading {
    std::vector<structure::PictureBox> boxes;
    std::vector<CutPicture> pictures;
    std::vector<std::uint8_t> cover;  // the first page's picture, when it is the cover
};

}  // namespace

ReflowBook ReadReflowBook(const imaging::PageSource& pages, const imaging::TextLayer& text,
                          Scheduler& scheduler, OrderedFiles& files, const ReflowOptions& options) {
    const int count = pages.PageCount();
    std::vector<PageReading> readings(static_cast<std::size_t>(std::max(count, 0)));
    ParallelFor(
        scheduler, count,
        [&](int page) {
            const std::vector<imaging::Word> words = text.Words(page, options.stop);
            const imaging::PageShape shape = pages.Shape(page);
            imaging::Picture picture = pages.PagePicture(page);
            const double scale =
                shape.width > 0 ? static_cast<double>(picture.width) / shape.width : 1.0;
            PageReading& reading = readings[static_cast<std::size_t>(page)];
            if (page == 0 && options.pageCover)
                reading.cover = imaging::EncodeJpeg(picture, options.quality);
            imaging::Picture copy = picture;
            reading.boxes = FindPictureBoxes(imaging::ToGrey(std::move(copy)), words, scale);
            const bool bilevel = shape.kind == imaging::PageKind::Bilevel;
            for (const structure::PictureBox& box : reading.boxes)
                reading.pictures.push_back(CutOut(picture, box, scale, bilevel, options.quality));
        },
        options.progress, options.stop);

    ReflowBook book;
    structure::BookAnalyser analyser;
    std::vector<std::vector<structure::PictureBox>> boxes;
    const std::string content = kContentPrefix;
    for (int page = 0; page < count; ++page) {
        const imaging::PageShape shape = pages.Shape(page);
        analyser.AddPage(text.Words(page), shape.width, shape.height);
        PageReading& reading = readings[static_cast<std::size_t>(page)];
        boxes.push_back(std::move(reading.boxes));
        book.pictures.emplace_back();
        for (std::size_t k = 0; k < reading.pictures.size(); ++k) {
            CutPicture& cut = reading.pictures[k];
            const std::string name =
                "figure" + std::to_string(page + 1) + "-" + std::to_string(k + 1) + cut.extension;
            book.pictures.back().push_back({name, cut.mediaType, cut.width, cut.height});
            files.Keep(content + name, std::move(cut.bytes));
        }
        if (!reading.cover.empty()) {
            book.book.coverName = "cover.jpg";
            files.Keep(content + book.book.coverName, std::move(reading.cover));
        }
        reading = PageReading();
    }
    const structure::BookStructure structure = analyser.Finish();
    book.flow = structure::FlowOf(structure, analyser.Pages(), boxes);
    book.book.pageCount = count;
    book.book.pageLabels = structure.labels;
    book.book.format = BookFormat::Reflow;
    return book;
}

}  // namespace vellumark::epub
