#include "main_window/ClipboardWatch.h"

#include "platform/clipboard/ClipboardReader.h"

#include <QClipboard>
#include <QCryptographicHash>
#include <QGuiApplication>
#include <algorithm>

namespace plume {

QString ownerSilentText() {
    return QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞの持ち主が応答しません");
}

ClipboardWatch::ClipboardWatch(QObject* parent, Import import, Say say,
                               std::unique_ptr<ClipboardReader> reader)
    : QObject(parent),
      m_import(std::move(import)),
      m_say(std::move(say)),
      m_reader(std::move(reader)) {
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        if (m_changedSince) readNow();
    });
}

ClipboardWatch::~ClipboardWatch() = default;

void ClipboardWatch::setOn(bool on) {
    if (on == m_on) return;
    m_on = on;
    m_retry.stop();
    m_changedSince = false;
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
    if (m_reader->reading()) {
        m_changedSince = true;
        return;
    }
    if (m_retry.isActive()) {
        // The silent owner, taking the clipboard again, waits its turn; another program is
        // read at once.
        if (m_reader->owner() == m_silentOwner) {
            m_changedSince = true;
            return;
        }
        m_retry.stop();
        m_backoffMs = 0;
    }
    readNow();
}

void ClipboardWatch::readNow() {
    m_changedSince = false;
    m_reader->read([this](const ClipboardRead& read) { readDone(read); });
}

void ClipboardWatch::readDone(const ClipboardRead& read) {
    if (!m_on) return;
    if (read.ownerSilent) {
        const bool again = m_backoffMs > 0 && read.owner == m_silentOwner;
        m_backoffMs = again ? std::min(2 * m_backoffMs, kLongestBackoffMs) : kFirstBackoffMs;
        m_silentOwner = read.owner;
        m_retry.start(m_backoffMs);
        m_say(ownerSilentText());
    } else {
        m_backoffMs = 0;
        keep(read);
    }
    // A change that came meanwhile is read now, or when the silent owner's wait ends.
    if (m_changedSince) clipboardChanged();
}

void ClipboardWatch::keep(const ClipboardRead& read) {
    if (!read.hasMetafile || !read.picture) return;
    // Only a metafile that reads whole is kept: bytes that merely begin like one (a header
    // before garbage, a drawing cut short) would become a drawing nobody can use.
    if (!read.damage.isEmpty()) {
        m_say(QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞのﾒﾀ画像は破損しているため取り込みません (%1)")
                  .arg(read.damage));
        return;
    }
    const PicturePtr& picture = read.picture.value();
    const QByteArray digest = digestOf(picture->emfBytes());
    if (!isNew(digest)) return;
    if (m_import(picture)) m_lastImported = digest;
}

}  // namespace plume
