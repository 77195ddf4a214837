// The window as `vellumark FILE` starts it: shown, then the document opened as Open does.
#include <QAbstractButton>
#include <QLabel>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QStringList>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "RunFolders.h"
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

// Sets an environment variable for the object's life.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(WindowStartTest, ClearsWhatAKilledRunLeftAndNothingElse) {
    namespace fs = std::filesystem;
    const vellumark::testing::TempFolder temp;
    const ScopedEnv tmp("TMPDIR", (temp / "tmp").string());
    const ScopedEnv home("HOME", (temp / "home").string());
    const fs::path output = temp / "home" / "Output";  // the window's default
    const vellumark::testing::Decoys tmpDecoys(temp / "tmp", "vellumark-", temp / "elsewhere");
    const vellumark::testing::Decoys outDecoys(output, ".vellumark-", temp / "elsewhere");
    const fs::path deadWork = vellumark::testing::MakeAbandonedFolder(temp / "tmp", "vellumark-");
    const fs::path deadStaging = vellumark::testing::MakeAbandonedFolder(output, ".vellumark-");

    TForm1Options options;
    options.dialogs = std::make_unique<FakeDialogs>(std::make_shared<DialogLog>());
    options.installedContainer = temp / "epubfiles";
    fs::copy(VELLUMARK_TEST_EPUBFILES, options.installedContainer, fs::copy_options::recursive);
    const TForm1 form(std::move(options));
    EXPECT_FALSE(fs::exists(deadWork));
    EXPECT_FALSE(fs::exists(deadStaging));
    tmpDecoys.ExpectWhole();
    outDecoys.ExpectWhole();
}

}  // namespace
}  // namespace vellumark::app::testing
