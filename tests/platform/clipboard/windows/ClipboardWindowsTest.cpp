// The Win32 clipboard with Windows programs as the other side, run under Wine: wincopy.exe and
// winpaste.exe (tools/winpeer) copy and paste metafiles as drawing programs do, and a window of
// the test's own plays a program that never draws what it put on the clipboard for later.
// The operations and reader are the Win32 ones whatever Qt platform runs the tests. Skipped
// when the Windows programs are not built.
#include "platform/clipboard/Clipboard.h"
#include "platform/clipboard/ClipboardFormats.h"
#include "platform/clipboard/windows/WindowsClipboard.h"
#include "platform/picture/PictureIo.h"
#include "support/ReferenceImage.h"
#include "support/TestSupport.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>
#include <thread>

namespace plume {
namespace {

using test::readFileBytes;

// No wait of these tests is meant to come near this; it only keeps a broken test from
// hanging the suite.
constexpr int kSafetyMs = 120000;

QString capture(const char* name) {
    return test::sharedDataDir() + "/clipboard-captures/" + name;
}

// A path as a Windows program takes it: Unix paths lie on Wine's drive Z.
QString windowsPath(const QString& path) {
    return QDir::toNativeSeparators(path.startsWith(u'/') ? "Z:" + path : path);
}

QString winpeer(const char* program) {
    return windowsPath(QStringLiteral(WINPEER_DIR "/") + program);
}

QByteArray emfOf(const Expected<PicturePtr>& picture) {
    return picture ? picture.value()->emfBytes() : QByteArray();
}

// The clipboard memory of `format`, as it lies.
QByteArray clipboardBytes(UINT format) {
    QByteArray bytes;
    if (!OpenClipboard(nullptr)) return bytes;
    if (const HANDLE global = GetClipboardData(format)) {
        if (const void* memory = GlobalLock(global)) {
            bytes = QByteArray(static_cast<const char*>(memory), qsizetype(GlobalSize(global)));
            GlobalUnlock(global);
        }
    }
    CloseClipboard();
    return bytes;
}

// What one read of the Windows reader gives, the window's events running meanwhile.
ClipboardRead readWithReader() {
    const std::unique_ptr<ClipboardReader> reader = winclip::makeReader();
    std::optional<ClipboardRead> read;
    EXPECT_TRUE(reader->read([&read](const ClipboardRead& r) { read = r; }));
    const QDeadlineTimer safety(kSafetyMs);
    while (!read && !safety.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(read) << "the read never ended";
    return read.value_or(ClipboardRead{});
}

// wincopy.exe holding the clipboard until it is destroyed.
class WindowsCopier {
  public:
    explicit WindowsCopier(const QStringList& arguments) {
        m_process.start(winpeer("wincopy.exe"), arguments);
        const QDeadlineTimer safety(kSafetyMs);
        while (!m_output.contains("ready") && m_process.state() != QProcess::NotRunning &&
               !safety.hasExpired()) {
            m_process.waitForReadyRead(200);
            m_output += m_process.readAllStandardOutput();
        }
    }
    ~WindowsCopier() {
        m_process.write("\n");
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(kSafetyMs)) m_process.kill();
    }
    bool ready() const { return m_output.contains("ready"); }
    QByteArray said() { return m_output + m_process.readAllStandardError(); }

  private:
    QProcess m_process;
    QByteArray m_output;
};

class ClipboardWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!QFileInfo::exists(QStringLiteral(WINPEER_DIR "/wincopy.exe")))
            GTEST_SKIP() << "tools/winpeer's programs are not built (x86_64-w64-mingw32-gcc)";
        ASSERT_TRUE(m_folder.isValid());
        ASSERT_TRUE(winclip::clear());
    }
    void TearDown() override { winclip::clear(); }
    QString path(const char* name) const { return m_folder.filePath(name); }

    QTemporaryDir m_folder;
};

// Another program's EMF is the import's bytes exactly, whatever Plume would make of it.
TEST_F(ClipboardWindows, AnEmfCopiedByAWindowsProgramIsReadByteForByte) {
    const QString emf = capture("inkscape-1.2.emf");
    WindowsCopier copier({windowsPath(emf)});
    ASSERT_TRUE(copier.ready()) << copier.said().toStdString();
    const ClipboardRead read = readWithReader();
    EXPECT_TRUE(read.hasMetafile);
    EXPECT_FALSE(read.ownerSilent);
    EXPECT_TRUE(read.damage.isEmpty()) << read.damage.toStdString();
    EXPECT_EQ(emfOf(read.picture), readFileBytes(emf));
}

// Older programs copy a WMF only (CF_METAFILEPICT): the import is the EMF Windows derives
// from it with the METAFILEPICT's mapping, as wincopy saw it; format 3 is the WMF itself.
TEST_F(ClipboardWindows, AWmfOnlyCopyGivesTheEmfWindowsDerives) {
    const QString put = path("derived.emf");
    WindowsCopier copier(
        {"--wmf", windowsPath(capture("inkscape-1.2-placeable.wmf")), windowsPath(put)});
    ASSERT_TRUE(copier.ready()) << copier.said().toStdString();
    const ClipboardRead read = readWithReader();
    EXPECT_TRUE(read.hasMetafile);
    const QByteArray derived = readFileBytes(put);
    EXPECT_FALSE(derived.isEmpty());
    EXPECT_EQ(emfOf(read.picture), derived);
    const Expected<PicturePtr> wmf = winclip::getPicture(kFormatMetafilePicture);
    ASSERT_TRUE(wmf) << wmf.error().toStdString();
    EXPECT_EQ(wmf.value()->document()->format(), metafile::Format::RawWmf);
}

// Plume's copy reaches a Windows program as CF_ENHMETAFILE, the same bytes, and as a
// CF_METAFILEPICT sized by the picture's frame that draws the same.
TEST_F(ClipboardWindows, PlumesCopyReachesAWindowsProgramAsAnEmfAndAMetafilePicture) {
    const QByteArray emf = readFileBytes(capture("libreoffice-draw-7.4.emf"));
    const PicturePtr picture = pictureFromBytes(emf).value();
    ASSERT_TRUE(winclip::setPicture(picture));
    EXPECT_TRUE(winclip::hasFormat(kFormatEnhancedMetafile));
    EXPECT_TRUE(winclip::hasFormat(kFormatMetafilePicture));
    // The SVG and PNG renditions follow once they are drawn.
    const UINT svg = RegisterClipboardFormatW(L"image/svg+xml");
    const UINT png = RegisterClipboardFormatW(L"PNG");
    const QDeadlineTimer safety(kSafetyMs);
    while (!(IsClipboardFormatAvailable(svg) && IsClipboardFormatAvailable(png)) &&
           !safety.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(clipboardBytes(svg).contains("<svg"));
    EXPECT_EQ(QImage::fromData(clipboardBytes(png), "PNG").size(), picture->size());

    const QString out = path("pasted");
    const QSize size(480, 348);  // the drawing's frame is 170.52 x 123.75 mm
    QProcess paste;
    paste.start(winpeer("winpaste.exe"),
                {windowsPath(out), QString::number(size.width()), QString::number(size.height())});
    ASSERT_TRUE(paste.waitForFinished(kSafetyMs) && paste.exitCode() == 0)
        << paste.readAllStandardError().toStdString();
    EXPECT_EQ(readFileBytes(out + ".emf"), emf);
    // The EMF's frame (rclFrame, 0.01 mm, from byte 24) is the METAFILEPICT's extent.
    const auto frame = [&emf](int at) {
        return qFromLittleEndian<qint32>(emf.constData() + 24 + at);
    };
    const QString extent = QStringLiteral("metafilepict: mm 8 extent %1 %2")
                               .arg(frame(8) - frame(0))
                               .arg(frame(12) - frame(4));
    const QString said = QString::fromLatin1(paste.readAllStandardOutput());
    EXPECT_TRUE(said.contains(extent)) << said.toStdString();
    // GDI's EMF-to-WMF conversion flattens curves and rounds to whole units: an edge a pixel
    // away is forgiven, text and line widths (under 1 % of this drawing) are too.
    const QImage expected = test::renderMetafile(emf, size);
    const QImage fromWmf = test::renderMetafile(readFileBytes(out + ".wmf"), size);
    const test::ImageDifference difference = test::compareImages(expected, fromWmf, 48, {}, 1, 1);
    EXPECT_LT(difference.share(), 0.01)
        << test::writeTriptych("windows-metafilepict", expected, difference.map, fromWmf)
               .toStdString();

    ASSERT_TRUE(winclip::clear());
    EXPECT_FALSE(winclip::hasFormat(kFormatEnhancedMetafile));
    EXPECT_FALSE(winclip::hasFormat(kFormatMetafilePicture));
}

// The raster window's copy is a DIB of its pixels, which Windows offers as CF_DIBV5 too.
TEST_F(ClipboardWindows, ARasterCopyIsADibOfItsPixels) {
    const QImage image = test::quadrantImage(40, 30, qRgb(255, 0, 0), qRgb(0, 255, 0),
                                             qRgb(0, 0, 255), qRgb(255, 255, 0))
                             .convertToFormat(QImage::Format_RGB32);
    ASSERT_TRUE(winclip::setPicture(Picture::fromImage(image)));
    EXPECT_FALSE(winclip::hasFormat(kFormatEnhancedMetafile));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIBV5));
    // A BMP file is the DIB after a file header that says where the pixels begin.
    QByteArray bmp = QByteArray(14, '\0') + clipboardBytes(CF_DIB);
    ASSERT_GT(bmp.size(), 14 + 40);
    bmp[0] = 'B';
    bmp[1] = 'M';
    qToLittleEndian<quint32>(quint32(bmp.size()), bmp.data() + 2);
    qToLittleEndian<quint32>(14 + 40, bmp.data() + 10);
    EXPECT_EQ(QImage::fromData(bmp, "BMP").convertToFormat(QImage::Format_RGB32), image);
}

// A program that put an EMF on the clipboard for later (delayed rendering) and never draws
// it: a window on a thread of its own that, once it owns the clipboard, looks at none of its
// messages until it is let go, and then answers with nothing.
class NeverRenderingOwner {
  public:
    NeverRenderingOwner() {
        const HANDLE owns = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_thread = std::thread([this, owns] {
            WNDCLASSW windowClass{};
            windowClass.lpfnWndProc = DefWindowProcW;
            windowClass.hInstance = GetModuleHandleW(nullptr);
            windowClass.lpszClassName = L"PlumeTestSilentOwner";
            RegisterClassW(&windowClass);
            const HWND window = CreateWindowW(windowClass.lpszClassName, L"", 0, 0, 0, 1, 1,
                                              nullptr, nullptr, windowClass.hInstance, nullptr);
            if (window && OpenClipboard(window)) {
                EmptyClipboard();
                SetClipboardData(CF_ENHMETAFILE, nullptr);
                CloseClipboard();
            }
            SetEvent(owns);
            WaitForSingleObject(m_letGo, INFINITE);
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
            DestroyWindow(window);
        });
        WaitForSingleObject(owns, INFINITE);
        CloseHandle(owns);
    }
    ~NeverRenderingOwner() {
        SetEvent(m_letGo);
        m_thread.join();
        CloseHandle(m_letGo);
    }

  private:
    const HANDLE m_letGo = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread m_thread;
};

TEST_F(ClipboardWindows, AnOwnerThatNeverRendersEndsTheReadAndIsSaidToBeSilent) {
    const QString silent = QStringLiteral("クリップボードの持ち主が応答しません");
    {
        NeverRenderingOwner owner;
        ASSERT_TRUE(IsClipboardFormatAvailable(CF_ENHMETAFILE));
        const ClipboardRead read = readWithReader();
        EXPECT_TRUE(read.ownerSilent);
        EXPECT_FALSE(read.picture);
        EXPECT_EQ(read.picture.error(), silent);
        // While that read still waits for the owner, the next ends at once and says the same.
        EXPECT_TRUE(readWithReader().ownerSilent);
        EXPECT_EQ(winclip::getPicture(kFormatEnhancedMetafile).error(), silent);
    }
    // Once the owner has answered, the read left behind ends and the clipboard reads again.
    const QDeadlineTimer safety(kSafetyMs);
    while (winclip::PendingRead::anyLeftBehind() && !safety.hasExpired()) QThread::msleep(20);
    const ClipboardRead after = readWithReader();
    EXPECT_FALSE(after.ownerSilent);
    EXPECT_FALSE(after.hasMetafile);
}

}  // namespace
}  // namespace plume
