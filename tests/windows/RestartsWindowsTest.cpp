// Plume started and closed five times in a row on Windows (Wine, through at_dpi.sh at 96 and
// 144 dots per inch): each start puts the whole window where User.xml says, by Windows' own
// measure, and each close writes that same place back, so nothing drifts.
#include "platform/base/Twips.h"
#include "support/StoredPlace.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>

#include <windows.h>

namespace plume {
namespace {

// The program as Windows names it: the build's path on the Linux side is on drive Z: in Wine.
QString plumeProgram() {
    const QString built = QStringLiteral(PLUME_BINARY);
    return QDir::toNativeSeparators(built.startsWith(u'/') ? "Z:" + built : built);
}

struct Search {
    DWORD process;
    HWND window;
};

// The visible top-level window of the process, once it has one.
HWND mainWindowOf(DWORD process) {
    Search search{process, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != s->process || !IsWindowVisible(window) || GetWindow(window, GW_OWNER))
                return TRUE;
            s->window = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.window;
}

// Starts Plume, waits for its window, gives the window's rectangle as Windows has it (device
// pixels) and closes it as its close box does; an empty rectangle when any step failed.
QRect runOnce(const QString& program) {
    QProcess plume;
    // The copy finds the libraries and plug-ins of the build's own folder.
    const QString built = QFileInfo(plumeProgram()).absolutePath();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PATH", QDir::toNativeSeparators(built) + ";" + environment.value("PATH"));
    if (QFileInfo(built + "/platforms").isDir())
        environment.insert("QT_PLUGIN_PATH", QDir::toNativeSeparators(built));
    plume.setProcessEnvironment(environment);
    plume.start(program, {});
    if (!plume.waitForStarted(30000)) return {};
    HWND window = nullptr;
    const QDeadlineTimer deadline(60000);
    while (!window && !deadline.hasExpired()) {
        QThread::msleep(100);
        window = mainWindowOf(DWORD(plume.processId()));
    }
    RECT outer = {};
    // Placed, then settled: read once the window has kept still a moment.
    QThread::msleep(1000);
    const bool measured = window && GetWindowRect(window, &outer);
    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
    if (!plume.waitForFinished(30000)) plume.kill();
    if (!measured) return {};
    return QRect(QPoint(outer.left, outer.top), QPoint(outer.right - 1, outer.bottom - 1));
}

TEST(WindowsRestarts, FiveStartsLeaveTheWindowAndItsStoredPlaceWhereTheyWere) {
    const int dpi = qEnvironmentVariableIntValue("PLUME_SCREEN_DPI");
    if (dpi == 0 || QGuiApplication::platformName() != QLatin1String("windows"))
        GTEST_SKIP() << "runs at a set DPI through at_dpi.sh";
    QTemporaryDir root;
    const QString folder = QDir::toNativeSeparators(root.filePath("prog"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString program = folder + "\\plume.exe";
    ASSERT_TRUE(QFile::copy(plumeProgram(), program)) << plumeProgram().toStdString();
    test::writeFileBytes(folder + "\\UserData.ini", "%app%");
    const QString settings = folder + "\\usData\\User.xml";

    // Twips per device pixel at this DPI.
    const double tpp = twipsPerPixel() / QGuiApplication::primaryScreen()->devicePixelRatio();
    QList<double> firstPlace;
    QRect firstWindow;
    for (int run = 1; run <= 5; ++run) {
        const QRect window = runOnce(program);
        ASSERT_FALSE(window.isEmpty()) << "run " << run;
        const QList<double> place = test::storedPlace(settings);
        ASSERT_EQ(place.size(), 4);
        if (run == 1) {
            firstPlace = place;
            firstWindow = window;
        }
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(place[i], firstPlace[i], 15) << "run " << run << " value " << i;
        EXPECT_NEAR(window.left(), firstWindow.left(), 1) << "run " << run;
        EXPECT_NEAR(window.top(), firstWindow.top(), 1) << "run " << run;
        EXPECT_NEAR(window.width(), firstWindow.width(), 1) << "run " << run;
        EXPECT_NEAR(window.height(), firstWindow.height(), 1) << "run " << run;
        // The stored top is the window's top edge; the sides and the bottom may carry
        // Windows' invisible resize borders besides.
        EXPECT_NEAR(window.top() * tpp, place[1], 2 * tpp) << "run " << run;
        EXPECT_GE(window.width() * tpp + 2 * tpp, place[2]) << "run " << run;
    }
}

}  // namespace
}  // namespace plume
