// The main() of every test program: a QApplication on the offscreen platform (unless the
// environment names another), so that widgets, fonts and the clipboard work without a display.
#include "platform/base/ProcessEnd.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QStandardPaths>

namespace {

int runTests(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    // The application, and with it every pool the tests drew on, is gone before the end.
    return plume::endProcess(runTests(argc, argv));
}
