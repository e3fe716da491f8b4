// The clipboard operations on Windows, through the Win32 clipboard: Qt's clipboard maps its
// data to named formats and cannot carry the handle formats other Windows programs exchange
// drawings in (CF_ENHMETAFILE, CF_METAFILEPICT). Reads take the EMF Windows holds or derives,
// byte for byte; a copy puts the EMF and a METAFILEPICT that draws the same (and the SVG and
// PNG renditions once drawn), or a bitmap as CF_DIB (Windows offers it as CF_DIBV5 and
// CF_BITMAP too). Plume puts its data there itself
// (OpenClipboard, EmptyClipboard, SetClipboardData) rather than beside Qt's: Qt's clipboard
// offers a data object whose formats Windows asks for later, and setting handles beside it
// would leave two owners of one clipboard.
#include "platform/clipboard/Clipboard.h"
#include "platform/clipboard/ClipboardFormats.h"
#include "platform/clipboard/VectorOffer.h"
#include "platform/clipboard/windows/WindowsClipboard.h"

#include <windows.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMimeData>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <utility>

namespace plume::winclip {
namespace {

using Answer = OfferSource::Answer;
using Fetched = OfferSource::Fetched;

// Another program may hold the clipboard open for a moment: it is asked this often, this
// long, before the clipboard counts as unavailable.
constexpr int kOpenAttempts = 25;
constexpr DWORD kOpenPauseMs = 20;

std::atomic<int> g_leftBehind{0};

// The clipboard, open for as long as this lives.
class OpenClipboardScope {
  public:
    explicit OpenClipboardScope(HWND window) {
        for (int attempt = 0; attempt < kOpenAttempts && !m_open; ++attempt) {
            m_open = OpenClipboard(window) != 0;
            if (!m_open) Sleep(kOpenPauseMs);
        }
    }
    ~OpenClipboardScope() {
        if (m_open) CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    explicit operator bool() const { return m_open; }

  private:
    bool m_open = false;
};

// A GDI size as a size Plume reads: nothing beyond the clipboard limit.
Answer sizeAnswer(UINT size) {
    if (size == 0) return Answer::Refused;
    return size > UINT(kMaxClipboardBytes) ? Answer::TooLarge : Answer::Bytes;
}

Fetched emfBits(HENHMETAFILE emf) {
    const UINT size = GetEnhMetaFileBits(emf, 0, nullptr);
    if (const Answer answer = sizeAnswer(size); answer != Answer::Bytes) return {answer, {}};
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    if (GetEnhMetaFileBits(emf, size, reinterpret_cast<BYTE*>(bytes.data())) != size)
        return {Answer::Refused, {}};
    return {Answer::Bytes, std::move(bytes)};
}

Fetched wmfBits(HMETAFILE wmf) {
    const UINT size = GetMetaFileBitsEx(wmf, 0, nullptr);
    if (const Answer answer = sizeAnswer(size); answer != Answer::Bytes) return {answer, {}};
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    if (GetMetaFileBitsEx(wmf, size, bytes.data()) != size) return {Answer::Refused, {}};
    return {Answer::Bytes, std::move(bytes)};
}

// The clipboard's METAFILEPICT, read from its memory only when the memory holds one whole.
std::optional<METAFILEPICT> metafilePicture() {
    const HANDLE global = GetClipboardData(CF_METAFILEPICT);
    if (!global || GlobalSize(global) < sizeof(METAFILEPICT)) return std::nullopt;
    const void* locked = GlobalLock(global);
    if (!locked) return std::nullopt;
    METAFILEPICT picture;
    std::memcpy(&picture, locked, sizeof picture);
    GlobalUnlock(global);
    if (!picture.hMF) return std::nullopt;
    return picture;
}

// The EMF Windows derives from the clipboard's METAFILEPICT, its mapping mode and extent
// included, as it does when a program asks for CF_ENHMETAFILE of a WMF-only clipboard.
Fetched derivedEmf() {
    std::optional<METAFILEPICT> picture = metafilePicture();
    if (!picture) return {Answer::Refused, {}};
    const Fetched wmf = wmfBits(picture->hMF);
    if (wmf.answer != Answer::Bytes) return wmf;
    // A mapping mode Windows does not know is no mapping: the WMF at the screen's size.
    const bool known = picture->mm >= MM_TEXT && picture->mm <= MM_ANISOTROPIC;
    const HENHMETAFILE emf = SetWinMetaFileBits(
        UINT(wmf.bytes.size()), reinterpret_cast<const BYTE*>(wmf.bytes.constData()), nullptr,
        known ? &*picture : nullptr);
    if (!emf) return {Answer::Refused, {}};
    Fetched bytes = emfBits(emf);
    DeleteEnhMetaFile(emf);
    return bytes;
}

// The open clipboard as the source of one read. CF_ENHMETAFILE goes by the EMF name and
// CF_METAFILEPICT by the WMF name, so that the one read of every platform (readOffer) takes
// them in its order: the EMF first, then the WMF.
class Win32Source : public OfferSource {
  public:
    std::optional<QStringList> targets() override {
        QStringList names;
        const bool wmf = IsClipboardFormatAvailable(CF_METAFILEPICT) != 0;
        if (wmf || IsClipboardFormatAvailable(CF_ENHMETAFILE)) names << QString(target::kEmf);
        if (wmf) names << QString(target::kWmf);
        return names;
    }
    Fetched fetch(QLatin1String target) override {
        if (target == target::kWmf) {
            std::optional<METAFILEPICT> picture = metafilePicture();
            return picture ? wmfBits(picture->hMF) : Fetched{};
        }
        if (target != target::kEmf) return {};
        // Asking for the EMF asks its owner to draw it now when it put it there for later;
        // an empty answer after this long was an owner that gave up on it, not a refusal.
        QElapsedTimer wait;
        wait.start();
        if (const HANDLE emf = GetClipboardData(CF_ENHMETAFILE))
            return emfBits(static_cast<HENHMETAFILE>(emf));
        if (wait.elapsed() >= kSilentOwnerMs) return {Answer::Silent, {}};
        return derivedEmf();
    }
};

template <typename Read>
ClipboardRead readOpen(Read read) {
    ClipboardRead result;
    OpenClipboardScope open(nullptr);
    result.owner = clipboardOwner();
    if (!open) {
        result.picture =
            Expected<PicturePtr>::failure(QStringLiteral("クリップボードを使えません"));
        return result;
    }
    Win32Source source;
    read(source, result);
    return result;
}

}  // namespace

ClipboardRead readClipboard() {
    return readOpen([](Win32Source& source, ClipboardRead& result) {
        const quint64 owner = result.owner;
        result = readOffer(source);
        result.owner = owner;
    });
}

ClipboardRead readClipboardPicture(int format) {
    return readOpen([format](Win32Source& source, ClipboardRead& result) {
        result.picture = pictureFromSource(source, format, &result.ownerSilent);
        result.hasMetafile = bool(result.picture);
    });
}

ClipboardRead silentOwnerRead() {
    ClipboardRead read;
    read.ownerSilent = true;
    read.owner = clipboardOwner();
    read.picture =
        Expected<PicturePtr>::failure(QStringLiteral("クリップボードの持ち主が応答しません"));
    return read;
}

quint64 clipboardOwner() {
    return quint64(reinterpret_cast<quintptr>(GetClipboardOwner()));
}

std::shared_ptr<PendingRead> PendingRead::start(std::function<ClipboardRead()> read) {
    if (anyLeftBehind()) return nullptr;
    auto pending = std::make_shared<PendingRead>();
    try {
        std::thread([pending, read = std::move(read)] { pending->end(read()); }).detach();
    } catch (const std::system_error&) {
        return nullptr;
    }
    return pending;
}

bool PendingRead::anyLeftBehind() {
    return g_leftBehind.load() > 0;
}

std::optional<ClipboardRead> PendingRead::result(QDeadlineTimer deadline) {
    std::unique_lock lock(m_mutex);
    while (!m_result) {
        const qint64 left = deadline.remainingTime();
        if (left == 0) break;
        if (left < 0)
            m_ended.wait(lock);
        else
            m_ended.wait_for(lock, std::chrono::milliseconds(left));
    }
    return m_result;
}

void PendingRead::leaveBehind() {
    std::lock_guard lock(m_mutex);
    if (m_result || m_leftBehind) return;
    m_leftBehind = true;
    ++g_leftBehind;
}

void PendingRead::end(ClipboardRead result) {
    std::lock_guard lock(m_mutex);
    m_result = std::move(result);
    if (m_leftBehind) --g_leftBehind;
    m_ended.notify_all();
}

}  // namespace plume::winclip

namespace plume::winclip {
namespace {

// The window through which Plume owns the clipboard: a message-only window of the thread
// that first copies, which Windows tells when another program takes the clipboard.
HWND ownerWindow() {
    static const HWND window = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"PlumeClipboardOwner";
        RegisterClassW(&windowClass);
        return CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                               nullptr, windowClass.hInstance, nullptr);
    }();
    return window;
}

struct HandleDeleter {
    void operator()(HENHMETAFILE emf) const { DeleteEnhMetaFile(emf); }
};
using EmfHandle = std::unique_ptr<std::remove_pointer_t<HENHMETAFILE>, HandleDeleter>;

// Memory for the clipboard that frees itself unless the clipboard took it.
class Global {
  public:
    explicit Global(SIZE_T size) : m_handle(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size)) {}
    ~Global() {
        if (m_handle) GlobalFree(m_handle);
    }
    Global(const Global&) = delete;
    Global& operator=(const Global&) = delete;
    HGLOBAL get() const { return m_handle; }
    HGLOBAL release() { return std::exchange(m_handle, nullptr); }

  private:
    HGLOBAL m_handle;
};

// A METAFILEPICT whose WMF draws what the EMF draws (GDI's conversion, as other programs'
// copies carry it), sized by the EMF's frame in 0.01 mm; nothing when GDI cannot convert.
HGLOBAL metafilePictureOf(HENHMETAFILE emf) {
    ENHMETAHEADER header{};
    if (GetEnhMetaFileHeader(emf, sizeof header, &header) < sizeof header) return nullptr;
    const HDC screen = GetDC(nullptr);
    const UINT size = GetWinMetaFileBits(emf, 0, nullptr, MM_ANISOTROPIC, screen);
    QByteArray bits(qsizetype(size), Qt::Uninitialized);
    const bool converted = size > 0 && size <= UINT(kMaxClipboardBytes) &&
                           GetWinMetaFileBits(emf, size, reinterpret_cast<BYTE*>(bits.data()),
                                              MM_ANISOTROPIC, screen) == size;
    ReleaseDC(nullptr, screen);
    if (!converted) return nullptr;
    const HMETAFILE wmf = SetMetaFileBitsEx(size, reinterpret_cast<const BYTE*>(bits.data()));
    if (!wmf) return nullptr;
    Global global(sizeof(METAFILEPICT));
    auto* picture = global.get() ? static_cast<METAFILEPICT*>(GlobalLock(global.get())) : nullptr;
    if (!picture) {
        DeleteMetaFile(wmf);
        return nullptr;
    }
    picture->mm = MM_ANISOTROPIC;
    picture->xExt = std::max<LONG>(0, header.rclFrame.right - header.rclFrame.left);
    picture->yExt = std::max<LONG>(0, header.rclFrame.bottom - header.rclFrame.top);
    picture->hMF = wmf;
    GlobalUnlock(global.get());
    return global.release();
}

// The bitmap as a packed DIB: a BITMAPINFOHEADER and 32-bit rows, bottom row first.
HGLOBAL dibOf(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    if (rgb.isNull()) return nullptr;
    const qsizetype row = qsizetype(rgb.width()) * 4;
    const qsizetype pixels = row * rgb.height();
    if (pixels / row != rgb.height() || pixels > kMaxClipboardBytes) return nullptr;
    Global global(sizeof(BITMAPINFOHEADER) + SIZE_T(pixels));
    auto* bytes = global.get() ? static_cast<char*>(GlobalLock(global.get())) : nullptr;
    if (!bytes) return nullptr;
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = rgb.width();
    info.biHeight = rgb.height();
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    info.biSizeImage = DWORD(pixels);
    std::memcpy(bytes, &info, sizeof info);
    // Format_RGB32 lies in memory as blue, green, red, unused: a 32-bit DIB's order.
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(bytes + sizeof info + (rgb.height() - 1 - y) * row, rgb.constScanLine(y),
                    size_t(row));
    GlobalUnlock(global.get());
    return global.release();
}

// How often the window's thread looks whether a copy's renditions are drawn.
constexpr int kRenditionPollMs = 50;

// Clipboard memory holding the bytes; nothing when there are none.
HGLOBAL globalOf(const QByteArray& bytes) {
    if (bytes.isEmpty()) return nullptr;
    Global global(SIZE_T(bytes.size()));
    void* memory = global.get() ? GlobalLock(global.get()) : nullptr;
    if (!memory) return nullptr;
    std::memcpy(memory, bytes.constData(), size_t(bytes.size()));
    GlobalUnlock(global.get());
    return global.release();
}

// The SVG and PNG renditions of a vector copy, for programs that take no metafile, under the
// names Windows programs register for them. They are drawn in the background (see
// VectorOffer.h) and added to the copy once drawn, while it is still what the clipboard holds:
// the window never waits for a drawing, and no format is put there for later, which Windows
// would ask of the window's thread and another program would wait for.
class Renditions : public QObject {
  public:
    Renditions(std::unique_ptr<QMimeData> offer, DWORD sequence)
        : m_offer(std::move(offer)), m_sequence(sequence) {
        connect(&m_poll, &QTimer::timeout, this, [this] { poll(); });
        m_poll.start(kRenditionPollMs);
    }

  private:
    void poll() {
        if (GetClipboardSequenceNumber() == m_sequence && !vectorOfferDrawn(*m_offer)) return;
        if (GetClipboardSequenceNumber() == m_sequence) add();
        m_poll.stop();
        deleteLater();
    }
    void add() {
        const QByteArray svg = m_offer->data(QString(target::kSvg));
        QByteArray png;
        const QImage raster = qvariant_cast<QImage>(m_offer->imageData());
        QBuffer buffer(&png);
        if (raster.isNull() || !buffer.open(QIODevice::WriteOnly) || !raster.save(&buffer, "PNG"))
            png.clear();
        OpenClipboardScope open(ownerWindow());
        if (!open || GetClipboardSequenceNumber() != m_sequence) return;
        for (const auto& [name, bytes] : {std::pair{L"image/svg+xml", svg}, {L"PNG", png}}) {
            const HGLOBAL global = globalOf(bytes);
            if (global && !SetClipboardData(RegisterClipboardFormatW(name), global))
                GlobalFree(global);
        }
    }

    std::unique_ptr<QMimeData> m_offer;
    const DWORD m_sequence;
    QTimer m_poll;
};

// The renditions being drawn for the last copy; a new copy or a clear replaces them.
QPointer<Renditions>& currentRenditions() {
    static QPointer<Renditions> renditions;
    return renditions;
}

void drawRenditions(const Picture& picture) {
    if (!QCoreApplication::instance()) return;
    Expected<std::unique_ptr<QMimeData>> offer = offerForPicture(picture);
    if (!offer) return;
    currentRenditions() = new Renditions(std::move(offer.value()), GetClipboardSequenceNumber());
}

// Empties the clipboard, which Plume then owns, and puts the handles on it; the clipboard
// takes each handle it accepts, and the rest are freed.
Status putOnClipboard(EmfHandle emf, HGLOBAL picture, HGLOBAL dib) {
    const auto cannot = [] {
        return Status::failure(QStringLiteral("クリップボードに画像を置けません"));
    };
    delete currentRenditions();
    OpenClipboardScope open(ownerWindow());
    if (!open || !EmptyClipboard()) {
        if (picture) GlobalFree(picture);
        if (dib) GlobalFree(dib);
        return cannot();
    }
    bool put = true;
    if (emf) put = SetClipboardData(CF_ENHMETAFILE, emf.get()) && (emf.release(), true);
    if (picture && !SetClipboardData(CF_METAFILEPICT, picture)) {
        put = false;
        GlobalFree(picture);
    }
    if (dib && !SetClipboardData(CF_DIB, dib)) {
        put = false;
        GlobalFree(dib);
    }
    return put ? Status::success() : cannot();
}

}  // namespace

bool hasFormat(int format) {
    if (format == kFormatEnhancedMetafile) return IsClipboardFormatAvailable(CF_ENHMETAFILE);
    if (format == kFormatMetafilePicture) return IsClipboardFormatAvailable(CF_METAFILEPICT);
    return false;
}

Expected<PicturePtr> getPicture(int format) {
    const std::shared_ptr<PendingRead> pending =
        PendingRead::start([format] { return readClipboardPicture(format); });
    std::optional<ClipboardRead> read;
    if (pending) read = pending->result(QDeadlineTimer(kOwnerAnswerMs));
    if (!read) {
        if (pending) pending->leaveBehind();
        read = silentOwnerRead();
    }
    return read->picture;
}

Status clear() {
    delete currentRenditions();
    OpenClipboardScope open(ownerWindow());
    if (!open || !EmptyClipboard())
        return Status::failure(QStringLiteral("クリップボードを使えません"));
    return Status::success();
}

Status setPicture(const PicturePtr& picture) {
    if (!picture) return Status::failure(QStringLiteral("クリップボードに置く画像がありません"));
    if (!picture->isVector()) {
        const HGLOBAL dib = dibOf(picture->image());
        if (!dib) return Status::failure(QStringLiteral("クリップボードに画像を置けません"));
        return putOnClipboard(nullptr, nullptr, dib);
    }
    const QByteArray emf = picture->emfBytes();
    if (!hasEmfSignature(emf))
        return Status::failure(QStringLiteral("拡張メタファイルに変換できません"));
    EmfHandle handle(
        SetEnhMetaFileBits(UINT(emf.size()), reinterpret_cast<const BYTE*>(emf.constData())));
    if (!handle) return Status::failure(QStringLiteral("拡張メタファイルに変換できません"));
    const HGLOBAL metafile = metafilePictureOf(handle.get());
    Status put = putOnClipboard(std::move(handle), metafile, nullptr);
    if (put) drawRenditions(*picture);
    return put;
}

}  // namespace plume::winclip
