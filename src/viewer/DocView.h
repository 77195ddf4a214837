#pragma once
// The large page view: shows one page of the open document at a scale, scrolls smoothly, fits
// the page to the view's height and highlights a text selection. GUI thread only.
//
// Pages are decoded on a worker thread and cached; until a page's picture arrives the view
// shows a blank page of the right size, so every call below returns at once.

#include <QAbstractScrollArea>
#include <QRect>
#include <QString>
#include <memory>
#include <vector>

namespace vellumark::imaging {
class PageSource;
}

namespace vellumark::viewer {

class DocView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit DocView(QWidget* parent = nullptr);
    ~DocView() override;

    // Shows the document (null: nothing) from its first page. The view keeps a reference while
    // it shows it. Throws vellumark::Error when the first page's directory cannot be read.
    void SetDocument(std::shared_ptr<const imaging::PageSource> document);

    // Scale 1.0 is the page's own size at 96 pixels per inch. The two factors are written
    // equal by every caller; Scale() reports the horizontal one. Factors that are not finite
    // and positive are ignored. Setting a scale ends fitting to the height.
    double Scale() const;
    void SetScale(double horizontal, double vertical);

    // 0-based page shown. Another page is shown from its top left corner; setting the page
    // already shown leaves the view as it is. Throws vellumark::Error for a page the document
    // does not have.
    int PageNum() const;
    void SetPageNum(int page);

    // FitMode 2 fits the page to the height of the view, and keeps it fitted as the view is
    // resized or the page changes, until a scale is set; other values do nothing.
    void SetFitMode(int mode);

    // Highlights boxes on a page, shows that page and scrolls the first box into view. Boxes are
    // in the page's own pixels with its orientation applied, as the text layer gives them. A
    // `keepClearOf` rectangle (global coordinates; a dialog standing over the view) is allowed
    // for: the box is scrolled into the part of the view it leaves free, beyond the page's edge
    // if need be, and the scroll bars reach that far until the page or the scale changes.
    // No boxes: just shows the page.
    void SetTextSelection(int page, const std::vector<QRect>& boxes, const QRect& keepClearOf = {});
    void ClearTextSelection();

    // A line shown quietly in the middle of the view while it has no page to show (what to do
    // first, typically). Empty: nothing.
    void SetEmptyHint(const QString& text);

    // True while a picture for what the view should show is still being made.
    bool IsRendering() const;

signals:
    // The view has the best picture it will make of `page` at the current scale.
    void PageRendered(int page);
    // The page's picture could not be made; the view shows the message in its place.
    void PageFailed(int page, const QString& message);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vellumark::viewer
