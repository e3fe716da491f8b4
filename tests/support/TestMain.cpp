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
    // Qt's offscreen platform on Windows reads its fonts from one folder; under Wine, which hands
    // no QT_* variable to a Windows program, the test runner names that folder here.
    if (qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR") &&
        !qEnvironmentVariableIsEmpty("PLUME_TEST_FONTDIR"))
        qputenv("QT_QPA_FONTDIR", qgetenv("PLUME_TEST_FONTDIR"));
    QStandardPaths::setTestModeEnabled(true);
    // The application, and with it every pool the tests drew on, is gone before the end.
    return plume::endProcess(runTests(argc, argv));
}
