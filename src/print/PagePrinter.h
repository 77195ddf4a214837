#pragma once
// Printing pages of the open document, one print job per page.

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QMessageBox;
class QPrintDialog;
class QPrinter;
class QWidget;

namespace vellumark::imaging {
class Document;
class PageSource;
}  // namespace vellumark::imaging

namespace vellumark::print {

class JobSink;

struct PagePlacement {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// Doubles a w x h picture while it is under half the printable width and height, centres it
// on a pw x ph page and clamps it to the page. A picture without area is not enlarged.
PagePlacement PlacePage(int width, int height, int pageWidth, int pageHeight);

// 0-based first and last page; all pages: 0 and pageCount - 1; a page range: from - 1, to - 1.
struct PageRange {
    int first = 0, last = -1;
};
PageRange ResolveRange(bool allPages, int fromPage, int toPage, int pageCount);

// A message box as the print action shows them: the text and title given, OK only, no icon.
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const QString& title,
                                            const QString& text);

class PagePrinter : public QObject {
    Q_OBJECT
public:
    explicit PagePrinter(QObject* parent = nullptr);
    ~PagePrinter() override;

    // The print action: the dialog (settings kept between openings), the range check with
    // "Error Page Range!" / "Warning", then one job per page. Without a document: a "Note!"
    // message. Errors of a page are shown in a message box and end the run.
    // GUI thread. The jobs are drawn on a worker thread while a modal progress dialog keeps the
    // window painted and lets the user stop between pages; a call made while a run is in
    // progress does nothing.
    void Print(QWidget* parent, std::shared_ptr<const imaging::Document> document);
    // The same for any source of pages (tests give their own).
    void PrintSource(QWidget* parent, std::shared_ptr<const imaging::PageSource> source);

    QPrinter& Printer();  // the kept settings (tests look at them)

    // The print dialog as Print shows it, on the kept printer.
    std::unique_ptr<QPrintDialog> MakeDialog(QWidget* parent);

    // What Print does at its edges; tests replace these. Defaults: the dialog's exec(), a
    // PrinterSink on the kept printer, and MakeMessageBox(...)->exec().
    using DialogRunner = std::function<int(QPrintDialog& dialog)>;
    using SinkFactory = std::function<std::unique_ptr<JobSink>(QPrinter& printer)>;
    using MessageShower =
        std::function<void(QWidget* parent, const QString& title, const QString& text)>;
    void SetDialogRunner(DialogRunner runner);
    void SetSinkFactory(SinkFactory factory);
    void SetMessageShower(MessageShower shower);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vellumark::print
