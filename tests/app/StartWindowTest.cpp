// The window as `vellumark FILE` starts it: shown, then the document opened as Open does.
#include <QAbstractButton>
#include <QLabel>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QStringList>
#include <fstream>

#include "WindowFixture.h"
#include "app/StartWindow.h"
#include "imaging/Document.h"

namespace vellumark::app::testing {
namespace {

using StartWindowTest = WindowTest;

// The messages of the "vellumark.window" category, turned on while the object lives.
class WindowLog {
public:
    WindowLog() {
        QLoggingCategory::setFilterRules("vellumark.window.info=true");
        Previous() = qInstallMessageHandler(&WindowLog::Record);
    }
    ~WindowLog() {
        qInstallMessageHandler(Previous());
        QLoggingCategory::setFilterRules(QString());
        Lines().clear();
    }
    WindowLog(const WindowLog&) = delete;
    WindowLog& operator=(const WindowLog&) = delete;

    static QStringList& Lines() {
        static QStringList lines;
        return lines;
    }

private:
    static QtMessageHandler& Previous() {
        static QtMessageHandler previous = nullptr;
        return previous;
    }
    static void Record(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (QByteArray(context.category) == "vellumark.window")
            Lines() << text;
        else if (Previous())
            Previous()(type, context, text);
    }
};

TEST_F(StartWindowTest, TheGivenDocumentIsOpenedAndItsPageCountLogged) {
    const WindowLog log;
    const auto path = WriteScan("given.tif", 3);
    QSignalSpy built(form_.get(), &TForm1::PageListBuilt);
    StartWindow(*form_, path);
    // Opened once the event loop runs, not before the window is drawn.
    EXPECT_EQ(form_->Doc(), nullptr);
    ASSERT_TRUE(built.wait(30000));

    EXPECT_TRUE(form_->isVisible());
    ASSERT_NE(form_->Doc(), nullptr);
    EXPECT_EQ(form_->Doc()->PageCount(), 3);
    EXPECT_EQ(Child<QLabel>("Label1")->text(), "1/3");
    EXPECT_EQ(Child<QLabel>("Label2")->text(), QString::fromStdString(path.string()));
    EXPECT_TRUE(log_->errors.isEmpty()) << log_->errors.join("\n").toStdString();
    EXPECT_EQ(WindowLog::Lines(), QStringList{"page list built: 3 pages"});
}

TEST_F(StartWindowTest, ADocumentThatCannotBeOpenedGetsOpensMessage) {
    const auto path = temp_.Path() / "notes.tif";
    std::ofstream(path) << "not a scan";
    log_->documentPath = QString::fromStdString(path.string());
    Child<QAbstractButton>("SpeedButton3")->click();
    ASSERT_EQ(log_->errors.size(), 1);
    const QString openMessage = log_->errors.takeFirst();

    StartWindow(*form_, path);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !log_->errors.isEmpty(); }, 5000));
    EXPECT_EQ(log_->errors, QStringList{openMessage});
    EXPECT_EQ(form_->Doc(), nullptr);
    EXPECT_TRUE(form_->isVisible());
}

TEST_F(StartWindowTest, NoDocumentLeavesTheWindowEmpty) {
    StartWindow(*form_, {});
    QTest::qWait(50);
    EXPECT_TRUE(form_->isVisible());
    EXPECT_EQ(form_->Doc(), nullptr);
    EXPECT_TRUE(log_->errors.isEmpty());
}

}  // namespace
}  // namespace vellumark::app::testing
