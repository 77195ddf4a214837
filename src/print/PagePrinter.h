#pragma once
// Printing pages of the open document, one print job per page.

#include <QObject>
#include <memory>
#include <optional>

class QPrinter;
class QWidget;

namespace vellumark::imaging {
class Document;
}

namespace vellumark::print {

struct PagePlacement {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// Doubles a w x h picture while it is under half the printable width and height, centres it
// on a pw x ph page and clamps it to the page.
PagePlacement PlacePage(int width, int height, int pageWidth, int pageHeight);

// 0-based first and last page; all pages: 0 and pageCount - 1; a page range: from - 1, to - 1.
struct PageRange {
    int first = 0, last = -1;
};
PageRange ResolveRange(bool allPages, int fromPage, int toPage, int pageCount);

class PagePrinter : public QObject {
    Q_OBJECT
public:
    explicit PagePrinter(QObject* parent = nullptr);
    ~PagePrinter() override;

    // The print action: the dialog (settings kept between openings), the range check with
    // "Error Page Range!" / "Warning", then one job per page. Without a document: a "Note!"
    // message. Errors of a page are shown in a message box and end the run.
    void Print(QWidget* parent, std::shared_ptr<const imaging::Document> document);

    QPrinter& Printer();  // the kept settings (tests look at them)
};

}  // namespace vellumark::print
