// Convert through the window: the notes, a whole conversion with its messages, the overwrite
// question, the controls held off while the job runs, the EPUB 3 choices and Cancel.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "RunProgram.h"
#include "WindowFixture.h"
#include "app/LabeledEdit.h"
#include "common/Error.h"
#include "epub/FixedLayoutBook.h"
#include "imaging/Document.h"
#include "tools/SampleScan.h"
#include "tools/ScannedSheet.h"

namespace vellumark::app::testing {
namespace {

class ConvertTest : public WindowTest {
protected:
    // Presses Convert and waits for the job to end.
    epub::ConversionOutcome Convert() {
        QSignalSpy ended(form_.get(), &TForm1::ConversionEnded);
        Child<QAbstractButton>("SpeedButton4")->click();
        EXPECT_TRUE(ended.wait(60000));
        return ended.isEmpty() ? epub::ConversionOutcome::Failed
                               : ended.front().front().value<epub::ConversionOutcome>();
    }

    void Fill(const QString& title, const QString& author) {
        Child<LabeledEdit>("LabeledEdit1")->setText(title);
        Child<LabeledEdit>("LabeledEdit2")->setText(author);
        Child<LabeledEdit>("LabeledEdit4")->setText(QString::fromStdString(output().string()));
    }

    std::filesystem::path output() const { return temp_.Path() / "books"; }

    void ChooseFormat(epub::BookFormat format) {
        auto* box = Child<QComboBox>("ComboBox1");
        box->setCurrentIndex(box->findData(static_cast<int>(format)));
    }
    void ChooseProfile(const QString& name) {
        auto* box = Child<QComboBox>("ComboBox2");
        box->setCurrentIndex(box->findData(name));
    }
    void ChooseTextLayer(bool on) { Child<QCheckBox>("CheckBox1")->setChecked(on); }

    // An entry of the book's content folder, read by an independent unzip.
    static std::string BookFile(const std::filesystem::path& book, const std::string& name) {
        const vellumark::testing::RunResult result =
            vellumark::testing::RunProgram("unzip", {"-p", book.string(), "OEBPS/" + name});
        EXPECT_EQ(result.exitCode, 0) << name << ": " << result.err;
        return result.out;
    }

    // The package element's start tag of the book's fb.opf.
    static std::string PackageTag(const std::filesystem::path& book) {
        const std::string opf = BookFile(book, "fb.opf");
        const std::size_t start = opf.find("<package");
        return start == std::string::npos ? std::string()
                                          : opf.substr(start, opf.find('>', start) - start);
    }
};

// A PNG's width and height, from its header chunk.
std::pair<int, int> PngSize(const std::string& png) {
    if (png.size() < 24 || png.compare(1, 3, "PNG") != 0)
        return {0, 0};
    const auto be32 = [&](std::size_t at) {
        int value = 0;
        for (std::size_t i = 0; i < 4; ++i)
            value = value * 256 + static_cast<unsigned char>(png[at + i]);
        return value;
    };
    return {be32(16), be32(20)};
}

TEST_F(ConvertTest, MissingTitleOrAuthorGivesItsNote) {
    OpenAndWait(WriteScan("scan.tif", 1));
    Fill("", "Someone");
    EXPECT_EQ(Convert(), epub::ConversionOutcome::Refused);
    Fill("A Title", "");
    EXPECT_EQ(Convert(), epub::ConversionOutcome::Refused);
    ASSERT_EQ(log_->messages.size(), 2);
    EXPECT_EQ(log_->messages[0].title, "Note!");
    EXPECT_EQ(log_->messages[0].text, "Please set the epub title!");
    EXPECT_EQ(log_->messages[1].title, "Note!");
    EXPECT_EQ(log_->messages[1].text, "Please set the author name!");
    EXPECT_FALSE(std::filesystem::exists(output() / "A Title.epub"));
    EXPECT_TRUE(log_->errors.isEmpty());
}

TEST_F(ConvertTest, WithoutADocumentTheEngineGivesItsNote) {
    Fill("A Title", "Someone");
    EXPECT_EQ(Convert(), epub::ConversionOutcome::Refused);
    ASSERT_EQ(log_->messages.size(), 1);
    EXPECT_EQ(log_->messages[0].title, "Note!");
    EXPECT_FALSE(log_->messages[0].text.isEmpty());
    EXPECT_TRUE(Child<QAbstractButton>("SpeedButton4")->isEnabled());
}

TEST_F(ConvertTest, Epub3WithTheTextLayerAndAProfileMakesFixedPagesForThatScreen) {
    // One page larger than the screen, so that it is made smaller to fit it.
    tools::PageLayout layout;
    layout.width = 1500;
    layout.height = 2000;
    layout.margin = 150;
    const std::filesystem::path scan = temp_ / "words.tif";
    tools::WriteScan(scan, {tools::RenderPage({{"Quasar beacons glow", 20}}, layout)});
    OpenAndWait(scan);
    Fill("Fixed", "An Author");
    ChooseFormat(epub::BookFormat::Epub3);
    ChooseProfile("kobo-clara");
    ChooseTextLayer(true);
    ASSERT_EQ(Convert(), epub::ConversionOutcome::Succeeded)
        << log_->errors.join("\n").toStdString();

    const std::filesystem::path book = output() / "Fixed.epub";
    EXPECT_NE(PackageTag(book).find("version=\"3.0\""), std::string::npos) << PackageTag(book);
    const epub::PageBox screen = epub::FindDeviceProfile("kobo-clara")->screen;
    const std::pair<int, int> size = PngSize(BookFile(book, "1.png"));
    EXPECT_EQ(size, epub::FitPage(1500, 2000, screen));
    EXPECT_EQ(size.first, screen.width) << "the side that meets the screen";
    const std::string page = BookFile(book, epub::FixedPageFile(1));
    EXPECT_NE(page.find("content=\"width=" + std::to_string(size.first) +
                        ", height=" + std::to_string(size.second) + "\""),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("Quasar"), std::string::npos) << "the page's words, read by OCR";
}

TEST_F(ConvertTest, ReflowableTextIsMadeFromThePagesWordsWithTheFixedLayoutChoicesOff) {
    tools::PageLayout layout;
    layout.width = 1500;
    layout.height = 900;
    layout.margin = 150;
    const std::filesystem::path scan = temp_ / "words.tif";
    tools::WriteScan(scan, {tools::RenderPage({{"Quasar beacons glow", 20}}, layout)});
    OpenAndWait(scan);
    Fill("Flowing", "An Author");
    ChooseFormat(epub::BookFormat::Reflow);
    for (const char* name : {"ComboBox2", "CheckBox1"})
        EXPECT_FALSE(Child<QWidget>(name)->isEnabled()) << name;
    ASSERT_EQ(Convert(), epub::ConversionOutcome::Succeeded)
        << log_->errors.join("\n").toStdString();
    const std::filesystem::path book = output() / "Flowing.epub";
    EXPECT_NE(PackageTag(book).find("version=\"3.0\""), std::string::npos) << PackageTag(book);
    const std::string chapter = BookFile(book, "chapter1.xhtml");
    EXPECT_NE(chapter.find("<p>Quasar beacons glow</p>"), std::string::npos) << chapter;
}

TEST_F(ConvertTest, Epub2IgnoresTheTextLayerAndPageSizeChosenForEpub3) {
    OpenAndWait(WriteScan("scan.tif", 1));
    Fill("Reflowable", "An Author");
    ChooseFormat(epub::BookFormat::Epub3);
    ChooseProfile("kobo-libra");
    ChooseTextLayer(true);
    ChooseFormat(epub::BookFormat::Epub2);
    ASSERT_EQ(Convert(), epub::ConversionOutcome::Succeeded)
        << (log_->messages.empty() ? "" : log_->messages[0].text.toStdString());
    EXPECT_NE(PackageTag(output() / "Reflowable.epub").find("version=\"2.0\""), std::string::npos);
}

// The cleaned pages are shown before converting, and are what goes into the book; untick, and
// the scan's own pages are back.
TEST_F(ConvertTest, CleanUpPagesShowsAndConvertsTwoLevelPagesOfASpread) {
    tools::SheetOptions turned;
    turned.degrees = 1.2;
    const std::filesystem::path scan = temp_ / "spread.tif";
    tools::WriteOptions options;
    options.dpi = 150;
    tools::WriteScan(scan,
                     {tools::ToBilevel(tools::ScanSheet(
                         tools::Spread(tools::TextPage(tools::SmallA4(1), 250, 11),
                                       tools::TextPage(tools::SmallA4(2), 250, 11), 8),
                         turned))},
                     options);
    OpenAndWait(scan);
    auto* list = Child<QListWidget>("ListView1");
    ASSERT_EQ(list->count(), 1);
    QSignalSpy cleaned(form_.get(), &TForm1::PagesCleanedUp);
    Child<QCheckBox>("CheckBox2")->setChecked(true);
    ASSERT_TRUE(cleaned.wait(60000));
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(form_->ShownPages()->PageCount(), 2);
    EXPECT_LT(form_->ShownPages()->Shape(0).width, form_->Doc()->Shape(0).width / 2)
        << "a page, not the sheet";

    Fill("Spread", "An Author");
    ASSERT_EQ(Convert(), epub::ConversionOutcome::Succeeded)
        << log_->errors.join("\n").toStdString();
    const std::string opf = BookFile(output() / "Spread.epub", "fb.opf");
    EXPECT_NE(opf.find("href=\"2.jpg\""), std::string::npos) << opf;
    EXPECT_EQ(opf.find("href=\"3.jpg\""), std::string::npos) << opf;

    QSignalSpy built(form_.get(), &TForm1::PageListBuilt);
    Child<QCheckBox>("CheckBox2")->setChecked(false);
    ASSERT_TRUE(built.wait(30000));
    EXPECT_EQ(list->count(), 1);
    EXPECT_EQ(form_->ShownPages().get(), form_->Doc().get());
}

// Words from a reader the test controls: each page read is counted, and a page can be made to
// take until the conversion is cancelled.
struct ScriptedReading {
    std::atomic<int> reads{0};
    std::atomic<bool> slow{false};
    std::atomic<bool> cancelSeen{false};
};

class TextLayerConvertTest : public ConvertTest {
protected:
    TextLayerConvertTest() {
        textReader_ = [reading = reading_](const imaging::PageSource&, int page,
                                           const imaging::TextLayer::CancelFlag* cancel) {
            ++reading->reads;
            // Bounded, so that a cancel that never arrives fails the test instead of hanging it.
            for (int i = 0; reading->slow && i < 60000; ++i) {
                if (cancel != nullptr && *cancel) {
                    reading->cancelSeen = true;
                    throw Error(ErrorCode::Cancelled, "The reading was cancelled.");
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            imaging::Word word;
            word.text = "Zeppelin" + std::to_string(page + 1);
            word.left = 10;
            word.top = 20;
            word.width = 60;
            word.height = 16;
            word.hasBox = true;
            return std::vector<imaging::Word>{word};
        };
    }

    // Starts a conversion with the text layer whose reading takes until it is cancelled, and
    // waits until the first page is being read.
    void StartSlowConversion() {
        reading_->slow = true;
        Fill("Slow", "An Author");
        ChooseFormat(epub::BookFormat::Epub3);
        ChooseTextLayer(true);
        const int before = reading_->reads;
        Child<QAbstractButton>("SpeedButton4")->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return reading_->reads > before; }, 30000));
    }

    std::shared_ptr<ScriptedReading> reading_ = std::make_shared<ScriptedReading>();
};

TEST_F(TextLayerConvertTest, TheWindowsTextLayerIsUsedSoPagesAreReadOnce) {
    OpenAndWait(WriteScan("scan.tif", 2));
    Fill("Words", "An Author");
    ChooseFormat(epub::BookFormat::Epub3);
    ChooseTextLayer(true);
    ASSERT_EQ(Convert(), epub::ConversionOutcome::Succeeded);
    EXPECT_EQ(reading_->reads, 2);
    const std::filesystem::path book = output() / "Words.epub";
    EXPECT_NE(BookFile(book, epub::FixedPageFile(2)).find("Zeppelin2"), std::string::npos);

    log_->overwrite = true;
    ASSERT_EQ(Convert(), epub::ConversionOutcome::Succeeded);
    EXPECT_EQ(reading_->reads, 2) << "read again";
    EXPECT_NE(BookFile(book, epub::FixedPageFile(1)).find("Zeppelin1"), std::string::npos);
}

// Pages whose words carry a page number printed at the foot: once a conversion has read them,
// each thumbnail shows its printed label, and the book's page list has them.
class PrintedNumbersTest : public ConvertTest {
protected:
    PrintedNumbersTest() {
        textReader_ = [](const imaging::PageSource& pages, int page, const auto*) {
            const imaging::PageShape shape = pages.Shape(page);
            std::vector<imaging::Word> words;
            const auto add = [&](std::string text, int left, int top, int height, int line) {
                imaging::Word word{std::move(text)};
                word.left = left;
                word.top = top;
                word.width = static_cast<int>(word.text.size()) * height / 2;
                word.height = height;
                word.hasBox = true;
                word.line = line;
                words.push_back(std::move(word));
            };
            const int h = shape.height / 60;
            for (int line = 0; line < 20; ++line) {
                for (int w = 0; w < 6; ++w)
                    add("word" + std::to_string(w), shape.width / 8 + w * shape.width / 8,
                        shape.height / 10 + line * 2 * h, h, line);
            }
            add(std::to_string(page + 11), shape.width / 2, shape.height - 4 * h, h, 20);
            return words;
        };
    }
};

TEST_F(PrintedNumbersTest, ThumbnailsShowThePrintedLabelsOnceTheTextIsRead) {
    OpenAndWait(WriteScan("scan.tif", 5));
    auto* list = Child<QListWidget>("ListView1");
    EXPECT_EQ(list->item(2)->text(), "page3");
    Fill("Numbered", "An Author");
    ChooseFormat(epub::BookFormat::Epub3);
    ChooseTextLayer(true);
    ASSERT_EQ(Convert(), epub::ConversionOutcome::Succeeded);
    for (int page = 0; page < 5; ++page)
        EXPECT_EQ(list->item(page)->text(), QString("page%1\n%2").arg(page + 1).arg(page + 11));
    EXPECT_NE(BookFile(output() / "Numbered.epub", "nav.xhtml").find(">13<"), std::string::npos);
}

TEST_F(TextLayerConvertTest, CancelStopsAReadingUnderWayAndLeavesNoBook) {
    OpenAndWait(WriteScan("scan.tif", 3));
    ASSERT_NO_FATAL_FAILURE(StartSlowConversion());

    // The status bar says what runs and offers Cancel in place of the path.
    auto* label1 = static_cast<QLabel*>(Child<QWidget>("Label1"));
    auto* cancel = Child<QPushButton>("Button1");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return label1->text().startsWith(epub::kConvertingWithTextText); }, 30000))
        << label1->text().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return label1->text().endsWith(" 0/3"); }, 30000))
        << "the pages done: " << label1->text().toStdString();
    EXPECT_GE(label1->width(), label1->sizeHint().width()) << "the whole text shows";
    EXPECT_TRUE(Child<QProgressBar>("ProgressBar1")->isVisible());
    EXPECT_TRUE(cancel->isVisible());
    EXPECT_TRUE(cancel->isEnabled());
    EXPECT_FALSE(Child<QWidget>("Label2")->isVisible());
    EXPECT_FALSE(cancel->geometry().intersects(label1->geometry()));
    for (const char* name : {"ComboBox1", "ComboBox2", "CheckBox1", "SpeedButton4"})
        EXPECT_FALSE(Child<QWidget>(name)->isEnabled()) << name;
    // Paging through the document meanwhile leaves the status where it is.
    Child<QListWidget>("ListView1")->setCurrentRow(1);
    EXPECT_EQ(form_->CurPage(), 1);
    EXPECT_TRUE(label1->text().startsWith(epub::kConvertingWithTextText));

    QSignalSpy ended(form_.get(), &TForm1::ConversionEnded);
    cancel->click();
    EXPECT_FALSE(cancel->isEnabled()) << "pressed once";
    ASSERT_TRUE(ended.wait(60000));
    EXPECT_EQ(ended.front().front().value<epub::ConversionOutcome>(),
              epub::ConversionOutcome::Cancelled);
    EXPECT_TRUE(reading_->cancelSeen) << "the page being read was stopped";
    EXPECT_TRUE(log_->errors.isEmpty()) << log_->errors.join("\n").toStdString();
    EXPECT_TRUE(log_->messages.empty());
    EXPECT_FALSE(std::filesystem::exists(output() / "Slow.epub"));
    EXPECT_EQ(label1->text(), "2/3") << "the page counter again";
    EXPECT_FALSE(cancel->isVisible());
    EXPECT_TRUE(Child<QWidget>("Label2")->isVisible());
    for (const char* name : {"ComboBox1", "ComboBox2", "CheckBox1", "SpeedButton4"})
        EXPECT_TRUE(Child<QWidget>(name)->isEnabled()) << name;

    // Esc cancels too; what was cancelled is read again, not taken as read.
    QSignalSpy endedAgain(form_.get(), &TForm1::ConversionEnded);
    ASSERT_NO_FATAL_FAILURE(StartSlowConversion());
    ASSERT_TRUE(cancel->isVisible());
    QTest::keyClick(form_.get(), Qt::Key_Escape);
    ASSERT_TRUE(endedAgain.wait(60000));
    EXPECT_EQ(endedAgain.front().front().value<epub::ConversionOutcome>(),
              epub::ConversionOutcome::Cancelled);
    EXPECT_FALSE(std::filesystem::exists(output() / "Slow.epub"));

    reading_->slow = false;
    EXPECT_EQ(Convert(), epub::ConversionOutcome::Succeeded);
}

TEST_F(ConvertTest, ASuccessfulConversionWritesTheBookAndSaysSo) {
    OpenAndWait(WriteScan("scan.tif", 3));
    Fill("My Book", "An Author");

    QSignalSpy ended(form_.get(), &TForm1::ConversionEnded);
    Child<QAbstractButton>("SpeedButton4")->click();
    // Held off while the job runs.
    for (const char* name :
         {"SpeedButton3", "SpeedButton4", "SpeedButton12", "SpeedButton19", "LabeledEdit1",
          "LabeledEdit2", "LabeledEdit3", "LabeledEdit4", "PNGButton8", "PNGButton9"}) {
        EXPECT_FALSE(Child<QWidget>(name)->isEnabled()) << name;
    }
    EXPECT_TRUE(form_->IsConverting());
    ASSERT_TRUE(ended.wait(60000));
    ASSERT_EQ(ended.front().front().value<epub::ConversionOutcome>(),
              epub::ConversionOutcome::Succeeded)
        << log_->errors.join("\n").toStdString();

    const std::filesystem::path book = output() / "My Book.epub";
    EXPECT_TRUE(std::filesystem::exists(book));
    EXPECT_GT(std::filesystem::file_size(book), 100u);
    EXPECT_EQ(static_cast<QLabel*>(Child<QWidget>("Label1"))->text(), "Successed!");
    ASSERT_FALSE(log_->messages.empty());
    EXPECT_EQ(log_->messages.back().title, "Congratulation");
    EXPECT_EQ(log_->messages.back().text,
              "Successed to build: " + QString::fromStdString(book.string()));
    ASSERT_EQ(log_->opened.size(), 1);
    EXPECT_EQ(log_->opened[0], QUrl::fromLocalFile(QString::fromStdString(output().string())));
    for (const char* name : {"SpeedButton3", "SpeedButton4", "LabeledEdit1", "PNGButton9"}) {
        EXPECT_TRUE(Child<QWidget>(name)->isEnabled()) << name;
    }
    EXPECT_FALSE(form_->IsConverting());
}

TEST_F(ConvertTest, AnExistingBookIsReplacedOnlyWhenTheUserAgrees) {
    OpenAndWait(WriteScan("scan.tif", 1));
    Fill("Twice", "An Author");
    ASSERT_EQ(Convert(), epub::ConversionOutcome::Succeeded);
    const std::filesystem::path book = output() / "Twice.epub";
    std::filesystem::resize_file(book, 10);  // marks the old book

    log_->overwrite = false;
    const std::size_t messagesBefore = log_->messages.size();
    EXPECT_EQ(Convert(), epub::ConversionOutcome::Declined);
    EXPECT_EQ(log_->overwriteQuestions, 1);
    EXPECT_EQ(std::filesystem::file_size(book), 10u);
    EXPECT_EQ(log_->messages.size(), messagesBefore) << "no message after No";

    log_->overwrite = true;
    EXPECT_EQ(Convert(), epub::ConversionOutcome::Succeeded);
    EXPECT_EQ(log_->overwriteQuestions, 2);
    EXPECT_GT(std::filesystem::file_size(book), 10u);
}

TEST_F(ConvertTest, AFailedWriteIsReportedAndTheControlsComeBack) {
    OpenAndWait(WriteScan("scan.tif", 1));
    // The output "folder" is a file: the book cannot be written there.
    const auto blocker = temp_ / "not-a-folder";
    std::ofstream(blocker) << "x";
    Fill("Blocked", "An Author");
    Child<LabeledEdit>("LabeledEdit4")->setText(QString::fromStdString(blocker.string()));
    const epub::ConversionOutcome outcome = Convert();
    EXPECT_NE(outcome, epub::ConversionOutcome::Succeeded);
    EXPECT_FALSE(log_->errors.isEmpty() && log_->messages.empty()) << "the failure is shown";
    EXPECT_TRUE(Child<QWidget>("SpeedButton4")->isEnabled());
    EXPECT_TRUE(Child<QWidget>("LabeledEdit4")->isEnabled());
}

TEST_F(ConvertTest, ClosingDuringAConversionWaitsForItAndCleansUp) {
    OpenAndWait(WriteScan("scan.tif", 3));
    Fill("Closing", "An Author");
    const std::filesystem::path working = form_->WorkingFolderPath();
    Child<QAbstractButton>("SpeedButton4")->click();
    form_.reset();
    EXPECT_FALSE(std::filesystem::exists(working / "OEBPS"));
}

TEST_F(TextLayerConvertTest, ClosingDuringAReadingStopsIt) {
    OpenAndWait(WriteScan("scan.tif", 2));
    ASSERT_NO_FATAL_FAILURE(StartSlowConversion());
    const std::filesystem::path working = form_->WorkingFolderPath();
    form_.reset();
    EXPECT_TRUE(reading_->cancelSeen);
    EXPECT_FALSE(std::filesystem::exists(output() / "Slow.epub"));
    EXPECT_FALSE(std::filesystem::exists(working / "OEBPS"));
}

}  // namespace
}  // namespace vellumark::app::testing
