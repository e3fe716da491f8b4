// "複写" end to end on a real X display: this test program runs itself on Xvfb through Qt's
// xcb platform, opens the raster window, copies, and lets xclip, as the other program, read
// what it offers. Skipped when Xvfb or xclip is missing.
#include "platform/base/Twips.h"
#include "raster_window/sbImg.h"
#include "support/XvfbDisplay.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

namespace plume {
namespace {

using test::XvfbDisplay;

// xclip reading the clipboard while this process keeps serving it: the wait runs an event
// loop, since the answer to xclip comes from this very loop. Bounded at 20 seconds.
QByteArray xclipRead(const QString& target) {
    QProcess xclip;
    QEventLoop loop;
    QObject::connect(&xclip, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&xclip, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    xclip.start(QStringLiteral("xclip"), {"-selection", "clipboard", "-t", target, "-o"});
    loop.exec();
    if (xclip.state() != QProcess::NotRunning) {
        xclip.kill();
        xclip.waitForFinished(5000);
        return {};
    }
    return xclip.readAllStandardOutput();
}

// The window's title as a window manager reads it (_NET_WM_NAME, between its quotes).
QString titleOnTheDisplay(WId window) {
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {"-id", QString::number(window), "_NET_WM_NAME"});
    xprop.waitForFinished(10000);
    const QString line = QString::fromUtf8(xprop.readAllStandardOutput());
    const qsizetype open = line.indexOf(u'"');
    const qsizetype close = line.lastIndexOf(u'"');
    return open >= 0 && close > open ? line.mid(open + 1, close - open - 1) : QStringLiteral("?");
}

// Runs in the child on the xcb platform; the parent checks that it passed.
void copyAndReadBack() {
    QImage image(40, 40, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter(&image).fillRect(0, 0, 40, 20, Qt::red);

    sbImg window;
    window.image1()->setPicture(Picture::fromImage(image));
    QByteArray targets, png;
    QSize client;
    QString title;
    QTimer::singleShot(0, &window, [&] {
        client = window.clientArea()->size();
        title = titleOnTheDisplay(window.winId());
        window.mnCopy()->trigger();
        targets = xclipRead(QStringLiteral("TARGETS"));
        png = xclipRead(QStringLiteral("image/png"));
        window.mnExit()->trigger();
    });
    window.Act(1500, 1500, 4680, 3555);

    const int wide = qRound(4680 / twipsPerPixel());
    const int high = qRound(3555 / twipsPerPixel());
    EXPECT_EQ(client, QSize(wide, high));
    // No title text, not even the program's name in its place.
    EXPECT_TRUE(title.trimmed().isEmpty()) << title.toStdString();
    EXPECT_TRUE(targets.contains("image/png")) << targets.toStdString();
    EXPECT_FALSE(targets.contains("image/x-emf")) << targets.toStdString();
    const QImage copied = QImage::fromData(png, "PNG");
    ASSERT_FALSE(copied.isNull()) << "no PNG came back (" << png.size() << " bytes)";
    EXPECT_EQ(copied.size(), QSize(wide, high));
    EXPECT_EQ(copied.pixelColor(wide / 2, 5).rgb(), QColor(Qt::red).rgb());
}

TEST(RasterWindowX11, OtherProgramsReadAPngOfTheClientSize) {
    if (QGuiApplication::platformName() == QStringLiteral("xcb")) {
        copyAndReadBack();
        return;
    }
    if (!XvfbDisplay::hasProgram(QStringLiteral("xclip")))
        GTEST_SKIP() << "xclip is not installed (scripts/setup installs it)";
    XvfbDisplay display;
    if (!display.start()) GTEST_SKIP() << display.error().toStdString();

    QTemporaryDir runtime;
    QProcess child;
    QProcessEnvironment env = display.environment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=RasterWindowX11.*")});
    ASSERT_TRUE(child.waitForStarted(10000));
    if (!child.waitForFinished(60000)) child.kill();
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
}

}  // namespace
}  // namespace plume
