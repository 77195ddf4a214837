#include "app/RunWindow.h"

#include <QApplication>
#include <QIcon>

#include "app/StartWindow.h"
#include "app/TForm1.h"

namespace vellumark::app {

int RunWindow(int argc, char** argv, const std::filesystem::path& document) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Vellumark");
    QApplication::setApplicationVersion("3.0");
    // Lets the desktop match the window to its menu entry and icon.
    QApplication::setDesktopFileName(kDesktopId);
    QApplication::setWindowIcon(QIcon::fromTheme(kDesktopId));
    TForm1 form;
    StartWindow(form, document);
    return QApplication::exec();
}

}  // namespace vellumark::app
