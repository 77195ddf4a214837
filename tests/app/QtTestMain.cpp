// GoogleTest main for window tests: one QApplication for the whole program.
#include <gtest/gtest.h>

#include <QApplication>

namespace {

// The offscreen platform cannot shape windows and says so for every window; nothing else is
// dropped.
QtMessageHandler defaultHandler = nullptr;
void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains("does not support setting window masks"))
        return;
    defaultHandler(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
    defaultHandler = qInstallMessageHandler(FilterMessages);
#ifdef VELLUMARK_TEST_SCALE_FACTOR
    // A screen of that density, for the tests of drawing at the device pixel ratio.
    qputenv("QT_SCALE_FACTOR", VELLUMARK_TEST_SCALE_FACTOR);
#endif
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
