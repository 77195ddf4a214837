#pragma once
// The large page view: shows one page of the open document at a scale, scrolls smoothly, fits
// the page to the view's height and highlights a text selection. GUI thread only.

#include <QAbstractScrollArea>
#include <QRect>
#include <memory>
#include <vector>

namespace vellumark::imaging {
class Document;
}

namespace vellumark::viewer {

class DocView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit DocView(QWidget* parent = nullptr);
    ~DocView() override;

    // Shows the document (null: nothing). The view keeps a reference while it shows it.
    void SetDocument(std::shared_ptr<const imaging::Document> document);

    // Scale 1.0 is the page's own size at 96 pixels per inch. The two factors are written
    // equal by every caller; Scale() reports the horizontal one.
    double Scale() const;
    void SetScale(double horizontal, double vertical);

    // 0-based page shown.
    int PageNum() const;
    void SetPageNum(int page);

    // FitMode 2 fits the page to the height of the view; other values do nothing.
    void SetFitMode(int mode);

    // Highlights boxes on a page (in the page's own pixels, as scanned), shows that page and
    // scrolls the first box into view. No boxes: just shows the page.
    void SetTextSelection(int page, const std::vector<QRect>& boxes);
    void ClearTextSelection();
};

}  // namespace vellumark::viewer
