#include "search/TForm2.h"

#include <QFutureWatcher>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRect>
#include <QtConcurrent/QtConcurrentRun>
#include <vector>

#include "imaging/text/TextLayer.h"
#include "viewer/DocView.h"

namespace vellumark::search {
namespace {

constexpr QSize kOuterSize(307, 182);
constexpr QPoint kScreenPosition(506, 244);
constexpr int kLabelSpacing = 3;  // between "Search Word:" and its edit box

// The 1024 x 10 light-blue strip stretched behind the controls.
QImage MakeGradient() {
    QImage image(1024, 10, QImage::Format_RGB32);
    const QColor left(84, 141, 212);
    const QColor right(198, 224, 250);
    for (int x = 0; x < image.width(); ++x) {
        const double t = x / double(image.width() - 1);
        const QRgb colour = qRgb(left.red() + (right.red() - left.red()) * t,
                                 left.green() + (right.green() - left.green()) * t,
                                 left.blue() + (right.blue() - left.blue()) * t);
        for (int y = 0; y < image.height(); ++y)
            image.setPixel(x, y, colour);
    }
    return image;
}

QFont DialogFont() {
    QFont font;
    font.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "DejaVu Sans"});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

QFont Bold(QFont font) {
    font.setBold(true);
    return font;
}

}  // namespace

TForm2::TForm2(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      gradient_(MakeGradient()) {
    setObjectName("TForm2");
    setWindowTitle("Search");
    setFont(DialogFont());
    setSizeGripEnabled(false);
    resize(kOuterSize);
    move(kScreenPosition);

    LabeledEdit1 = new QLineEdit(this);
    LabeledEdit1->setObjectName("LabeledEdit1");
    LabeledEdit1->setGeometry(104, 32, 153, 21);

    LabeledEdit1Label = new QLabel("Search Word:", this);
    LabeledEdit1Label->setObjectName("LabeledEdit1Label");
    LabeledEdit1Label->setFont(Bold(font()));
    LabeledEdit1Label->setStyleSheet("color: white; background: transparent;");
    LabeledEdit1Label->setAttribute(Qt::WA_TranslucentBackground);
    LabeledEdit1Label->setBuddy(LabeledEdit1);
    LabeledEdit1Label->adjustSize();
    const QSize labelSize = LabeledEdit1Label->size();
    LabeledEdit1Label->move(104 - kLabelSpacing - labelSize.width(),
                            32 + (21 - labelSize.height()) / 2);

    Button1 = new QPushButton("Find Next", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(56, 96, 75, 25);
    Button2 = new QPushButton("Cancel", this);
    Button2->setObjectName("Button2");
    Button2->setGeometry(152, 96, 75, 25);
    for (QPushButton* button : {Button1, Button2}) {
        button->setFont(Bold(font()));
        // Enter and Escape do nothing by themselves in this dialog.
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    // Shown only while a step runs: OCR can take seconds per page.
    StatusLabel = new QLabel(this);
    StatusLabel->setObjectName("StatusLabel");
    StatusLabel->setGeometry(24, 60, 259, 16);
    StatusLabel->setStyleSheet("color: white; background: transparent;");
    StatusLabel->hide();
    BusyBar = new QProgressBar(this);
    BusyBar->setObjectName("BusyBar");
    BusyBar->setGeometry(24, 78, 259, 10);
    BusyBar->setRange(0, 0);
    BusyBar->setTextVisible(false);
    BusyBar->hide();

    LabeledEdit1->setFocusPolicy(Qt::StrongFocus);
    setTabOrder(LabeledEdit1, Button1);
    setTabOrder(Button1, Button2);

    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
}

TForm2::~TForm2() {
    StopStep();
}

void TForm2::SetTarget(std::shared_ptr<imaging::TextLayer> text, viewer::DocView* view,
                       SearchCursors* cursors) {
    text_ = std::move(text);
    view_ = view;
    cursors_ = cursors;
}

bool TForm2::IsSearching() const {
    return searching_;
}

void TForm2::done(int result) {
    if (IsSearching()) {
        if (cancel_)
            cancel_->store(true);
        ++step_;  // its outcome, when it comes, is no longer wanted
        SetSearching(false);
        emit StepFinished();
    }
    QDialog::done(result);
}

void TForm2::Button1Click() {
    if (IsSearching() || cursors_ == nullptr)
        return;
    if (!text_)
        return;  // no document open: nothing to search
    // The word exactly as typed: no trimming, and an empty word is not refused.
    const std::string word = LabeledEdit1->text().toStdString();
    const std::shared_ptr<const imaging::TextLayer> text = text_;
    const SearchCursors from = *cursors_;
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    const auto cancel = cancel_;
    const unsigned step = ++step_;
    const int pageCount = text->PageCount();

    SetSearching(true);
    QFuture<StepResult> future =
        QtConcurrent::run([this, text, word, from, cancel, step, pageCount] {
            imaging::SearchControl control;
            control.cancel = cancel.get();
            control.onPage = [this, step, pageCount](int page) {
                // Posted to the dialog's thread; the dialog outlives the thread (see StopStep).
                QMetaObject::invokeMethod(
                    this,
                    [this, step, page, pageCount] {
                        if (step == step_)
                            ShowReading(page, pageCount);
                    },
                    Qt::QueuedConnection);
            };
            return RunSearchStep(text, word, from, control);
        });
    futures_.removeIf([](const QFuture<StepResult>& f) { return f.isFinished(); });
    futures_.append(future);
    auto* watcher = new QFutureWatcher<StepResult>(this);
    connect(watcher, &QFutureWatcher<StepResult>::finished, this, [this, watcher, step] {
        watcher->deleteLater();
        if (step == step_)
            StepDone(watcher->result());
    });
    watcher->setFuture(future);
}

void TForm2::Button2Click() {
    reject();
}

void TForm2::StepDone(const StepResult& result) {
    SetSearching(false);
    if (cursors_ == nullptr) {
        emit StepFinished();
        return;
    }
    switch (result.outcome) {
        case StepResult::Outcome::NoHit: {
            QMessageBox box(QMessageBox::NoIcon, "Result", "Not Find!", QMessageBox::Ok, this);
            box.exec();
            break;
        }
        case StepResult::Outcome::Hit: {
            *cursors_ = result.next;
            if (view_ != nullptr) {
                std::vector<QRect> boxes;
                for (const imaging::Word& word : result.words) {
                    if (word.hasBox)
                        boxes.emplace_back(word.left, word.top, word.width, word.height);
                }
                // The dialog stays where it is: the hit goes where it does not hide it.
                view_->SetTextSelection(result.hit.page, boxes, frameGeometry());
                view_->SetPageNum(cursors_->page);
            }
            break;
        }
        case StepResult::Outcome::Failed:
        case StepResult::Outcome::Cancelled:
            // A failed step ends silently; the user can try again.
            break;
    }
    emit StepFinished();
}

void TForm2::ShowReading(int page, int pageCount) {
    StatusLabel->setText(QString("Reading page %1 of %2...").arg(page + 1).arg(pageCount));
}

void TForm2::SetSearching(bool searching) {
    searching_ = searching;
    Button1->setEnabled(!searching);
    StatusLabel->setText(searching ? QString("Searching...") : QString());
    StatusLabel->setVisible(searching);
    BusyBar->setVisible(searching);
}

void TForm2::StopStep() {
    if (cancel_)
        cancel_->store(true);
    ++step_;
    for (QFuture<StepResult>& future : futures_)
        future.waitForFinished();
}

void TForm2::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), gradient_);
}

void TForm2::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();  // no default or cancel button
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void TForm2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!sized_) {
        // The outer size includes the window frame, known only once shown.
        sized_ = true;
        const QSize frame = frameGeometry().size() - geometry().size();
        if (frame != QSize(0, 0))
            resize(kOuterSize - frame);
    }
}

}  // namespace vellumark::search
