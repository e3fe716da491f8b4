// Windows drawing programs under Wine as the other side of Plume's clipboard. wincopy.exe and
// winpaste.exe (tools/winpeer, built with mingw-w64) copy and paste metafiles through the
// Windows clipboard, which Wine mirrors on the X clipboard (an EMF as WCF_ENHMETAFILE). One
// display serves the whole suite, and one Wine prefix in the build folder every run.
// Skipped with the reason when wine64, the mingw-w64 compiler, Xvfb, xdotool or xclip is
// missing. Run alone with --gtest_filter='WinePeer*'.
#include "Desktop.h"
#include "support/ReferenceImage.h"

#include <gtest/gtest.h>
#include <QFileInfo>
#include <QImage>
#include <QLockFile>
#include <QStandardPaths>

namespace plume {
namespace {

using test::Desktop;
using test::XvfbDisplay;

const QString kWineEmf = QStringLiteral("WCF_ENHMETAFILE");

QString capture(const char* name) {
    return test::sharedDataDir() + "/clipboard-captures/" + name;
}

// A Wine program by its Debian name, or where Debian keeps it off the PATH.
QString wineProgram(const QString& name) {
    const QString found = QStandardPaths::findExecutable(name);
    const QString debian = "/usr/lib/wine/" + name;
    return !found.isEmpty() ? found : QFileInfo(debian).isExecutable() ? debian : QString();
}

// A Unix path as Windows programs under Wine name it.
QString windowsPath(const QString& path) {
    return "Z:" + QString(path).replace(u'/', u'\\');
}

// The file's bytes; none while it does not exist.
QByteArray content(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The files in the working folder, for a test of its own.
void emptyFolder(const QString& folder) {
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
}

class WinePeer : public ::testing::Test {
  public:
    static void SetUpTestSuite() {
        s_desktop = std::make_unique<Desktop>();
        s_wine = wineProgram("wine64");
        if (s_wine.isEmpty() || wineProgram("wineserver").isEmpty()) {
            s_skip = "wine64 is not installed (apt-get install wine64)";
        } else if (!QFileInfo::exists(QStringLiteral(WINPEER_DIR "/wincopy.exe"))) {
            s_skip = "the Windows programs are not built: x86_64-w64-mingw32-gcc is missing "
                     "(apt-get install gcc-mingw-w64-x86-64, then configure again)";
        } else if (s_desktop->startForUse(test::WindowManager::None, "home", &s_skip)) {
            s_setupFailure = preparePrefix();
        }
    }
    static void TearDownTestSuite() {
        if (s_skip.isEmpty()) {
            wineServer("-k");
            wineServer("-w");
        }
        s_desktop.reset();
        s_lock.reset();
    }

    // The prefix lives in the build folder and is made once (Wine's registry and system
    // folders take half a minute); the tests that use it, in this and other processes, take
    // turns, since the Windows clipboard belongs to the prefix.
    static QString preparePrefix() {
        s_lock = std::make_unique<QLockFile>(kPrefix + ".lock");
        s_lock->setStaleLockTime(0);
        if (!s_lock->tryLock(600000)) return "another test kept the Wine prefix for ten minutes";
        const QString ready = kPrefix + "/.plume-ready";
        if (QFileInfo::exists(ready)) return {};
        QDir(kPrefix).removeRecursively();
        const XvfbDisplay::Result boot = runWindows({"wineboot", "-i"}, 300000);
        if (!boot.finished || boot.exitCode != 0)
            return "wineboot failed: " + QString::fromLocal8Bit(boot.errors);
        test::writeFileBytes(ready, {});
        return {};
    }
    static void wineServer(const QString& argument) {
        QProcess server;
        server.setProcessEnvironment(wineEnvironment());
        server.start(wineProgram("wineserver"), {argument});
        server.waitForFinished(30000);
    }

  protected:
    void SetUp() override {
        if (!s_skip.isEmpty()) GTEST_SKIP() << s_skip.toStdString();
        ASSERT_TRUE(s_setupFailure.isEmpty()) << s_setupFailure.toStdString();
        emptyFolder(s_desktop->defaultWorkFolder());
    }

    static QProcessEnvironment wineEnvironment() {
        QProcessEnvironment env = s_desktop->display().environment();
        env.insert("WINEPREFIX", kPrefix);
        env.insert("WINEDEBUG", "-all");
        // No prompts for Wine's .NET and HTML engines, no crash dialog.
        env.insert("WINEDLLOVERRIDES", "mscoree,mshtml=;winedbg.exe=d");
        return env;
    }
    // Runs a Windows program (or Wine's own) to its end, at most `timeoutMs`.
    static XvfbDisplay::Result runWindows(const QStringList& arguments, int timeoutMs) {
        XvfbDisplay::Result result;
        QProcess process;
        process.setProcessEnvironment(wineEnvironment());
        process.start(s_wine, arguments);
        if (!process.waitForStarted(10000) || !process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished(5000);
        } else {
            result.finished = process.exitStatus() == QProcess::NormalExit;
            result.exitCode = process.exitCode();
        }
        result.output = process.readAllStandardOutput();
        result.errors = process.readAllStandardError();
        return result;
    }

    // With Plume running, wincopy.exe puts the file on the Windows clipboard (as a WMF with
    // `wmf`) and writes the EMF the clipboard then holds to `put`; Plume imports while wincopy
    // holds the clipboard. Gives what Plume stored. Plume runs first, as users have it: a Plume
    // started while a Windows program already held the clipboard missed its first import now
    // and then (one start in eight here), waiting out Qt's five seconds although Wine's trace
    // shows every request answered, and the owner then counted as silent.
    QByteArray importFromWindows(const QString& file, bool wmf, const QString& put) {
        const QString stored = s_desktop->defaultWorkFolder() + "/001.wmf";
        QProcess copy;
        s_desktop->runOnce([&] {
            copy.setProcessEnvironment(wineEnvironment());
            copy.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            QStringList arguments{QStringLiteral(WINPEER_DIR "/wincopy.exe")};
            if (wmf) arguments << "--wmf";
            copy.start(s_wine, arguments << windowsPath(file) << windowsPath(put));
            EXPECT_TRUE(copy.waitForStarted(10000));
            // The first Windows program of a prefix also starts Wine's desktop: give it time.
            const QDeadlineTimer deadline(120000);
            while (!copy.canReadLine() && copy.state() == QProcess::Running &&
                   !deadline.hasExpired())
                copy.waitForReadyRead(1000);
            EXPECT_EQ(copy.readLine().trimmed(), "ready") << "wincopy did not take the clipboard";
            const QByteArray expected = content(put);
            // Wine takes the X clipboard on its own time after the copy: wait until it serves it.
            const QDeadlineTimer offered(30000);
            while (s_desktop->clipboard(kWineEmf) != expected && !offered.hasExpired())
                QThread::msleep(50);
            EXPECT_EQ(s_desktop->clipboard(kWineEmf), expected)
                << "Wine does not offer the EMF as " << kWineEmf.toStdString();
            s_desktop->click(test::kImportX, test::kButtonY);
            const QDeadlineTimer imported(20000);
            while (content(stored) != expected && !imported.hasExpired()) QThread::msleep(50);
        });
        copy.write("stop\n");
        copy.closeWriteChannel();
        EXPECT_TRUE(copy.waitForFinished(30000));
        EXPECT_EQ(copy.exitCode(), 0);
        return content(stored);
    }

    static inline std::unique_ptr<Desktop> s_desktop;
    static inline const QString kPrefix = QStringLiteral(WINE_PREFIX_DIR);
    static inline std::unique_ptr<QLockFile> s_lock;
    static inline QString s_wine, s_skip, s_setupFailure;
};

// A Windows program's EMF (CF_ENHMETAFILE) becomes the next numbered file of the working
// folder, byte for byte as the Windows clipboard holds it.
TEST_F(WinePeer, AnEmfCopiedUnderWineIsImportedByteForByte) {
    const QString put = s_desktop->path("put.emf");
    const QByteArray stored = importFromWindows(capture("libreoffice-draw-7.4.emf"), false, put);
    EXPECT_TRUE(!stored.isEmpty() && stored == content(put));
    EXPECT_TRUE(stored == content(capture("libreoffice-draw-7.4.emf")));
}

// Older programs copy a WMF only (CF_METAFILEPICT): Wine offers the EMF that Windows derives
// from it, and Plume stores that EMF.
TEST_F(WinePeer, AWmfCopiedUnderWineIsImportedAsTheEmfWindowsDerivesFromIt) {
    const QString put = s_desktop->path("put-from-wmf.emf");
    const QByteArray stored = importFromWindows(capture("inkscape-1.2-placeable.wmf"), true, put);
    EXPECT_TRUE(!stored.isEmpty() && stored == content(put));
}

// Plume's copy reaches a Windows program as CF_ENHMETAFILE and, through Windows' own
// conversion, as CF_METAFILEPICT; both draw as Plume draws the drawing, and so does GDI.
TEST_F(WinePeer, PlumesCopyReachesAWindowsProgramAsMetafilesThatDrawTheSame) {
    const QByteArray emf = test::readFileBytes(capture("libreoffice-draw-7.4.emf"));
    test::writeFileBytes(s_desktop->defaultWorkFolder() + "/001.wmf", emf);
    const QString out = s_desktop->path("pasted");
    const QSize size(480, 348);  // the drawing's frame is 170.52 x 123.75 mm
    XvfbDisplay::Result paste;
    s_desktop->runOnce([&] {
        s_desktop->click(test::kListFirstRowX, test::kListFirstRowY);
        s_desktop->click(test::kCopyX, test::kButtonY);
        const QDeadlineTimer deadline(20000);
        while (s_desktop->clipboard(kWineEmf) != emf && !deadline.hasExpired()) QThread::msleep(50);
        ASSERT_EQ(s_desktop->clipboard(kWineEmf), emf) << "Plume does not offer the EMF to Wine";
        paste = runWindows({QStringLiteral(WINPEER_DIR "/winpaste.exe"), windowsPath(out),
                            QString::number(size.width()), QString::number(size.height())},
                           120000);
    });
    ASSERT_TRUE(paste.finished && paste.exitCode == 0)
        << "winpaste: " << paste.output.toStdString() << paste.errors.toStdString();

    const QImage expected = test::renderMetafile(emf, size);
    const QByteArray pastedEmf = content(out + ".emf");
    EXPECT_EQ(test::compareImages(expected, test::renderMetafile(pastedEmf, size)).differing, 0);
    // Windows' EMF-to-WMF conversion flattens curves and rounds to whole units; GDI draws
    // text with other fonts and, under Wine, extended pens thinner: an edge a pixel away is
    // forgiven, and GDI's text and line widths (under 1 % of this drawing) are. A shape lost,
    // moved or scaled costs far more (the rectangle alone is a tenth of the picture).
    const QImage fromWmf = test::renderMetafile(content(out + ".wmf"), size);
    const QImage byGdi = QImage(out + ".bmp").convertToFormat(QImage::Format_RGB32);
    for (const auto& [name, image, limit] :
         {std::tuple{"CF_METAFILEPICT", fromWmf, 0.01}, {"GDI", byGdi, 0.03}}) {
        const test::ImageDifference difference = test::compareImages(expected, image, 48, {}, 1, 1);
        EXPECT_LT(difference.share(), limit)
            << name << ": " << difference.first.toStdString() << "; expected | difference | "
            << "actual in "
            << test::writeTriptych(QStringLiteral("wine-") + name, expected, difference.map, image)
                   .toStdString();
    }
}

}  // namespace
}  // namespace plume
