#include "main_window/ClipboardWatch.h"

#include "platform/clipboard/Clipboard.h"
#include "platform/clipboard/ClipboardFormats.h"

#include <QClipboard>
#include <QCryptographicHash>
#include <QGuiApplication>
#include <QMimeData>

namespace plume {

ClipboardWatch::ClipboardWatch(QObject* parent, Import import)
    : QObject(parent), m_import(std::move(import)) {}

void ClipboardWatch::setOn(bool on) {
    if (on == m_on) return;
    m_on = on;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return;
    // Connected only while on: a user who never turns the watch on pays nothing at all.
    if (on) {
        connect(clipboard, &QClipboard::dataChanged, this, &ClipboardWatch::clipboardChanged);
    } else {
        disconnect(clipboard, &QClipboard::dataChanged, this, &ClipboardWatch::clipboardChanged);
    }
}

QByteArray ClipboardWatch::digestOf(const QByteArray& emf) {
    return QCryptographicHash::hash(emf, QCryptographicHash::Sha256);
}

void ClipboardWatch::notePlumesOwn(const QByteArray& emf) {
    m_plumesOwn = digestOf(emf);
}

bool ClipboardWatch::isNew(const QByteArray& digest) const {
    return digest != m_lastImported && digest != m_plumesOwn;
}

void ClipboardWatch::clipboardChanged() {
    if (!m_on) return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    // What Plume itself put there (a copy, a bitmap of the raster window) is not a clipping.
    if (!clipboard || clipboard->ownsClipboard()) return;
    const QMimeData* offer = clipboard->mimeData();
    if (!offer || !offerNamesMetafile(*offer)) return;
    const Expected<PicturePtr> picture = clipboardGetPicture(kFormatEnhancedMetafile);
    if (!picture) return;
    const QByteArray digest = digestOf(picture.value()->emfBytes());
    if (!isNew(digest)) return;
    if (m_import(picture.value())) m_lastImported = digest;
}

}  // namespace plume
