// The Convert command on the window's side: the engine runs on a worker thread and reports back
// through a GuiReporter; the window disables what would disturb it until it ends.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtConcurrent/QtConcurrentRun>

#include "app/GuiReporter.h"
#include "app/LabeledEdit.h"
#include "app/SpeedButton.h"
#include "app/TForm1.h"
#include "imaging/Document.h"

namespace vellumark::app {

void TForm1::SpeedButton4Click() {
    if (converting_)
        return;
    if (!workingFolder_) {
        dialogs_->ShowError(
            this, "No working folder for the book: " + QString::fromStdString(workingFolderError_));
        return;
    }
    epub::ConversionSettings settings;
    settings.title = LabeledEdit1->text().toStdString();
    settings.author = LabeledEdit2->text().toStdString();
    settings.cover = LabeledEdit3->text().toStdString();
    settings.outputFolder = LabeledEdit4->text().toStdString();
    settings.workingFolder = workingFolder_->Path();
    settings.format = ChosenFormat();
    // Pages already cleaned up as shown go in as they are; otherwise the conversion cleans
    // them up itself.
    const bool shownClean = CheckBox2->isChecked() && pages_ && pages_ == cleanedPages_;
    if (!shownClean)
        settings.cleanup = ChosenCleanup();
    if (settings.format == epub::BookFormat::Epub3) {
        settings.pageBox = ChosenPageBox();
        // The window's own text layer: pages a search has read are not read again.
        if (CheckBox1->isChecked())
            settings.text = textLayer_;
        settings.outline.toc = ChosenToc();
    }
    // The reflowable book is made of the text, read the way a search reads it.
    if (settings.format == epub::BookFormat::Reflow) {
        settings.text = textLayer_;
        settings.ocrLanguage = imaging::kDefaultOcrLanguage;
    }

    GuiReporter::Handlers handlers;
    handlers.note = [this](const QString& text) { dialogs_->Message(this, "Note!", text); };
    handlers.confirmOverwrite = [this](const QString&) { return dialogs_->ConfirmOverwrite(this); };
    // After Cancel the status bar keeps saying so until the job has stopped.
    handlers.status = [this](const QString& text) {
        if (cancelling_)
            return;
        conversionStatus_ = text;
        Label1->setText(text);
        Label1->repaint();
    };
    handlers.progress = [this](int done, int total) {
        ProgressBar1->setMaximum(std::max(total, 1));
        ProgressBar1->setValue(done);
        if (ProgressBar1->isHidden()) {
            ProgressBar1->show();
            LayoutWorkArea();
        }
        if (!cancelling_)
            Label1->setText(QString("%1 %2/%3").arg(conversionStatus_).arg(done).arg(total));
    };
    reporter_ = std::make_shared<GuiReporter>(this, std::move(handlers));
    settings.stop = reporter_->StopToken();

    SetConverting(true);
    // The job keeps the document and the reporter alive however the window changes meanwhile.
    std::shared_ptr<const imaging::PageSource> document =
        shownClean ? pages_ : std::shared_ptr<const imaging::PageSource>(doc_);
    std::shared_ptr<GuiReporter> reporter = reporter_;
    // Convert never throws: every failure comes back in its result.
    conversion_.setFuture(QtConcurrent::run([document, settings, reporter] {
        return epub::Convert(document.get(), settings, *reporter);
    }));
}

void TForm1::Button1Click() {
    if (!converting_ || cancelling_ || !reporter_)
        return;
    cancelling_ = true;
    // The job looks at this between pages and within a page being read, and then stops; any
    // question it was about to ask counts as declined.
    reporter_->Abandon();
    Button1->setEnabled(false);
    Label1->setText("Cancelling...");
}

void TForm1::ConversionFinished() {
    const epub::ConversionResult result = conversion_.result();
    SetConverting(false);
    if (!IsBuildingPageList()) {
        ProgressBar1->hide();
        LayoutWorkArea();
    }
    // Only a finished book keeps its status text; otherwise "Converting..." would stay.
    if (result.outcome != epub::ConversionOutcome::Succeeded)
        ShowPageCounter();
    switch (result.outcome) {
        case epub::ConversionOutcome::Succeeded:
            ShowPageLabels();
            dialogs_->Message(this, "Congratulation", QString::fromStdString(result.message));
            dialogs_->OpenUrl(
                QUrl::fromLocalFile(QString::fromStdString(result.output.parent_path().string())));
            break;
        case epub::ConversionOutcome::Failed:
            dialogs_->ShowError(this, QString::fromStdString(result.message));
            break;
        case epub::ConversionOutcome::Refused:
        case epub::ConversionOutcome::Declined:
        case epub::ConversionOutcome::Cancelled:
            break;
    }
    emit ConversionEnded(result.outcome);
}

void TForm1::SetConverting(bool converting) {
    converting_ = converting;
    cancelling_ = false;
    conversionStatus_.clear();
    for (QWidget* control : std::initializer_list<QWidget*>{
             SpeedButton3, SpeedButton4, SpeedButton12, SpeedButton19, LabeledEdit1, LabeledEdit2,
             LabeledEdit3, LabeledEdit4, PNGButton8, PNGButton9, ComboBox1, CheckBox2}) {
        control->setEnabled(!converting);
    }
    ComboBox1Change();
    Button1->setEnabled(converting);
    PlaceStatusLabels();
    if (converting) {
        setCursor(Qt::BusyCursor);
    } else {
        unsetCursor();
    }
}

}  // namespace vellumark::app
