// The main window's document commands: Open and the thumbnail list, page selection, zoom,
// printing and search.
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>

#include "app/LabeledEdit.h"
#include "app/SkinImage.h"
#include "app/TForm1.h"
#include "imaging/ScanDocument.h"
#include "imaging/text/TextLayer.h"
#include "print/PagePrinter.h"
#include "search/TForm2.h"
#include "viewer/DocView.h"
#include "viewer/ThumbCell.h"
#include "viewer/ThumbnailBuilder.h"
#include "viewer/ZoomRules.h"

namespace vellumark::app {

namespace {

constexpr int kImageIndexRole = Qt::UserRole;

// The cell shown until a page's thumbnail arrives: the frame around a blank page.
// The same picture whether the item is selected or not: the caption shows the selection, and a
// tinted thumbnail would misrepresent the page.
QIcon CellIcon(const QPixmap& cell) {
    QIcon icon;
    icon.addPixmap(cell, QIcon::Normal);
    icon.addPixmap(cell, QIcon::Selected);
    return icon;
}

QPixmap PlaceholderCell(qreal pixelRatio) {
    QImage blank(1, 1, QImage::Format_RGB888);
    blank.fill(QColor(248, 249, 251));
    return QPixmap::fromImage(
        viewer::ComposeThumbCell(blank, viewer::ButtonFaceColour(), pixelRatio));
}

}  // namespace

QString DroppedFilePath(const QMimeData& data) {
    const QList<QUrl> urls = data.urls();
    if (urls.isEmpty() || !urls.front().isLocalFile())
        return {};
    const QString path = urls.front().toLocalFile();
    return QFileInfo(path).isFile() ? path : QString();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    // Not while converting: Open is disabled then too.
    if (!converting_ && event->mimeData() != nullptr &&
        !DroppedFilePath(*event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void TForm1::dropEvent(QDropEvent* event) {
    const QString path =
        event->mimeData() != nullptr ? DroppedFilePath(*event->mimeData()) : QString();
    if (path.isEmpty() || converting_)
        return;
    event->acceptProposedAction();
    activateWindow();
    OpenPath(path);
}

void TForm1::SpeedButton3Click() {
    const QString path = dialogs_->OpenDocumentPath(this);
    if (path.isEmpty())
        return;
    OpenPath(path);
}

bool TForm1::OpenPath(const QString& path) {
    if (converting_)
        return false;
    // Opened first so that a file that cannot be read leaves the window as it was.
    std::shared_ptr<const imaging::ScanDocument> document;
    try {
        const std::filesystem::path file = path.toStdString();
        try {
            document = imaging::OpenScanDocument(file);
        } catch (const std::exception&) {
            document = imaging::OpenScanDocument(file);  // one more try, as a flaky share may need
        }
    } catch (const std::exception& error) {
        dialogs_->ShowError(this, QString::fromUtf8(error.what()));
        return false;
    }

    repaint();
    PaneClientBtm->show();
    LabeledEdit1->setText(TitleFromPath(path));
    doc_ = std::move(document);
    Label2->setText(path);
    Label2->setToolTip(path);
    ShowPages(doc_);
    ListView1->setFocus();
    // A new document is cleaned up as the choice says.
    if (CheckBox2->isChecked())
        CheckBox2Click();
    return true;
}

void TForm1::ShowPages(std::shared_ptr<const imaging::PageSource> pages) {
    pages_ = std::move(pages);
    textLayer_ = textReader_ ? std::make_shared<imaging::TextLayer>(pages_, textReader_)
                             : std::make_shared<imaging::TextLayer>(pages_);
    searchCursors_ = {};
    curPage_ = 0;
    DocView->SetDocument(pages_);
    LayoutWorkArea();
    BuildPageList();
    if (ListView1->count() > 0)
        ListView1->setCurrentRow(0);
}

void TForm1::BuildPageList() {
    // A new builder per document: the old one is cancelled, and results it had already sent are
    // told apart by the generation.
    builder_.reset();
    const int generation = ++buildGeneration_;
    buildFailureShown_ = false;
    ListView1->clear();
    imageList2_.clear();

    const int count = pages_ ? pages_->PageCount() : 0;
    ProgressBar1->setRange(0, std::max(count, 1));
    ProgressBar1->setValue(0);
    ProgressBar1->show();
    LayoutWorkArea();

    // Cells in the screen's own pixels, so that they are sharp on a dense screen too.
    const qreal pixelRatio = ListView1->devicePixelRatioF();
    const QPixmap placeholder = PlaceholderCell(pixelRatio);
    imageList2_.assign(static_cast<std::size_t>(count), placeholder);
    for (int i = 0; i < count; ++i) {
        auto* item = new QListWidgetItem(CellIcon(placeholder), QString("page%1").arg(i + 1));
        item->setData(kImageIndexRole, i);
        item->setTextAlignment(Qt::AlignHCenter);
        ListView1->addItem(item);
    }
    if (count == 0) {
        ProgressBar1->hide();
        LayoutWorkArea();
        emit PageListBuilt();
        return;
    }

    builder_ = std::make_unique<viewer::ThumbnailBuilder>();
    connect(builder_.get(), &viewer::ThumbnailBuilder::ThumbnailReady, this,
            [this, generation](int page, const QImage& cell) {
                if (generation != buildGeneration_)
                    return;
                if (page < 0 || page >= static_cast<int>(imageList2_.size()))
                    return;
                imageList2_[page] = QPixmap::fromImage(cell);
                if (QListWidgetItem* item = ListView1->item(page)) {
                    item->setIcon(CellIcon(imageList2_[page]));
                }
            });
    connect(builder_.get(), &viewer::ThumbnailBuilder::Progress, this,
            [this, generation](int done, int total) {
                if (generation != buildGeneration_)
                    return;
                ProgressBar1->setMaximum(std::max(total, 1));
                ProgressBar1->setValue(done);
                if (!converting_)
                    Label1->setText(QString("%1/%2").arg(done).arg(total));
            });
    connect(builder_.get(), &viewer::ThumbnailBuilder::Failed, this,
            [this, generation](int page, const QString& message) {
                if (generation != buildGeneration_ || buildFailureShown_)
                    return;
                // One box per build: a damaged file could otherwise raise one per page.
                buildFailureShown_ = true;
                dialogs_->ShowError(this, QString("page%1: %2").arg(page + 1).arg(message));
            });
    connect(builder_.get(), &viewer::ThumbnailBuilder::Finished, this, [this, generation] {
        if (generation != buildGeneration_)
            return;
        ProgressBar1->hide();
        LayoutWorkArea();
        ShowPageCounter();
        emit PageListBuilt();
    });
    builder_->Start(pages_, pixelRatio);
}

// Not while converting: the status bar shows the conversion's status then.
void TForm1::ShowPageCounter() {
    if (!pages_ || converting_ || IsCleaningUp())
        return;
    Label1->setText(QString("%1/%2").arg(curPage_ + 1).arg(pages_->PageCount()));
}

void TForm1::ListView1SelectItem(QListWidgetItem* item, bool selected) {
    if (!selected || item == nullptr)
        return;
    DocView->SetScale(1.0, 1.0);
    curPage_ = item->data(kImageIndexRole).toInt();
    DocView->SetPageNum(curPage_);
    ShowPageCounter();
}

void TForm1::SpeedButton5Click() {
    const double scale = viewer::ZoomInStep(DocView->Scale());
    DocView->SetScale(scale, scale);
}

void TForm1::SpeedButton6Click() {
    const double scale = viewer::ZoomOutStep(DocView->Scale());
    DocView->SetScale(scale, scale);
}

void TForm1::SpeedButton7Click() {
    DocView->SetScale(1.0, 1.0);
}

void TForm1::SpeedButton8Click() {
    DocView->SetFitMode(2);
}

void TForm1::SpeedButton12Click() {
    if (!printer_) {
        printer_ = std::make_unique<print::PagePrinter>();
        printer_->SetMessageShower(
            [this](QWidget* parent, const QString& title, const QString& text) {
                dialogs_->Message(parent, title, text);
            });
    }
    printer_->PrintSource(this, pages_);
}

void TForm1::SpeedButton19Click() {
    // Each opening starts a fresh pass at the first word of the first page.
    searchCursors_.word = 0;
    searchCursors_.page = 0;
    form2_->SetTarget(textLayer_, DocView, &searchCursors_);
    form2_->exec();
    ShowPageLabels();
}

void TForm1::ShowPageLabels() {
    if (!pages_ || !textLayer_)
        return;
    const int count = pages_->PageCount();
    if (ListView1->count() != count)
        return;
    for (int page = 0; page < count; ++page) {
        if (!textLayer_->IsKnown(page))
            return;
    }
    // Every page's words are cached: this reads nothing.
    const structure::BookStructure found = epub::AnalyseBookText(*pages_, *textLayer_);
    for (int page = 0; page < count; ++page) {
        const std::string& label = found.labels.at(static_cast<std::size_t>(page));
        QString text = QString("page%1").arg(page + 1);
        if (!label.empty())
            text += "\n" + QString::fromStdString(label);
        ListView1->item(page)->setText(text);
    }
}

}  // namespace vellumark::app
