// Drives the real window on a real display for a look at it: opens a scan, converts it with
// the message boxes answered, and closes. Each stage holds for a moment and prints a line, so
// that a screenshot can be taken meanwhile. Not a test: run it by hand under Xvfb.
//   window_tour SCAN OUTPUT_FOLDER [HOLD_MS]
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QTimer>
#include <cstdio>

#include "FakeDialogs.h"
#include "app/LabeledEdit.h"
#include "app/TForm1.h"

using namespace vellumark::app;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: window_tour SCAN OUTPUT_FOLDER [HOLD_MS]\n");
        return 2;
    }
    QApplication application(argc, argv);
    const QString scan = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);
    const int hold = argc > 3 ? std::atoi(argv[3]) : 3000;

    auto log = std::make_shared<testing::DialogLog>();
    log->overwrite = true;
    TForm1Options options;
    options.dialogs = std::make_unique<testing::FakeDialogs>(log);
    TForm1 form(std::move(options));
    form.show();
    auto stage = [](const char* text) {
        std::printf("stage: %s\n", text);
        std::fflush(stdout);
    };
    stage("started");

    // How quickly thumbnails arrive, and the longest the window went without serving its event
    // loop meanwhile (a timer asks every 20 ms).
    QElapsedTimer clock;
    qint64 firstThumbnail = -1;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    auto* progress = form.findChild<QProgressBar*>("ProgressBar1");
    QObject::connect(progress, &QProgressBar::valueChanged, [&](int value) {
        if (value >= 1 && firstThumbnail < 0)
            firstThumbnail = clock.elapsed();
    });

    int status = 0;
    QObject::connect(&form, &TForm1::PageListBuilt, [&] {
        ticker.stop();
        std::printf(
            "thumbnails: first after %lld ms, last after %lld ms, event loop gap at most %lld ms\n",
            static_cast<long long>(firstThumbnail), static_cast<long long>(clock.elapsed()),
            static_cast<long long>(longestGap));
        stage("opened");
        QTimer::singleShot(hold, [&] {
            form.findChild<LabeledEdit*>("LabeledEdit1")->setText("Sample Book");
            form.findChild<LabeledEdit*>("LabeledEdit2")->setText("Vellumark");
            form.findChild<LabeledEdit*>("LabeledEdit4")->setText(output);
            QMetaObject::invokeMethod(form.findChild<QAbstractButton*>("SpeedButton4"),
                                      &QAbstractButton::click);
        });
    });
    QObject::connect(
        &form, &TForm1::ConversionEnded, [&](vellumark::epub::ConversionOutcome outcome) {
            for (const auto& box : log->messages) {
                std::printf("box: %s: %s\n", qPrintable(box.title), qPrintable(box.text));
            }
            for (const QString& error : log->errors)
                std::printf("error: %s\n", qPrintable(error));
            status = outcome == vellumark::epub::ConversionOutcome::Succeeded ? 0 : 1;
            stage("converted");
            QTimer::singleShot(hold, [&] {
                stage("closing");
                form.close();
            });
        });
    QTimer::singleShot(hold, [&] {
        clock.start();
        ticker.start(20);
        form.OpenPath(scan);
        std::printf("open: the command itself took %lld ms\n",
                    static_cast<long long>(clock.elapsed()));
        lastTick = clock.elapsed();
    });
    const int code = QApplication::exec();
    return code != 0 ? code : status;
}
