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
class ScanDocument;
class PageSource;
}  // namespace vellumark::imaging

namespace vellumark::print {

class JobSink;

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
    void Print(QWidget* parent, std::shared_ptr<const imaging::ScanDocument> document);
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
