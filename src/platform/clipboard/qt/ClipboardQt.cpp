// The system clipboard's operations through Qt's clipboard, on the platforms where Qt's
// clipboard carries the metafile targets as named data (X11, and the offscreen platform of
// the tests). Qt may wait for the owner inside the calling thread here; the windows read
// through a ClipboardReader instead.
#include "platform/clipboard/qt/ClipboardQt.h"

#include "platform/clipboard/Clipboard.h"
#include "platform/clipboard/ClipboardReader.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>

namespace plume::qtclip {
namespace {

// After an owner failed to answer, the clipboard counts as empty until it changes hands or
// this long has passed, so that the next questions of the same command do not wait again.
constexpr qint64 kSilenceMemoryMs = 10000;

// Remembers an owner that did not answer (see kSilenceMemoryMs).
struct Silence {
    bool silent = false;
    QElapsedTimer since;
};

Silence& silence() {
    static Silence state;
    return state;
}

bool ownerKnownSilent() {
    Silence& s = silence();
    if (s.silent && s.since.elapsed() > kSilenceMemoryMs) s.silent = false;
    return s.silent;
}

QClipboard* systemClipboard() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return nullptr;
    QClipboard* clipboard = QGuiApplication::clipboard();
    static QPointer<QClipboard> watched;
    if (clipboard && watched != clipboard) {
        watched = clipboard;
        QObject::connect(clipboard, &QClipboard::dataChanged, clipboard,
                         [] { silence().silent = false; });
    }
    return clipboard;
}

}  // namespace

bool hasFormat(int format) {
    QClipboard* clipboard = systemClipboard();
    if (!clipboard || ownerKnownSilent()) return false;
    const QMimeData* offer = clipboard->mimeData();
    if (!offer) return false;
    bool ownerSilent = false;
    const bool has = sourceHasFormat(*makeMimeSource(*offer, kSilentOwnerMs), format, &ownerSilent);
    if (ownerSilent) {
        silence().silent = true;
        silence().since.start();
    }
    return has;
}

Expected<PicturePtr> getPicture(int format) {
    QClipboard* clipboard = systemClipboard();
    if (!clipboard)
        return Expected<PicturePtr>::failure(QStringLiteral("クリップボードを使えません"));
    if (ownerKnownSilent())
        return Expected<PicturePtr>::failure(
            QStringLiteral("クリップボードの持ち主が応答しません"));
    const QMimeData* offer = clipboard->mimeData();
    if (!offer) return Expected<PicturePtr>::failure(QStringLiteral("クリップボードは空です"));
    bool ownerSilent = false;
    Expected<PicturePtr> picture =
        pictureFromSource(*makeMimeSource(*offer, kSilentOwnerMs), format, &ownerSilent);
    if (ownerSilent) {
        silence().silent = true;
        silence().since.start();
    }
    return picture;
}

Status clear() {
    QClipboard* clipboard = systemClipboard();
    if (!clipboard) return Status::failure(QStringLiteral("クリップボードを使えません"));
    // On X11 Qt sets the selection's owner to none, which empties the clipboard whoever held
    // it (the other program is told it lost the clipboard).
    clipboard->clear();
    return Status::success();
}

Status setPicture(const PicturePtr& picture) {
    if (!picture) return Status::failure(QStringLiteral("クリップボードに置く画像がありません"));
    QClipboard* clipboard = systemClipboard();
    if (!clipboard) return Status::failure(QStringLiteral("クリップボードを使えません"));
    Expected<std::unique_ptr<QMimeData>> offer = offerForPicture(*picture);
    if (!offer) return Status::failure(offer.error());
    QMimeData* data = offer.value().release();
    clipboard->setMimeData(data);  // the clipboard takes ownership
    // Qt only warns when the X server refuses the ownership; the offer is ours only if the
    // clipboard hands it back.
    if (clipboard->mimeData() != data)
        return Status::failure(QStringLiteral("クリップボードに画像を置けません"));
    return Status::success();
}

}  // namespace plume::qtclip
