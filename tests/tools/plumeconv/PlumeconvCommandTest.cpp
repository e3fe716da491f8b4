// plumeconv's command line as users and file managers meet it: help and version, damaged
// files in either language, standard input and output, batches and thumbnails, a full disk,
// and drawings cut short. PlumeconvCommandPosixTest.cpp has the inputs that are no plain
// files, closed standard streams and memory that runs out.

#include "PlumeconvCommandFixture.h"
#include "Convert.h"
#include "PlumeconvRun.h"
#include "support/FailingWrites.h"
#include "support/TestSupport.h"

#include "builders/EmfBuilder.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

namespace plume {
namespace {

TEST_F(PlumeconvCommandTest, HelpListsTheExitCodesVersionIsTheProjects) {
    const ProcessRun help = plumeconv({"--help"}, inLanguage("C"));
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.stderrText.isEmpty());
    const QString usage = QString::fromUtf8(help.stdoutBytes);
    for (const char* needed : {"--out-dir", "--thumbnail", "--background", "--dpi", "-j N"})
        EXPECT_TRUE(usage.contains(needed)) << needed;
    const QString codes = usage.section("Exit status:", 1);
    for (int code = 0; code <= 8; ++code)
        EXPECT_TRUE(codes.contains(QStringLiteral("\n  %1  ").arg(code))) << code;

    // The man page lists the same options and exit statuses.
    const QString man = QString::fromUtf8(test::readFileBytes(test::sourceDir() +
                                                              "/docs/man/plumeconv.1"))
                            .remove(u'\\');
    auto options = QRegularExpression(R"((?<![a-z])--[a-z][a-z-]+)").globalMatch(usage);
    while (options.hasNext()) {
        const QString option = options.next().captured();
        EXPECT_TRUE(man.contains(option)) << option.toStdString() << " is missing in plumeconv.1";
    }
    const QString manCodes = man.section(".SH EXIT STATUS", 1).section(".SH", 0, 0);
    for (int code = 0; code <= 8; ++code)
        EXPECT_TRUE(manCodes.contains(QStringLiteral(".B %1\n").arg(code))) << code;

    const QString japanese = QString::fromUtf8(
        plumeconv({"--help"}, inLanguage("ja_JP.UTF-8")).stdoutBytes.split('\n').first());
    EXPECT_EQ(japanese, "使い方:");

    const ProcessRun version = plumeconv({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.stdoutBytes, "plumeconv " PLUME_VERSION "\n");
}

TEST_F(PlumeconvCommandTest, DamagedFileFailsInTheUsersLanguageAndLeavesNoOutput) {
    const ProcessRun english = plumeconv({damagedPath, path("out.png")}, inLanguage("C.UTF-8"));
    EXPECT_EQ(english.exitCode, 6);
    EXPECT_TRUE(english.stderrText.startsWith(
        "plumeconv: " + QDir::toNativeSeparators(damagedPath) + " is damaged"))
        << english.stderrText.toStdString();
    EXPECT_EQ(english.stderrText.count('\n'), 1);

    // The main window's words for a damaged file, and the cause.
    const ProcessRun japanese =
        plumeconv({damagedPath, path("out.svg")}, inLanguage("ja_JP.UTF-8"));
    EXPECT_EQ(japanese.exitCode, 6);
    EXPECT_TRUE(japanese.stderrText.contains(" は破損しているため変換できません (")) << japanese.stderrText.toStdString();
    EXPECT_TRUE(japanese.stderrText.contains("途中で切れています"));
    const ProcessRun usage = plumeconv({"--bogus"}, inLanguage("ja_JP.UTF-8"));
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_TRUE(usage.stderrText.contains("知らないオプションです")) << usage.stderrText.toStdString();

    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2) << "nothing written";
}

TEST_F(PlumeconvCommandTest, PartlyDrawnFileIsWrittenWithAWarning) {
    QByteArray part = bytes;
    // The last record before EOF (the rectangle) claims more than the file holds.
    const qsizetype last = part.size() - 20 - 24;
    ASSERT_EQ(qFromLittleEndian<quint32>(part.constData() + last), 43u) << "EMR_RECTANGLE";
    qToLittleEndian<quint32>(4096, part.data() + last + 4);
    test::writeFileBytes(path("part.emf"), part);
    const ProcessRun run = plumeconv({path("part.emf"), path("part.png")}, inLanguage("C"));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.stderrText.startsWith("plumeconv: warning: ")) << run.stderrText.toStdString();
    EXPECT_EQ(run.stderrText.count('\n'), 1);
    EXPECT_EQ(QImage(path("part.png")).pixelColor(60, 60), QColor(Qt::white));
}

// A drawing the time limit stops is written with what was drawn, but never silently.
TEST_F(PlumeconvCommandTest, DrawingCutShortByTheTimeLimitIsWrittenWithAWarningAndStatus8) {
    test::EmfBuilder heavy(400, 400);
    heavy.createBrush(1, 0, 0xFF0000).selectObject(1);
    for (int i = 0; i < 5000; ++i) heavy.ellipse(i % 7, i % 5, 400 - i % 3, 400 - i % 11);
    test::writeFileBytes(path("heavy.emf"), heavy.build());
    for (const char* ending : {"png", "svg", "pdf"}) {
        const QString out = path(QStringLiteral("heavy.") + ending);
        const ProcessRun run =
            plumeconv({path("heavy.emf"), out, "--time-limit", "0.001"}, inLanguage("C"));
        EXPECT_EQ(run.exitCode, 8) << ending;
        EXPECT_TRUE(run.stderrText.startsWith("plumeconv: warning: " +
                                              QDir::toNativeSeparators(path("heavy.emf")) +
                                              " is cut short"))
            << run.stderrText.toStdString();
        EXPECT_TRUE(QFile::exists(out)) << ending;
    }
    QDir(dir.path()).mkdir("out");
    const ProcessRun batch =
        plumeconv({"--out-dir", path("out"), "--time-limit", "0.001", path("heavy.emf"), emfPath},
                  inLanguage("C"));
    EXPECT_EQ(batch.exitCode, 8);
    EXPECT_TRUE(batch.stderrText.endsWith("2 of 2 files converted, 0 failed, 1 cut short\n"))
        << batch.stderrText.toStdString();
    // Within the default limit the same drawing is whole.
    EXPECT_EQ(plumeconv({path("heavy.emf"), path("whole.png")}).exitCode, 0);
}

// Neither the number of workers nor which of them draws which file changes a pixel.
TEST_F(PlumeconvCommandTest, BatchOutputIsTheSameWhateverTheNumberOfJobs) {
    const QString corpus = test::sharedDataDir() + "/metafile-corpus/";
    QStringList inputs;
    for (const char* name : {"emf/hughbe__LibreOffice_emf.emf", "emf/emf2svg__test-031.emf",
                             "emf/emf2svg__test-102.emf", "emf/asposen__Fonts.emf",
                             "emf/emf2svg__EA-test-file-006.emf", "wmf/poi__bug62513__image7.wmf"})
        inputs.append(corpus + name);
    QList<QByteArray> first;
    int runs = 0;
    for (const char* jobs : {"1", "2", "4", "2"}) {
        const QString out = path(QStringLiteral("run%1").arg(++runs));
        QDir(dir.path()).mkpath(out);
        const ProcessRun run = plumeconv(QStringList{"--out-dir", out, "-j", jobs} + inputs);
        if (run.exitCode == 8) GTEST_SKIP() << "this machine draws a file beyond the time limit";
        ASSERT_EQ(run.exitCode, 0) << run.stderrText.toStdString();
        const QStringList pngs = QDir(out).entryList({"*.png"}, QDir::Files, QDir::Name);
        ASSERT_EQ(pngs.size(), inputs.size());
        for (qsizetype i = 0; i < pngs.size(); ++i) {
            const QByteArray png = test::readFileBytes(out + "/" + pngs[i]);
            if (first.size() < pngs.size())
                first.append(png);
            else
                EXPECT_TRUE(png == first[i]) << "-j " << jobs << ": " << pngs[i].toStdString();
        }
    }
}

TEST_F(PlumeconvCommandTest, StandardInputAndOutput) {
    const ProcessRun run =
        plumeconv({"-", "-", "--format", "png", "--width", "120"}, inLanguage("C"), bytes);
    ASSERT_EQ(run.exitCode, 0) << run.stderrText.toStdString();
    const QImage image = QImage::fromData(run.stdoutBytes, "PNG");
    EXPECT_EQ(image.size(), QSize(120, 60));
    EXPECT_EQ(image.pixelColor(30, 30), QColor(Qt::blue));

    const ProcessRun emf = plumeconv({"-", "-", "--format=emf"}, inLanguage("C"), bytes);
    EXPECT_EQ(emf.stdoutBytes, bytes);
    EXPECT_EQ(plumeconv({"-", path("x.png")}, inLanguage("C"), bytes.left(100)).exitCode, 6);
}

TEST_F(PlumeconvCommandTest, BackgroundNoneIsTransparentAColourFillsTheGround) {
    ASSERT_EQ(plumeconv({emfPath, path("clear.png"), "--background", "none"}).exitCode, 0);
    const QImage clear(path("clear.png"));
    EXPECT_TRUE(clear.hasAlphaChannel());
    EXPECT_EQ(clear.pixelColor(200, 60).alpha(), 0);
    EXPECT_EQ(clear.pixelColor(60, 60), QColor(Qt::blue));

    ASSERT_EQ(plumeconv({emfPath, path("ground.svg"), "--background", "yellow"}).exitCode, 0);
    EXPECT_TRUE(test::readFileBytes(path("ground.svg")).contains("fill=\"#ffff00\""));
    ASSERT_EQ(plumeconv({emfPath, path("ground.png"), "--background=#00ff00"}).exitCode, 0);
    EXPECT_EQ(QImage(path("ground.png")).pixelColor(200, 60), QColor(Qt::green));
}

TEST_F(PlumeconvCommandTest, DpiChangesThePixelsNotThePhysicalSize) {
    ASSERT_EQ(plumeconv({emfPath, path("fine.png"), "--dpi", "192"}).exitCode, 0);
    EXPECT_EQ(QImage(path("fine.png")).size(), QSize(480, 240));
    ASSERT_EQ(plumeconv({emfPath, path("fine.svg"), "--dpi", "192"}).exitCode, 0);
    const QByteArray svg = test::readFileBytes(path("fine.svg"));
    EXPECT_TRUE(svg.contains("width=\"63.5mm\"")) << svg.left(300).toStdString();
    EXPECT_TRUE(svg.contains("viewBox=\"0 0 480 240\"")) << svg.left(300).toStdString();
    ASSERT_EQ(plumeconv({emfPath, path("twice.svg"), "--scale", "2"}).exitCode, 0);
    EXPECT_TRUE(test::readFileBytes(path("twice.svg")).contains("width=\"127mm\""));
}

TEST_F(PlumeconvCommandTest, BatchSucceedsOnlyWhenEveryFileDoes) {
    QDir(dir.path()).mkdir("out");
    const QString out = path("out");
    ProcessRun all =
        plumeconv({"--out-dir", out, "--format", "svg", emfPath, "-"}, inLanguage("C"), bytes);
    EXPECT_EQ(all.exitCode, 0) << all.stderrText.toStdString();
    EXPECT_TRUE(QFile::exists(out + "/drawing.svg"));
    EXPECT_TRUE(QFile::exists(out + "/stdin.svg"));
    EXPECT_FALSE(all.stderrText.contains('\r')) << "no progress when stderr is no terminal";
    EXPECT_TRUE(all.stderrText.endsWith("2 of 2 files converted, 0 failed\n"))
        << all.stderrText.toStdString();

    // Again: the outputs exist, so only the damaged file's failure is new.
    const ProcessRun again = plumeconv({"--out-dir", out, "-j", "1", "--format", "svg", emfPath,
                                        damagedPath},
                                       inLanguage("C"));
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.stderrText.contains("drawing.svg exists already"));
    EXPECT_TRUE(again.stderrText.contains("damaged.emf is damaged"));
    EXPECT_FALSE(QFile::exists(out + "/damaged.svg"));
    EXPECT_EQ(plumeconv({"--out-dir", out, "--force", "--format", "svg", emfPath}).exitCode, 0);
    EXPECT_EQ(plumeconv({"--out-dir", path("missing"), emfPath}).exitCode, 5);
}

TEST_F(PlumeconvCommandTest, AFullDiskFailsWithTheCauseAndKeepsTheOldFile) {
    test::SmallDisk disk;
    PLUME_SKIP_WITHOUT_SMALL_DISK(disk);
    const QString target = disk.filePath("k.png");
    test::writeFileBytes(target, "the good old picture");
    disk.fill();
    for (const char* format : {"png", "svg", "pdf", "emf"}) {
        const ProcessRun run =
            plumeconv({"--format", format, emfPath, target}, inLanguage("C.UTF-8"));
        EXPECT_EQ(run.exitCode, 5) << format;
        EXPECT_TRUE(run.stderrText.contains("k.png: no space left on device"))
            << run.stderrText.toStdString();
        EXPECT_EQ(test::readFileBytes(target), "the good old picture");
    }
    const ProcessRun ja = plumeconv({emfPath, target}, inLanguage("ja_JP.UTF-8"));
    EXPECT_EQ(ja.exitCode, 5);
    EXPECT_TRUE(ja.stderrText.contains("ディスクの空きがありません")) << ja.stderrText.toStdString();
    const ProcessRun thumb = plumeconv({"--thumbnail", "128", emfPath, target}, inLanguage("C"));
    EXPECT_EQ(thumb.exitCode, 5);
    EXPECT_EQ(test::readFileBytes(target), "the good old picture");
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    // A batch into a nearly full folder counts only the files that are whole.
    QFile::remove(disk.filePath("ballast"));
    QDir(disk.path()).mkdir("out");
    // Files of a few kilobytes, each of which a buffered writer holds until it closes it.
    disk.fill(40 * 1024);
    QStringList args{"--out-dir", disk.filePath("out"), "-j", "2"};
    for (int i = 0; i < 30; ++i) {
        const QString input = path(QStringLiteral("in%1.emf").arg(i));
        QFile::copy(emfPath, input);
        args.append(input);
    }
    const ProcessRun batch = plumeconv(args, inLanguage("C"));
    EXPECT_EQ(batch.exitCode, 1);
    int whole = 0;
    for (const QString& name : QDir(disk.filePath("out")).entryList(QDir::Files | QDir::Hidden)) {
        const QImage image(disk.filePath("out/" + name));
        EXPECT_EQ(image.width(), 240) << name.toStdString();
        whole += image.width() == 240;
    }
    EXPECT_GT(whole, 0);
    EXPECT_LT(whole, 30);
    EXPECT_TRUE(batch.stderrText.contains(QStringLiteral("%1 of 30 files converted").arg(whole)))
        << batch.stderrText.toStdString();
    EXPECT_TRUE(batch.stderrText.contains("no space left on device"));
}

TEST_F(PlumeconvCommandTest, ThumbnailForFileManagers) {
    const ProcessRun run = plumeconv({"--thumbnail", "128", emfPath, path("thumb.png")});
    ASSERT_EQ(run.exitCode, 0) << run.stderrText.toStdString();
    const QImage thumb(path("thumb.png"));
    EXPECT_EQ(thumb.size(), QSize(128, 64));
    EXPECT_EQ(thumb.pixelColor(30, 32), QColor(Qt::blue));
    EXPECT_EQ(thumb.pixelColor(100, 32), QColor(Qt::white));
    EXPECT_EQ(thumb.text("Thumb::Size"), QString::number(bytes.size()));
    EXPECT_EQ(thumb.text("Thumb::Image::Width"), "240");
    EXPECT_TRUE(thumb.text("Thumb::URI").startsWith("file:///"));
    EXPECT_FALSE(thumb.text("Thumb::MTime").isEmpty());

    EXPECT_EQ(plumeconv({"--thumbnail", "128", damagedPath, path("none.png")}).exitCode, 6);
    EXPECT_FALSE(QFile::exists(path("none.png")));
}

}  // namespace
}  // namespace plume
