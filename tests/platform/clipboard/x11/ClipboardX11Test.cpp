// The clipboard end to end on a real X display: Plume's clipboard operations run in
// clipboardpeer (a program of their own on Xvfb, through Qt's xcb clipboard) and xclip plays
// the other program, offering the captured bytes of LibreOffice and Inkscape under their
// target names and reading back what Plume offers. Run alone with
// --gtest_filter='ClipboardX11*'; skipped when Xvfb or xclip is missing.

#include "platform/clipboard/Clipboard.h"
#include "platform/clipboard/ClipboardFormats.h"
#include "platform/picture/PictureIo.h"
#include "support/ReferenceImage.h"
#include "support/TestSupport.h"
#include "support/XvfbDisplay.h"

#include <gtest/gtest.h>
#include <QDeadlineTimer>
#include <QImage>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>
#include <csignal>
#include <memory>
#include <vector>

namespace plume {
namespace {

using test::readFileBytes;
using test::XvfbDisplay;

QString capturePath(const char* name) {
    return test::sharedDataDir() + "/clipboard-captures/" + name;
}

// The EMF with EMR_COMMENT records (MS-EMF 2.3.3) inserted before its EMR_EOF until it is
// at least `atLeast` bytes long; the header's nBytes and nRecords follow. The comment data is
// a running pattern, so that pieces of a transfer delivered out of order or twice show up in
// a byte-for-byte comparison.
QByteArray paddedWithComments(const QByteArray& emf, qsizetype atLeast) {
    qsizetype eof = 0;
    for (qsizetype at = 0; at + 8 <= emf.size();) {
        const quint32 type = qFromLittleEndian<quint32>(emf.constData() + at);
        const quint32 size = qFromLittleEndian<quint32>(emf.constData() + at + 4);
        if (type == 14) {  // EMR_EOF
            eof = at;
            break;
        }
        if (size < 8) return {};
        at += size;
    }
    if (eof == 0) return {};
    constexpr quint32 kDataBytes = 64 * 1024;
    QByteArray comments;
    quint32 added = 0;
    quint32 pattern = 1;
    while (emf.size() + comments.size() < atLeast) {
        QByteArray record(12 + kDataBytes, Qt::Uninitialized);
        qToLittleEndian<quint32>(70, record.data());  // EMR_COMMENT
        qToLittleEndian<quint32>(quint32(record.size()), record.data() + 4);
        qToLittleEndian<quint32>(kDataBytes, record.data() + 8);
        for (qsizetype i = 12; i < record.size(); i += 4) {
            pattern = pattern * 1664525u + 1013904223u;
            qToLittleEndian<quint32>(pattern, record.data() + i);
        }
        comments += record;
        ++added;
    }
    QByteArray padded = emf.left(eof) + comments + emf.mid(eof);
    qToLittleEndian<quint32>(quint32(padded.size()), padded.data() + 48);  // nBytes
    const quint32 records = qFromLittleEndian<quint32>(padded.constData() + 52);
    qToLittleEndian<quint32>(records + added, padded.data() + 52);  // nRecords
    return padded;
}

class ClipboardX11 : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!XvfbDisplay::hasProgram(QStringLiteral("xclip")))
            GTEST_SKIP() << "xclip is not installed (scripts/setup installs it)";
        if (!m_display.start()) GTEST_SKIP() << m_display.error().toStdString();
        ASSERT_TRUE(m_dir.isValid());
        QProcessEnvironment env = m_display.environment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        m_peer.setProcessEnvironment(env);
        m_peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_peer.start(QStringLiteral(CLIPBOARDPEER_PATH), {});
        ASSERT_TRUE(m_peer.waitForStarted(10000)) << m_peer.errorString().toStdString();
        ASSERT_EQ(answer(), QStringLiteral("ready"));
    }

    void TearDown() override {
        if (m_peer.state() == QProcess::Running) {
            m_peer.write("quit\n");
            if (!m_peer.waitForFinished(10000)) m_peer.kill();
        }
        for (auto& offer : m_offers) {
            XvfbDisplay::sendSignal(*offer, SIGCONT);
            offer->kill();
            offer->waitForFinished(5000);
        }
    }

    // One command to the peer and its one-line answer (or "no answer" after 30 seconds).
    QString ask(const QString& command) {
        m_peer.write((command + QLatin1Char('\n')).toUtf8());
        return answer();
    }

    QString answer() {
        const QDeadlineTimer deadline(30000);
        while (!m_peer.canReadLine() && !deadline.hasExpired() &&
               m_peer.state() == QProcess::Running)
            m_peer.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        if (!m_peer.canReadLine()) return QStringLiteral("no answer");
        return QString::fromUtf8(m_peer.readLine()).trimmed();
    }

    XvfbDisplay::Result xclipRead(const QString& target) {
        return m_display.run(QStringLiteral("xclip"),
                             {"-selection", "clipboard", "-t", target, "-o"}, {}, 20000);
    }

    QStringList offeredTargets() {
        const XvfbDisplay::Result result = xclipRead(QStringLiteral("TARGETS"));
        if (!result.finished || result.exitCode != 0) return {};
        return QString::fromUtf8(result.output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // xclip takes the clipboard and offers the file under `target` until it loses the
    // clipboard or the test ends; returns once the offer can be seen.
    QProcess* offer(const QString& target, const QString& file) {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(m_display.environment());
        // xclip reports every request it serves on its standard error, even with -quiet.
        process->setStandardErrorFile(QProcess::nullDevice());
        process->start(QStringLiteral("xclip"),
                       {"-selection", "clipboard", "-quiet", "-t", target, "-i", file});
        EXPECT_TRUE(process->waitForStarted(10000));
        const QDeadlineTimer deadline(20000);
        while (!offeredTargets().contains(target) && !deadline.hasExpired()) QThread::msleep(20);
        EXPECT_TRUE(offeredTargets().contains(target))
            << "xclip does not offer " << target.toStdString();
        m_offers.push_back(std::move(process));
        return m_offers.back().get();
    }

    QString tempPath(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    XvfbDisplay m_display;
    QTemporaryDir m_dir;
    QProcess m_peer;
    std::vector<std::unique_ptr<QProcess>> m_offers;
};

TEST_F(ClipboardX11, LibreOfficeEmfUnderItsFullNameIsReadByteForByte) {
    offer(QString(target::kLibreOfficeEmf), capturePath("libreoffice-draw-7.4.emf"));
    EXPECT_EQ(ask("has 14"), "yes");
    EXPECT_EQ(ask("has 3"), "no");
    const QString out = tempPath("imported.emf");
    EXPECT_TRUE(ask("get 14 " + out).startsWith("ok "));
    EXPECT_EQ(readFileBytes(out), readFileBytes(capturePath("libreoffice-draw-7.4.emf")));
    // The window's reader, on a connection of its own, gets the same bytes.
    const QString read = tempPath("read.emf");
    EXPECT_TRUE(ask("read " + read).startsWith("read ok ")) << read.toStdString();
    EXPECT_EQ(readFileBytes(read), readFileBytes(out));

    // A sound header before garbage reads as damaged.
    const QString damaged = tempPath("damaged.emf");
    test::writeFileBytes(damaged, test::emfHeaderBeforeGarbage(100 * 1024));
    offer(QString(target::kLibreOfficeEmf), damaged);
    const QString reply = ask("read " + read);
    EXPECT_TRUE(reply.startsWith("read ok ") && reply.endsWith(" damaged")) << reply.toStdString();
}

TEST_F(ClipboardX11, InkscapePlaceableWmfAloneIsConvertedToAnEmfThatDrawsTheSame) {
    const QString wmfPath = capturePath("inkscape-1.2-placeable.wmf");
    offer(QString(target::kXWmf), wmfPath);
    EXPECT_EQ(ask("has 3"), "yes");
    EXPECT_EQ(ask("has 14"), "no");
    const QString out = tempPath("converted.emf");
    ASSERT_TRUE(ask("get 14 " + out).startsWith("ok "));

    const QByteArray emf = readFileBytes(out);
    ASSERT_TRUE(hasEmfSignature(emf));
    Expected<PicturePtr> converted = pictureFromBytes(emf);
    Expected<PicturePtr> original = loadPicture(wmfPath);
    ASSERT_TRUE(converted && original);
    ASSERT_EQ(converted.value()->size(), original.value()->size());
    const QSize size = original.value()->size();
    Expected<QImage> expected = renderPicture(*original.value(), size);
    Expected<QImage> actual = renderPicture(*converted.value(), size);
    ASSERT_TRUE(expected && actual);
    EXPECT_LT(test::compareImages(expected.value(), actual.value()).share(), 0.01);
}

TEST_F(ClipboardX11, VectorPictureIsOfferedAsEmfSvgAndPngAndClearWithdrawsIt) {
    const QString emfPath = capturePath("inkscape-1.2.emf");
    const QByteArray emf = readFileBytes(emfPath);
    ASSERT_EQ(ask("set " + emfPath), "ok");

    const QStringList targets = offeredTargets();
    for (QLatin1String name : target::kOfferedEmfTargets)
        EXPECT_TRUE(targets.contains(QString(name))) << name.data();
    EXPECT_TRUE(targets.contains(QString(target::kSvg)));
    EXPECT_TRUE(targets.contains(QStringLiteral("image/png")));

    for (QLatin1String name : target::kOfferedEmfTargets) {
        const XvfbDisplay::Result read = xclipRead(QString(name));
        EXPECT_TRUE(read.finished && read.exitCode == 0) << name.data();
        EXPECT_EQ(read.output, emf) << name.data();
    }
    const XvfbDisplay::Result svg = xclipRead(QString(target::kSvg));
    EXPECT_TRUE(QSvgRenderer(svg.output).isValid());
    const XvfbDisplay::Result png = xclipRead(QStringLiteral("image/png"));
    const QImage raster = QImage::fromData(png.output, "PNG");
    EXPECT_FALSE(raster.isNull());

    ASSERT_EQ(ask("clear"), "ok");
    EXPECT_TRUE(offeredTargets().isEmpty());
    const XvfbDisplay::Result after = xclipRead(QStringLiteral("image/x-emf"));
    EXPECT_TRUE(after.output.isEmpty());
}

// Xvfb takes requests of up to 16 MiB; a larger offer goes in pieces (the INCR protocol of
// X11 selections), both when Plume offers it and when another program does. Large drawings
// from LibreOffice reach such sizes (a page of a few thousand shapes gave a 27 MB EMF).
TEST_F(ClipboardX11, DrawingsLargerThanOneRequestCrossWholeBothWays) {
    const QByteArray emf =
        paddedWithComments(readFileBytes(capturePath("inkscape-1.2.emf")), 20 * 1024 * 1024);
    ASSERT_GT(emf.size(), 20 * 1024 * 1024);
    ASSERT_TRUE(hasEmfSignature(emf));
    const QString path = tempPath("large.emf");
    test::writeFileBytes(path, emf);

    offer(QString(target::kXEmf), path);
    EXPECT_EQ(ask("has 14"), "yes");
    const QString out = tempPath("large-in.emf");
    EXPECT_TRUE(ask("get 14 " + out).startsWith("ok "));
    EXPECT_TRUE(readFileBytes(out) == emf);
    const QString read = tempPath("large-read.emf");
    EXPECT_TRUE(ask("read " + read).startsWith("read ok "));
    EXPECT_TRUE(readFileBytes(read) == emf);

    ASSERT_EQ(ask("set " + path), "ok");
    for (QLatin1String name : target::kOfferedEmfTargets) {
        const XvfbDisplay::Result read = xclipRead(QString(name));
        EXPECT_TRUE(read.finished && read.exitCode == 0) << name.data();
        EXPECT_EQ(read.output.size(), emf.size()) << name.data();
        EXPECT_TRUE(read.output == emf) << name.data();
    }
}

TEST_F(ClipboardX11, RasterPictureIsOfferedAsImageDataOnly) {
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(Qt::red);
    const QString pngPath = tempPath("red.png");
    ASSERT_TRUE(image.save(pngPath, "PNG"));
    ASSERT_EQ(ask("set " + pngPath), "ok");

    const QStringList targets = offeredTargets();
    EXPECT_TRUE(targets.contains(QStringLiteral("image/png")));
    for (QLatin1String name : target::kEmfTargets) EXPECT_FALSE(targets.contains(QString(name)));
    EXPECT_FALSE(targets.contains(QString(target::kSvg)));
    const QImage back = QImage::fromData(xclipRead(QStringLiteral("image/png")).output, "PNG");
    EXPECT_EQ(back.size(), QSize(20, 10));
    EXPECT_EQ(ask("has 14"), "no");
}

TEST_F(ClipboardX11, ClearEmptiesAClipboardThatAnotherProgramHolds) {
    QProcess* other = offer(QStringLiteral("image/x-emf"), capturePath("inkscape-1.2.emf"));
    ASSERT_EQ(ask("has 14"), "yes");
    ASSERT_EQ(ask("clear"), "ok");
    EXPECT_TRUE(offeredTargets().isEmpty());
    // xclip ends once it has lost the clipboard.
    EXPECT_TRUE(other->waitForFinished(10000));
    EXPECT_EQ(ask("has 14"), "no");
}

TEST_F(ClipboardX11, AnOwnerThatNeverAnswersEndsTheReadWithAnError) {
    QProcess* other = offer(QStringLiteral("image/x-emf"), capturePath("inkscape-1.2.emf"));
    // The owner still holds the clipboard but no longer answers anything.
    ASSERT_TRUE(XvfbDisplay::sendSignal(*other, SIGSTOP));
    // The window's reader waits on a thread of its own: the peer answers while it waits.
    m_peer.write(("read " + tempPath("never-read.emf") + "\n").toUtf8());
    EXPECT_EQ(ask("ping"), "pong");
    EXPECT_EQ(answer(), "read silent");
    EXPECT_EQ(ask("has 3"), "no");
    EXPECT_EQ(ask("has 14"), "no");
    const QString reply = ask("get 14 " + tempPath("never.emf"));
    EXPECT_TRUE(reply.startsWith("error ")) << reply.toStdString();
    // The peer still serves: once another program offers a picture, it is read again.
    XvfbDisplay::sendSignal(*other, SIGCONT);
    offer(QString(target::kLibreOfficeEmf), capturePath("libreoffice-draw-7.4.emf"));
    EXPECT_EQ(ask("has 14"), "yes");
}

TEST_F(ClipboardX11, AnOwnerThatVanishesLeavesNothingToRead) {
    QProcess* other = offer(QStringLiteral("image/x-emf"), capturePath("inkscape-1.2.emf"));
    ASSERT_EQ(ask("has 14"), "yes");
    other->kill();
    other->waitForFinished(5000);
    EXPECT_EQ(ask("has 14"), "no");
    EXPECT_TRUE(ask("get 14 " + tempPath("gone.emf")).startsWith("error "));
}

}  // namespace
}  // namespace plume
