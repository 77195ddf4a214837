#include "app/StartWindow.h"

#include <QLoggingCategory>
#include <QTimer>

#include "app/TForm1.h"
#include "imaging/Document.h"

namespace vellumark::app {
namespace {

Q_LOGGING_CATEGORY(windowLog, "vellumark.window", QtWarningMsg)

}  // namespace

void StartWindow(TForm1& form, const std::filesystem::path& document) {
    QObject::connect(&form, &TForm1::PageListBuilt, &form, [&form] {
        if (form.Doc())
            qCInfo(windowLog, "page list built: %d pages", form.Doc()->PageCount());
    });
    form.show();
    if (document.empty())
        return;
    // Queued, so that the window is drawn before a slow open or its error message.
    const QString path = QString::fromStdString(document.string());
    QTimer::singleShot(0, &form, [&form, path] { form.OpenPath(path); });
}

}  // namespace vellumark::app
