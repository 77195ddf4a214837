// Drives the real window on a real display for a look at it: the empty window, the title
// buttons in each state, a scan opened, zoomed and paged, the shortcuts and their tool tips, a
// search with the dialog over the page view, resizing by the grip, a second scan dropped on the
// window and searched, the settings panel set for an EPUB 3 book with its text layer (and the
// page sizes offered), then Convert with the text layer and Cancel pressed at once, Convert
// again while the status bar shows the text being read, the message boxes answered, and
// closing. Not a test:
// scripts/window-tour.sh runs it under Xvfb and takes a screenshot at each "shot:" line.
//   window_tour SCAN OUTPUT_FOLDER [--drop SCAN2] [--word WORD] [--wait | --hold MS]
// --wait: after each "shot: NAME" line (the driver takes a screenshot) and each "keys: KEYS"
// line (the driver types KEYS), go on only when a line arrives on standard input; otherwise
// each shot holds for MS milliseconds (default 3000) and keys are sent as Qt key events.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>

#include "FakeDialogs.h"
#include "app/FrameResize.h"
#include "app/LabeledEdit.h"
#include "app/TForm1.h"
#include "app/TImgBtn.h"
#include "search/TForm2.h"
#include "viewer/DocView.h"

using namespace vellumark::app;

namespace {

using Then = std::function<void()>;

struct Options {
    QString scan, output, drop, word = "aardvark";
    bool wait = false;
    int hold = 3000;
};

void Line(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

// Shots in order: each is announced once the window has had time to paint, and the tour goes
// on when the screenshot is taken (or after the hold).
class Shooter {
public:
    explicit Shooter(const Options& options) : options_(options) {
        if (options_.wait) {
            notifier_ = new QSocketNotifier(0, QSocketNotifier::Read, qApp);
            QObject::connect(notifier_, &QSocketNotifier::activated, [this] {
                std::string ignored;
                if (!std::getline(std::cin, ignored)) {
                    notifier_->setEnabled(false);  // the driver went away: hold instead
                    options_.wait = false;
                }
                if (pending_) {
                    Then then = std::move(pending_);
                    pending_ = nullptr;
                    then();
                }
            });
        }
    }

    void Shot(const std::string& name, Then then) {
        QTimer::singleShot(400, [this, name, then = std::move(then)]() mutable {
            const std::string number = std::to_string(++count_);
            Line("shot: " + std::string(number.size() < 2 ? "0" : "") + number + "-" + name);
            if (options_.wait) {
                pending_ = std::move(then);
            } else {
                QTimer::singleShot(options_.hold, std::move(then));
            }
        });
    }

    // Real key presses through the X server (the driver types `keys`, in xdotool's names), so
    // that shortcuts are matched as the user's keyboard would be; without a driver, `fallback`
    // sends the nearest Qt key events.
    void Keys(const std::string& keys, const Then& fallback, Then then) {
        if (!options_.wait) {
            fallback();
            then();
            return;
        }
        Line("keys: " + keys);
        pending_ = [then = std::move(then)] { QTimer::singleShot(200, then); };
    }

private:
    Options options_;
    QSocketNotifier* notifier_ = nullptr;
    Then pending_;
    int count_ = 0;
};

void Send(QWidget* widget, QEvent* event) {
    QCoreApplication::sendEvent(widget, event);
}

void MouseOver(QWidget* widget) {
    const QPointF at = QRectF(widget->rect()).center();
    QEnterEvent enter(at, at, widget->mapToGlobal(at));
    Send(widget, &enter);
}

void Press(QWidget* widget) {
    const QPointF at = QRectF(widget->rect()).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    Send(widget, &press);
}

// Lets go outside the widget, so that nothing is clicked, and moves away.
void ReleaseOutside(QWidget* widget) {
    const QPointF away(-30, -30);
    QMouseEvent release(QEvent::MouseButtonRelease, away, widget->mapToGlobal(away), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    Send(widget, &release);
    QEvent leave(QEvent::Leave);
    Send(widget, &leave);
}

// A drag by `by` on a resize handle, as the window system would deliver it.
void Drag(QWidget* handle, QPoint by) {
    const QPoint local = handle->rect().center();
    const QPoint from = handle->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, from, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    Send(handle, &press);
    QMouseEvent move(QEvent::MouseMove, local + by, from + by, Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    Send(handle, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, local + by, from + by, Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    Send(handle, &release);
}

ResizeHandle* Grip(TForm1& form) {
    for (ResizeHandle* handle : form.findChildren<ResizeHandle*>()) {
        if (handle->Edges() == (Qt::BottomEdge | Qt::RightEdge))
            return handle;
    }
    return nullptr;
}

class Tour {
public:
    Tour(TForm1& form, testing::DialogLog& log, const Options& options)
        : form_(form), log_(log), options_(options), shooter_(options) {}

    void Start() {
        shooter_.Shot("empty-window-hint", [this] { TitleButtons(0, false); });
    }

    int Status() const { return status_; }

private:
    template <typename T>
    T* Child(const char* name) {
        return form_.findChild<T*>(name);
    }
    QAbstractButton* Button(const char* name) { return Child<QAbstractButton>(name); }

    void TitleButtons(int index, bool pressed) {
        static const char* names[] = {"ImgBtnMin", "ImgBtnMax", "ImgBtnClose"};
        if (index == 3) {
            Open();
            return;
        }
        auto* button = Child<TImgBtn>(names[index]);
        if (!pressed) {
            MouseOver(button);
            shooter_.Shot(std::string(names[index]) + "-mouse-over",
                          [this, index] { TitleButtons(index, true); });
        } else {
            Press(button);
            shooter_.Shot(std::string(names[index]) + "-pressed", [this, index, button] {
                ReleaseOutside(button);
                TitleButtons(index + 1, false);
            });
        }
    }

    void Open() {
        auto* progress = Child<QProgressBar>("ProgressBar1");
        QObject::connect(progress, &QProgressBar::valueChanged, [this](int value) {
            if (value >= 1 && firstThumbnail_ < 0)
                firstThumbnail_ = clock_.elapsed();
        });
        OnceBuilt([this] {
            Line("thumbnails: first after " + std::to_string(firstThumbnail_) + " ms, last after " +
                 std::to_string(clock_.elapsed()) + " ms");
            shooter_.Shot("opened", [this] { ScrollAndPage(); });
        });
        clock_.start();
        form_.OpenPath(options_.scan);
        Line("open: the command itself took " + std::to_string(clock_.elapsed()) + " ms");
    }

    void OnceBuilt(Then then) {
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection =
            QObject::connect(&form_, &TForm1::PageListBuilt, [connection, then = std::move(then)] {
                QObject::disconnect(*connection);
                then();
            });
    }

    void ScrollAndPage() {
        auto* view = Child<vellumark::viewer::DocView>("DocView");
        Button("SpeedButton5")->click();
        view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum() / 2);
        view->verticalScrollBar()->setValue(200);  // the first lines, at twice the size
        shooter_.Shot("page1-zoomed-and-scrolled", [this] {
            Child<QListWidget>("ListView1")->setCurrentRow(1);
            shooter_.Shot("page2-from-its-top-left", [this] { Shortcuts(); });
        });
    }

    // Each shortcut typed, with a shot of what it did.
    void Shortcuts(std::size_t step = 0) {
        struct KeyStep {
            const char* keys;  // xdotool's names
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            const char* shot;
        };
        static const KeyStep steps[] = {
            {"ctrl+plus", Qt::Key_Plus, Qt::ControlModifier, "ctrl-plus-zooms-in"},
            {"ctrl+equal", Qt::Key_Equal, Qt::ControlModifier, "ctrl-equals-zooms-in-too"},
            {"ctrl+minus", Qt::Key_Minus, Qt::ControlModifier, "ctrl-minus-zooms-out"},
            {"F11", Qt::Key_F11, Qt::NoModifier, "f11-fits"},
            {"ctrl+0", Qt::Key_0, Qt::ControlModifier, "ctrl-0-original-size"},
            {"ctrl+shift+f", Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier,
             "ctrl-shift-f-fits"},
            {"ctrl+0", Qt::Key_0, Qt::ControlModifier, "ctrl-0-original-size"},
        };
        if (step == std::size(steps)) {
            ToolTip();
            return;
        }
        if (step == 0)
            form_.activateWindow();
        const KeyStep& s = steps[step];
        shooter_.Keys(
            s.keys, [this, &s] { QTest::keyClick(&form_, s.key, s.modifiers); },
            [this, &s, step] { shooter_.Shot(s.shot, [this, step] { Shortcuts(step + 1); }); });
    }

    void ToolTip() {
        QAbstractButton* fit = Button("SpeedButton8");
        QToolTip::showText(fit->mapToGlobal(QPoint(10, fit->height() + 4)), fit->toolTip(), fit);
        shooter_.Shot("tool-tip-shows-the-keys", [this] {
            QToolTip::hideText();
            Child<QListWidget>("ListView1")->setCurrentRow(0);
            Search("search", [this] { Resize(); });
        });
    }

    // Opens the search dialog, finds the word twice with a shot at each hit, then cancels.
    void Search(const std::string& name, Then then) {
        QTimer::singleShot(0, [this, name] {
            auto* dialog =
                qobject_cast<vellumark::search::TForm2*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                Line("error: no search dialog");
                return;
            }
            dialog->findChild<QLineEdit*>("LabeledEdit1")->setText(options_.word);
            FindNext(dialog, name, 1);
        });
        Button("SpeedButton19")->click();  // modal: returns when the dialog is closed
        then();
    }

    void FindNext(vellumark::search::TForm2* dialog, const std::string& name, int hit) {
        if (hit > 2) {
            dialog->findChild<QPushButton*>("Button2")->click();
            return;
        }
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = QObject::connect(dialog, &vellumark::search::TForm2::StepFinished, [=, this] {
            QObject::disconnect(*connection);
            shooter_.Shot(name + "-hit-" + std::to_string(hit),
                          [=, this] { FindNext(dialog, name, hit + 1); });
        });
        dialog->findChild<QPushButton*>("Button1")->click();
    }

    void Resize() {
        ResizeHandle* grip = Grip(form_);
        Drag(grip, QPoint(150, 100));
        shooter_.Shot("grip-dragged-larger", [this] {
            Drag(Grip(form_), QPoint(-2000, -2000));
            shooter_.Shot("grip-dragged-to-the-minimum", [this] {
                form_.resize(789, 596);
                Drop();
            });
        });
    }

    void Drop() {
        if (options_.drop.isEmpty()) {
            Settings();
            return;
        }
        OnceBuilt([this] {
            shooter_.Shot("dropped-scan-opened",
                          [this] { Search("dropped-scan-search", [this] { Settings(); }); });
        });
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(options_.drop)});
        const QPoint at = Child<QWidget>("DocView")->geometry().center() + QPoint(171, 135);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        Send(&form_, &enter);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        Send(&form_, &drop);
        if (!drop.isAccepted())
            Line("error: the drop was refused");
    }

    // The fields filled in and an EPUB 3 book chosen, with a device's page size and the text
    // layer; a shot of the panel, then one with the page sizes offered.
    void Settings() {
        Child<LabeledEdit>("LabeledEdit1")->setText("Sample Book");
        Child<LabeledEdit>("LabeledEdit2")->setText("Vellumark");
        Child<LabeledEdit>("LabeledEdit4")->setText(options_.output);
        auto* format = Child<QComboBox>("ComboBox1");
        format->setCurrentIndex(
            format->findData(static_cast<int>(vellumark::epub::BookFormat::Epub3)));
        auto* pageSize = Child<QComboBox>("ComboBox2");
        pageSize->setCurrentIndex(pageSize->findData(QString("kobo-libra")));
        Child<QCheckBox>("CheckBox1")->setChecked(true);
        shooter_.Shot("settings-epub3-with-text-layer", [this, pageSize] {
            pageSize->showPopup();
            shooter_.Shot("settings-page-sizes", [this, pageSize] {
                pageSize->hidePopup();
                CleanUp([this] { Convert(); });
            });
        });
    }

    // "Clean up pages" ticked: a shot once the cleaned pages are shown, and then the scan's own
    // pages again.
    void CleanUp(std::function<void()> next) {
        auto* clean = Child<QCheckBox>("CheckBox2");
        QObject::connect(
            &form_, &vellumark::app::TForm1::PagesCleanedUp, &form_,
            [this, clean, next] {
                shooter_.Shot("clean-up-pages", [clean, next] {
                    clean->setChecked(false);
                    next();
                });
            },
            Qt::SingleShotConnection);
        clean->setChecked(true);
    }

    // Converts with the text layer, pressing Cancel as soon as the status bar says the text is
    // being read, with a shot once the job has stopped; then converts again, with a shot once a
    // page is done, and one of the book made.
    void Convert(bool cancel = true) {
        ended_ = false;
        shooting_ = false;
        const std::size_t messagesBefore = log_.messages.size();
        const qsizetype errorsBefore = log_.errors.size();
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = QObject::connect(
            &form_, &TForm1::ConversionEnded,
            [=, this](vellumark::epub::ConversionOutcome outcome) {
                QObject::disconnect(*connection);
                for (std::size_t i = messagesBefore; i < log_.messages.size(); ++i) {
                    const auto& box = log_.messages[i];
                    Line("box: " + box.title.toStdString() + ": " + box.text.toStdString());
                }
                for (qsizetype i = errorsBefore; i < log_.errors.size(); ++i)
                    Line("error: " + log_.errors[i].toStdString());
                outcome_ = outcome;
                ended_ = true;
                if (!shooting_)
                    Ended(cancel);
            });
        WatchStatus(cancel);
        Button("SpeedButton4")->click();
    }

    // Waits for the reading status, then cancels; or waits for a page done too, then shoots.
    void WatchStatus(bool cancel) {
        auto* label1 = Child<QLabel>("Label1");
        auto* progress = Child<QProgressBar>("ProgressBar1");
        auto* watch = new QTimer(&form_);
        QObject::connect(watch, &QTimer::timeout, [=, this] {
            if (ended_) {
                Line("error: the conversion ended before its status was seen");
                watch->deleteLater();
                return;
            }
            if (!label1->text().startsWith(vellumark::epub::kConvertingWithTextText) ||
                (!cancel && (progress->isHidden() || progress->value() < 1))) {
                return;
            }
            watch->deleteLater();
            Line("status: " + label1->text().toStdString());
            if (cancel) {
                Button("Button1")->click();
                return;
            }
            shooting_ = true;
            shooter_.Shot("converting-with-ocr", [this] {
                shooting_ = false;
                if (ended_)
                    Ended(false);
            });
        });
        watch->start(20);
    }

    void Ended(bool cancelled) {
        if (cancelled) {
            if (outcome_ != vellumark::epub::ConversionOutcome::Cancelled)
                Line("error: the conversion was not cancelled");
            shooter_.Shot("cancelled", [this] { Convert(false); });
            return;
        }
        status_ = outcome_ == vellumark::epub::ConversionOutcome::Succeeded ? 0 : 1;
        shooter_.Shot("converted", [this] {
            Line("closing");
            form_.close();
        });
    }

    TForm1& form_;
    testing::DialogLog& log_;
    Options options_;
    Shooter shooter_;
    QElapsedTimer clock_;
    qint64 firstThumbnail_ = -1;
    int status_ = 1;
    vellumark::epub::ConversionOutcome outcome_ = vellumark::epub::ConversionOutcome::Failed;
    bool ended_ = false;     // the conversion has ended
    bool shooting_ = false;  // the shots of the conversion under way are being taken
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    Options options;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == "--drop" && i + 1 < args.size()) {
            options.drop = args[++i];
        } else if (arg == "--word" && i + 1 < args.size()) {
            options.word = args[++i];
        } else if (arg == "--hold" && i + 1 < args.size()) {
            options.hold = args[++i].toInt();
        } else if (arg == "--wait") {
            options.wait = true;
        } else if (options.scan.isEmpty()) {
            options.scan = arg;
        } else if (options.output.isEmpty()) {
            options.output = arg;
        }
    }
    if (options.scan.isEmpty() || options.output.isEmpty()) {
        std::fprintf(stderr,
                     "usage: window_tour SCAN OUTPUT_FOLDER [--drop SCAN2] [--word WORD] "
                     "[--wait | --hold MS]\n");
        return 2;
    }

    auto log = std::make_shared<testing::DialogLog>();
    log->overwrite = true;
    TForm1Options formOptions;
    formOptions.dialogs = std::make_unique<testing::FakeDialogs>(log);
    TForm1 form(std::move(formOptions));
    form.show();
    Line("device pixel ratio: " + std::to_string(form.devicePixelRatioF()));
    Tour tour(form, *log, options);
    QTimer::singleShot(0, [&tour] { tour.Start(); });
    const int code = QApplication::exec();
    return code != 0 ? code : tour.Status();
}
