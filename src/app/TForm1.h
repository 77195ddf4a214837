#pragma once
// The main window: a borderless, rounded window with its own title band, toolbar and status bar,
// the thumbnail column, the page view and the conversion settings. It holds the open document
// and runs long work (thumbnails, conversion) off its thread, disabling what would disturb it.
// GUI thread only. Every command shows an unexpected error in a box and the window goes on.

#include <QFutureWatcher>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/Dialogs.h"
#include "app/Glyphs.h"
#include "app/TitleSprite.h"
#include "epub/BookOutline.h"
#include "epub/ConversionJob.h"
#include "epub/Folders.h"
#include "imaging/cleanup/CleanedPages.h"
#include "imaging/text/TextLayer.h"
#include "search/SearchCursors.h"

class QCheckBox;
class QComboBox;
class QKeySequence;
class QLabel;
class QMimeData;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;

namespace vellumark::imaging {
class ScanDocument;
}
namespace vellumark::search {
class TForm2;
}
namespace vellumark::print {
class PagePrinter;
}
namespace vellumark::viewer {
class DocView;
class ThumbnailBuilder;
}  // namespace vellumark::viewer

namespace vellumark::app {

class GuiReporter;
class LabeledEdit;
class ResizeHandle;
class SkinImage;
class SpeedButton;
class TImgBtn;

struct TForm1Options {
    std::unique_ptr<Dialogs> dialogs;  // null: the Qt dialogs
    // The installed container files the working folder is made from; empty: beside the program.
    std::filesystem::path installedContainer;
    // Reads the words of the open document's pages for Search and the text layer; empty: a
    // page's stored text, else Tesseract in English.
    imaging::TextLayer::Reader textReader;
};

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(TForm1Options options = {});
    ~TForm1() override;  // waits for a running conversion, then deletes the content folder

    // Opens a document as Open does once its dialog has given a path. False (after showing the
    // error) when it cannot be opened; the window is then as it was.
    bool OpenPath(const QString& path);

    std::shared_ptr<const imaging::ScanDocument> Doc() const { return doc_; }
    // What the page view, the thumbnails, Search and Print show: the document, or its pages as
    // clean-up makes them once "Clean up pages" is ticked and they are planned.
    std::shared_ptr<const imaging::PageSource> ShownPages() const { return pages_; }
    bool IsCleaningUp() const { return cleanup_.isRunning(); }
    int CurPage() const { return curPage_; }
    bool IsConverting() const;
    bool IsBuildingPageList() const;
    // The working folder, empty when none could be had (Convert then reports why).
    std::filesystem::path WorkingFolderPath() const;

signals:
    void PageListBuilt();   // every thumbnail of the open document is made (or failed)
    void PagesCleanedUp();  // the cleaned pages are planned and shown
    void ConversionEnded(vellumark::epub::ConversionOutcome outcome);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    // A scan dropped anywhere on the window is opened as Open opens it.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Building the window.
    void FormCreate();
    void CreatePanel1();
    void CreateToolbar();
    void CreatePanel3();
    void CreatePanel4();
    void CreatePanel2();
    void CreateSettingsPanel();
    SpeedButton* AddSpeedButton(const char* name, int left, int width, const QString& caption,
                                const QString& toolTip, Glyph glyph, void (TForm1::*handler)());
    void AddSeparator(const char* name, int left, int top, int height);
    // Keys that press the button (only while it is enabled), shown after its tool tip.
    void AddShortcut(SpeedButton* button, const QList<QKeySequence>& keys, const QString& shown);

    // Layout.
    void FormResize();
    void LayoutWorkArea();
    void PlaceTitleButtons();
    void PlaceResizeHandles();
    void Maximise();
    void Restore();
    void CutPictures(TImgBtn* button, SpriteCell cell);

    // Frame commands.
    void ImgBtnMinClick();    // minimise button: minimises the window
    void ImgBtnMaxClick();    // maximise button, title double click: maximises or restores
    void ImgBtnCloseClick();  // close button: closes the window without asking
    void TitleMouseDown(Qt::MouseButton button);  // press on the title band: starts a move
    void TitleMouseMove(QPoint globalPos);        // drag on the title band: moves by hand

    // Document commands.
    void SpeedButton3Click();  // Open: asks for a scan and opens it (OpenPath)
    void BuildPageList();      // makes the thumbnails of the open document off this thread
    void ListView1SelectItem(QListWidgetItem* item, bool selected);  // thumbnail: shows its page
    void SpeedButton5Click();   // Zoom In: one step up (ZoomInStep)
    void SpeedButton6Click();   // Zoom Out: one step down (ZoomOutStep)
    void SpeedButton7Click();   // Original: scale 1
    void SpeedButton8Click();   // FitSize: fits the page to the view's height
    void SpeedButton12Click();  // Print: the print dialog, then one job per page
    void SpeedButton19Click();  // Search: the search dialog over the document's words

    // Settings and conversion.
    void SpeedButton1Click();   // Options: shows or hides the settings panel
    void PNGButton8Click();     // picker beside Cover Image: chooses the cover picture
    void PNGButton9Click();     // picker beside Save ePub To: chooses the output folder
    void ComboBox1Change();     // a format is chosen: page size and text layer only for EPUB 3
    void SpeedButton4Click();   // Convert: makes the book on a worker thread
    void Button1Click();        // Cancel: stops the running conversion
    void ConversionFinished();  // the book is made (or not): says how it went
    void SetConverting(bool converting);  // disables what would disturb a conversion
    void PlaceStatusLabels();             // Label1, Label2 and, while converting, Button1
    epub::BookFormat ChosenFormat() const;
    std::optional<epub::PageBox> ChosenPageBox() const;  // none: 96 pixels per inch
    epub::TocKind ChosenToc() const;
    // Once every shown page's words are known (read by a search or a conversion), each
    // thumbnail shows the label printed on its page under its number.
    void ShowPageLabels();
    // Every clean-up step when "Clean up pages" is ticked (turning pages upright only when
    // Tesseract's orientation data is installed); none otherwise.
    imaging::CleanupOptions ChosenCleanup() const;
    // Shows `pages` in the page view, the thumbnails, Search and Print, from its first page.
    void ShowPages(std::shared_ptr<const imaging::PageSource> pages);
    // "Clean up pages" ticked or not, or another document opened: plans the cleaned pages of
    // the open document on a worker thread (their progress in the progress bar), or goes back
    // to the document's own pages.
    void CheckBox2Click();
    void CleanupFinished();

    // Help and home page.
    void SpeedButton13Click();  // help: opens the help page installed with the program
    void SpeedButton14Click();  // Home: opens the project's web page

    // Runs a command; an error is shown and the window goes on.
    void Guarded(const std::function<void()>& command);
    void ShowPageCounter();

    std::unique_ptr<Dialogs> dialogs_;
    std::filesystem::path installedContainer_;
    imaging::TextLayer::Reader textReader_;  // empty: the default reader
    std::optional<epub::WorkingFolder> workingFolder_;
    std::string workingFolderError_;
    std::filesystem::path contentFolder_;

    std::shared_ptr<const imaging::ScanDocument> doc_;
    std::shared_ptr<const imaging::PageSource> pages_;  // doc_, or cleanedPages_
    // The pages as clean-up makes them, planned on a worker thread when "Clean up pages" is
    // ticked; a plan under way is stopped by its flag when the choice or the document changes.
    std::shared_ptr<const imaging::CleanedPages> cleanedPages_;
    QFutureWatcher<std::shared_ptr<const imaging::CleanedPages>> cleanup_;
    std::shared_ptr<std::atomic<bool>> cleanupStop_;
    int curPage_ = 0;
    std::vector<QPixmap> imageList2_;  // ImageList2: one cell per page, image index = page
    std::unique_ptr<viewer::ThumbnailBuilder> builder_;
    int buildGeneration_ = 0;
    bool buildFailureShown_ = false;

    std::unique_ptr<print::PagePrinter> printer_;
    std::shared_ptr<GuiReporter> reporter_;
    QFutureWatcher<epub::ConversionResult> conversion_;
    bool converting_ = false;
    bool cancelling_ = false;   // Cancel was pressed: the job stops within a page
    QString conversionStatus_;  // the job's last status text, shown with its page progress

    std::vector<ResizeHandle*> resizeHandles_;  // along the border, the grip at the bottom right
    QImage imageM_;                             // the title-button sprite
    QRect normalGeometry_;
    bool manualDrag_ = false;
    QPoint dragOffset_;

    // Controls, by their design names.
    QWidget* Panel1 = nullptr;
    QWidget* Panel2 = nullptr;
    QWidget* Panel3 = nullptr;
    QWidget* Panel4 = nullptr;
    QWidget* PanelImage = nullptr;
    SkinImage* Image1 = nullptr;
    SkinImage* Image2 = nullptr;
    SkinImage* Image3 = nullptr;
    SkinImage* Image4 = nullptr;
    SkinImage* Image5 = nullptr;
    SkinImage* Image6 = nullptr;
    SkinImage* Image7 = nullptr;
    SkinImage* Image8 = nullptr;
    SkinImage* Image9 = nullptr;
    TImgBtn* ImgBtnMin = nullptr;
    TImgBtn* ImgBtnMax = nullptr;
    TImgBtn* ImgBtnClose = nullptr;
    SpeedButton* SpeedButton1 = nullptr;
    SpeedButton* SpeedButton3 = nullptr;
    SpeedButton* SpeedButton4 = nullptr;
    SpeedButton* SpeedButton5 = nullptr;
    SpeedButton* SpeedButton6 = nullptr;
    SpeedButton* SpeedButton7 = nullptr;
    SpeedButton* SpeedButton8 = nullptr;
    SpeedButton* SpeedButton12 = nullptr;
    SpeedButton* SpeedButton13 = nullptr;
    SpeedButton* SpeedButton14 = nullptr;
    SpeedButton* SpeedButton19 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QListWidget* ListView1 = nullptr;
    viewer::DocView* DocView = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    SkinImage* PaneClientBtm = nullptr;
    LabeledEdit* LabeledEdit1 = nullptr;
    LabeledEdit* LabeledEdit2 = nullptr;
    LabeledEdit* LabeledEdit3 = nullptr;
    LabeledEdit* LabeledEdit4 = nullptr;
    SpeedButton* PNGButton8 = nullptr;
    SpeedButton* PNGButton9 = nullptr;
    QComboBox* ComboBox1 = nullptr;  // the book's format: EPUB 2 or EPUB 3 fixed layout
    QComboBox* ComboBox2 = nullptr;  // EPUB 3 pages: 96 pixels per inch or a device's screen
    QCheckBox* CheckBox1 = nullptr;  // EPUB 3: the pages' words as an invisible text layer
    QCheckBox* CheckBox2 = nullptr;  // clean up the pages before they go into the book
    QComboBox* ComboBox3 = nullptr;  // EPUB 3 with text: the contents by chapters or by pages
    QPushButton* Button1 = nullptr;  // Cancel, in the status bar while a conversion runs

    // Word search: the open document's words (read on first need and kept while it is open),
    // the cursors where the next step starts, and the dialog, made once and kept. The dialog is
    // declared last so that it goes before what it searches.
    // Also the text layer of a conversion, so that pages a search has read are not read again.
    std::shared_ptr<imaging::TextLayer> textLayer_;
    search::SearchCursors searchCursors_;
    std::unique_ptr<search::TForm2> form2_;
};

// How a device profile is offered in ComboBox2: "kobo-libra (1264 x 1680)".
QString ProfileCaption(const epub::DeviceProfile& profile);

// The title a document's path suggests: its file name without the last extension.
QString TitleFromPath(const QString& path);

// The file a drop offers to open: its first URL when that is a local file, else empty.
QString DroppedFilePath(const QMimeData& data);

// The window's shape for a size: a rectangle with corner ellipses 6 pixels across.
QRegion RoundedWindowRegion(QSize size);

}  // namespace vellumark::app
