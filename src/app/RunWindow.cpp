#include "app/RunWindow.h"

#include <QApplication>

#include "app/TForm1.h"

namespace vellumark::app {

int RunWindow(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Vellumark");
    QApplication::setApplicationVersion("3.0");
    TForm1 form;
    form.show();
    return QApplication::exec();
}

}  // namespace vellumark::app
