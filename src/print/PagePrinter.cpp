#include "print/PagePrinter.h"

#include <QEventLoop>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QtConcurrent/QtConcurrentRun>
#include <atomic>

#include "imaging/ScanDocument.h"
#include "print/PagePlacement.h"
#include "print/PrintJobs.h"

namespace vellumark::print {

namespace {

constexpr int kLowestPage = 0;
constexpr int kHighestPage = 1000;

// Title of the box that reports an unexpected error: the window's own caption.
QString ErrorTitle(QWidget* parent) {
    if (parent != nullptr && !parent->window()->windowTitle().isEmpty()) {
        return parent->window()->windowTitle();
    }
    return QGuiApplication::applicationDisplayName();
}

}  // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const QString& title,
                                            const QString& text) {
    auto box =
        std::make_unique<QMessageBox>(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box->setDefaultButton(QMessageBox::Ok);
    return box;
}

struct PagePrinter::Impl {
    QPrinter printer;
    bool printing = false;
    DialogRunner runDialog = [](QPrintDialog& dialog) { return dialog.exec(); };
    SinkFactory makeSink = [](QPrinter& printer) -> std::unique_ptr<JobSink> {
        return std::make_unique<PrinterSink>(printer);
    };
    MessageShower showMessage = [](QWidget* parent, const QString& title, const QString& text) {
        MakeMessageBox(parent, title, text)->exec();
    };
};

PagePrinter::PagePrinter(QObject* parent) : QObject(parent), impl_(std::make_unique<Impl>()) {
    impl_->printer.setPrintRange(QPrinter::AllPages);
    impl_->printer.setFromTo(1, 1);
}

PagePrinter::~PagePrinter() = default;

QPrinter& PagePrinter::Printer() {
    return impl_->printer;
}

std::unique_ptr<QPrintDialog> PagePrinter::MakeDialog(QWidget* parent) {
    // The range kind and page numbers live in the kept printer, which the dialog reads when it
    // opens and writes back on OK; the rest is set anew on every opening.
    auto dialog = std::make_unique<QPrintDialog>(&impl_->printer, parent);
    dialog->setMinMax(kLowestPage, kHighestPage);
    dialog->setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog->setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog->setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog->setOption(QAbstractPrintDialog::PrintToFile, false);
    return dialog;
}

void PagePrinter::SetDialogRunner(DialogRunner runner) {
    impl_->runDialog = std::move(runner);
}
void PagePrinter::SetSinkFactory(SinkFactory factory) {
    impl_->makeSink = std::move(factory);
}
void PagePrinter::SetMessageShower(MessageShower shower) {
    impl_->showMessage = std::move(shower);
}

void PagePrinter::Print(QWidget* parent, std::shared_ptr<const imaging::ScanDocument> document) {
    PrintSource(parent, std::move(document));
}

void PagePrinter::PrintSource(QWidget* parent,
                              std::shared_ptr<const imaging::PageSource> document) {
    Impl& d = *impl_;
    if (d.printing) {
        return;
    }
    if (!document) {
        d.showMessage(parent, tr("Note!"), tr("Please open a document first!"));
        return;
    }
    {
        std::unique_ptr<QPrintDialog> dialog = MakeDialog(parent);
        if (d.runDialog(*dialog) != QDialog::Accepted) {
            return;
        }
    }
    const bool allPages = d.printer.printRange() != QPrinter::PageRange;
    const PageRange range =
        ResolveRange(allPages, d.printer.fromPage(), d.printer.toPage(), document->PageCount());
    if (range.last < range.first) {
        d.showMessage(parent, QStringLiteral("Warning"), QStringLiteral("Error Page Range!"));
        return;
    }

    d.printing = true;
    const long long total = static_cast<long long>(range.last) - range.first + 1;
    QProgressDialog progress(tr("Printing..."), tr("Stop"), 0,
                             static_cast<int>(std::min<long long>(total, kHighestPage + 1)),
                             parent);
    progress.setWindowTitle(tr("Print"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setValue(0);

    std::atomic<bool> stop{false};
    connect(&progress, &QProgressDialog::canceled, &progress, [&stop] { stop = true; });

    std::unique_ptr<JobSink> sink = d.makeSink(d.printer);
    // The worker only reads the document and draws on the sink; the GUI thread waits below in
    // a local loop and touches neither until the worker is done.
    QFutureWatcher<QString> watcher;
    QEventLoop loop;
    connect(&watcher, &QFutureWatcher<QString>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run([&, document] {
        try {
            PrintPages(*document, range, *sink, [&](int done) {
                QMetaObject::invokeMethod(
                    &progress, [&progress, done] { progress.setValue(done); },
                    Qt::QueuedConnection);
                return !stop.load();
            });
            return QString();
        } catch (const std::exception& e) {
            return QString::fromUtf8(e.what());
        } catch (...) {
            return tr("Printing failed.");
        }
    }));
    if (!watcher.isFinished()) {
        loop.exec();
    }
    const QString error = watcher.result();
    progress.close();
    d.printing = false;
    if (!error.isEmpty()) {
        d.showMessage(parent, ErrorTitle(parent), error);
    }
}

}  // namespace vellumark::print
