#pragma once
// The modal "Search" dialog: finds the search word one hit at a time and shows each hit in the
// main window's page view.

#include <QDialog>
#include <QFuture>
#include <QImage>
#include <QList>
#include <atomic>
#include <memory>

#include "search/SearchCursors.h"
#include "search/SearchStep.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace vellumark::imaging {
class TextLayer;
}
namespace vellumark::viewer {
class DocView;
}

namespace vellumark::search {

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
    // Stops a running step and waits for its thread to let go of the dialog.
    ~TForm2() override;

    // What the next openings search: the open document's words (null: no document), the view
    // that shows the hits, and the main window's cursors (not owned; must outlive the dialog's
    // use). The main window calls this, resets the cursors to 0, then exec().
    void SetTarget(std::shared_ptr<imaging::TextLayer> text, viewer::DocView* view,
                   SearchCursors* cursors);

    // True while a search step runs (between "Find Next" and its outcome).
    bool IsSearching() const;

    // Closing the dialog (Cancel, the close box) also stops a running step.
    void done(int result) override;

signals:
    // A step has ended: hit shown, "Not Find!" answered, failed or cancelled.
    void StepFinished();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Button1Click();
    void Button2Click();
    void StepDone(const StepResult& result);
    void ShowReading(int page, int pageCount);
    void SetSearching(bool searching);
    void StopStep();

    QLineEdit* LabeledEdit1;
    QLabel* LabeledEdit1Label;
    QPushButton* Button1;
    QPushButton* Button2;
    QLabel* StatusLabel;
    QProgressBar* BusyBar;
    QImage gradient_;
    bool sized_ = false;

    std::shared_ptr<imaging::TextLayer> text_;
    viewer::DocView* view_ = nullptr;
    SearchCursors* cursors_ = nullptr;

    // Steps whose threads may still run: the current one and abandoned ones finishing a page.
    QList<QFuture<StepResult>> futures_;
    std::shared_ptr<std::atomic<bool>> cancel_;
    // Bumped when a step starts or is abandoned, so that an abandoned step's outcome is ignored.
    unsigned step_ = 0;
    bool searching_ = false;
};

}  // namespace vellumark::search
