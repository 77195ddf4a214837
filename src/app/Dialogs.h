#pragma once
// Every dialog and outside program the main window talks to, behind one interface so that tests
// can answer them without a screen. GUI thread only.

#include <QString>
#include <QUrl>
#include <memory>

class QWidget;

namespace vellumark::app {

// The file filters of the two open dialogs, in the designer's "text|pattern|text|pattern" form.
inline constexpr char kOpenDialog1Filter[] =
    "MDI File(*.mdi)|*.mdi|TIF File(*.tif)|*.tif|TIFF file(*.tiff)|*.tiff|"
    "All Supported Image Format|*.*";
inline constexpr char kOpenDialog2Filter[] = "JPG, JPEG Files|*.jpg;*.jpeg";

// Turns a "text|pattern|..." filter into QFileDialog's "text (patterns);;..." form. A text that
// already ends with its pattern in brackets is kept as it is; ";" between patterns becomes " ".
QString QtNameFilters(const QString& designerFilter);

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // OpenDialog1: a document path, empty when cancelled.
    virtual QString OpenDocumentPath(QWidget* parent) = 0;
    // OpenDialog2: a cover picture path, empty when cancelled.
    virtual QString OpenCoverPath(QWidget* parent) = 0;
    // The folder browser with the prompt "Please Choose a Folder"; empty when cancelled.
    virtual QString ChooseFolder(QWidget* parent, const QString& initialFolder) = 0;

    // A modal box with the OK button only and no icon ("Note!", "Congratulation", ...).
    virtual void Message(QWidget* parent, const QString& title, const QString& text) = 0;
    // "The file is existing. Overwrite?" with "&Yes" and "&No"; true only for Yes.
    virtual bool ConfirmOverwrite(QWidget* parent) = 0;
    // The default error display: the error's text in a box; the program goes on.
    virtual void ShowError(QWidget* parent, const QString& text) = 0;

    // Hands a web address or a local folder or file to the desktop.
    virtual void OpenUrl(const QUrl& url) = 0;
};

// The real dialogs: QFileDialog, QMessageBox and QDesktopServices.
std::unique_ptr<Dialogs> MakeQtDialogs();

}  // namespace vellumark::app
