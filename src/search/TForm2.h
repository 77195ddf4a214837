#pragma once
// The modal "Search" dialog: finds the search word one hit at a time and shows each hit in the
// main window's page view.

#include <QDialog>
#include <memory>

#include "search/SearchCursors.h"

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
    ~TForm2() override;

    // What the next openings search: the open document's words (null: no document), the view
    // that shows the hits, and the main window's cursors (not owned; must outlive the dialog's
    // use). The main window calls this, resets the cursors to 0, then exec().
    void SetTarget(std::shared_ptr<imaging::TextLayer> text, viewer::DocView* view,
                   SearchCursors* cursors);
};

}  // namespace vellumark::search
