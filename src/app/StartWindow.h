#pragma once
// How the program starts its window: shown, then the document it was given opened in it.

#include <QString>
#include <filesystem>

namespace vellumark::app {

class TForm1;

// The desktop entry's name without ".desktop", which is also the icon's name.
inline const QString kDesktopId = QStringLiteral("org.vellumark.Vellumark");

// Shows `form` and, unless `document` is empty, opens it once the event loop runs, as Open does
// (a file that cannot be opened shows the same message). Each time a document's page list is
// built, its page count is logged under the category "vellumark.window", which is silent unless
// QT_LOGGING_RULES turns it on ("vellumark.window.info=true"); a script starting the window uses
// it to see that the document loaded. GUI thread only; `form` must outlive the event loop.
void StartWindow(TForm1& form, const std::filesystem::path& document);

}  // namespace vellumark::app
