#include "platform/clipboard/Clipboard.h"

#include "platform/clipboard/ClipboardFormats.h"
#include "platform/clipboard/VectorOffer.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QUrl>
#include <algorithm>
#include <optional>
#include <variant>

namespace plume {
namespace {

// No new read starts once an operation has spent this long, so one operation blocks for at
// most one of Qt's waits beyond it.
constexpr qint64 kReadBudgetMs = 5000;
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

// Reads the targets of one offer for one operation, guarding against the other program: a
// target is read only when it is offered, no read starts after the time budget is spent or
// once the owner has failed to answer, and data beyond the size limit is refused.
class OfferReader {
  public:
    explicit OfferReader(const QMimeData& offer, qint64 silentOwnerMs = kSilentOwnerMs)
        : m_offer(offer), m_silentOwnerMs(silentOwnerMs) {
        m_clock.start();
        m_targets = offer.formats();
        if (m_targets.isEmpty() && m_clock.elapsed() >= m_silentOwnerMs) m_silent = true;
    }

    bool offers(QLatin1String target) const { return m_targets.contains(target); }
    bool ownerSilent() const { return m_silent; }

    std::optional<QByteArray> read(QLatin1String target) {
        if (m_silent || !offers(target)) return std::nullopt;
        if (m_clock.elapsed() >= kReadBudgetMs) {
            note(QStringLiteral("クリップボードの読み取りに時間がかかりすぎました"));
            return std::nullopt;
        }
        QElapsedTimer wait;
        wait.start();
        QByteArray bytes = m_offer.data(QString(target));
        if (bytes.isEmpty()) {
            if (wait.elapsed() >= m_silentOwnerMs) m_silent = true;
            note(QStringLiteral("クリップボードのデータを受け取れません (%1)").arg(target));
            return std::nullopt;
        }
        if (bytes.size() > kMaxClipboardBytes) {
            note(QStringLiteral("クリップボードのデータが大きすぎます (%1 バイトまで)")
                     .arg(kMaxClipboardBytes));
            return std::nullopt;
        }
        return bytes;
    }

    // Why the last target that was offered could not be used.
    void note(QString reason) { m_reason = std::move(reason); }

    QString failure() const {
        if (m_silent) return QStringLiteral("クリップボードの持ち主が応答しません");
        return m_reason.isEmpty() ? QStringLiteral("クリップボードにメタファイルがありません")
                                  : m_reason;
    }

  private:
    const QMimeData& m_offer;
    const qint64 m_silentOwnerMs;
    QElapsedTimer m_clock;
    QStringList m_targets;
    bool m_silent = false;
    QString m_reason;
};

metafile::DocumentPtr parsed(const QByteArray& bytes) {
    metafile::ParseResult result = metafile::parseMetafile(bytes);
    if (auto* document = std::get_if<metafile::DocumentPtr>(&result)) return *document;
    return nullptr;
}

// The first EMF target, in order of preference, whose bytes are an EMF.
std::optional<QByteArray> readEmf(OfferReader& reader) {
    for (QLatin1String target : target::kEmfTargets) {
        std::optional<QByteArray> bytes = reader.read(target);
        if (!bytes) continue;
        if (hasEmfSignature(*bytes)) return bytes;
        reader.note(QStringLiteral("拡張メタファイルではありません (%1)").arg(target));
    }
    return std::nullopt;
}

std::optional<QByteArray> readWmf(OfferReader& reader) {
    for (QLatin1String target : target::kWmfTargets) {
        std::optional<QByteArray> bytes = reader.read(target);
        if (!bytes) continue;
        if (hasWmfSignature(*bytes)) return bytes;
        reader.note(QStringLiteral("メタファイルではありません (%1)").arg(target));
    }
    return std::nullopt;
}

bool hasFormatIn(OfferReader& reader, int format) {
    if (format == kFormatEnhancedMetafile) return readEmf(reader).has_value();
    if (format == kFormatMetafilePicture) return readWmf(reader).has_value();
    return false;
}

Expected<PicturePtr> pictureOf(const QByteArray& bytes) {
    if (PicturePtr picture = Picture::fromDocument(parsed(bytes)))
        return Expected<PicturePtr>::success(std::move(picture));
    return Expected<PicturePtr>::failure(
        QStringLiteral("クリップボードのメタファイルを読み込めません"));
}

// A WMF as an EMF picture. The engine hands over the EMF copy that LibreOffice embeds in its
// raw WMF (whose own window extent would give a wrong size) byte for byte, and converts any
// other WMF, its frame taken from the placeable bounds or the window.
Expected<PicturePtr> emfPictureOfWmf(const QByteArray& wmf) {
    const metafile::DocumentPtr document = parsed(wmf);
    if (!document)
        return Expected<PicturePtr>::failure(
            QStringLiteral("クリップボードのメタファイルを読み込めません"));
    const QByteArray emf = document->toEmf();
    if (!hasEmfSignature(emf))
        return Expected<PicturePtr>::failure(QStringLiteral("拡張メタファイルに変換できません"));
    return pictureOf(emf);
}

Expected<PicturePtr> pictureIn(OfferReader& reader, int format) {
    if (format != kFormatEnhancedMetafile && format != kFormatMetafilePicture)
        return Expected<PicturePtr>::failure(
            QStringLiteral("クリップボード形式 %1 の画像は取り出せません").arg(format));
    if (format == kFormatEnhancedMetafile) {
        if (std::optional<QByteArray> emf = readEmf(reader)) {
            Expected<PicturePtr> picture = pictureOf(*emf);
            if (picture) return picture;
            reader.note(picture.error());
        }
    }
    if (std::optional<QByteArray> wmf = readWmf(reader)) {
        Expected<PicturePtr> picture =
            format == kFormatEnhancedMetafile ? emfPictureOfWmf(*wmf) : pictureOf(*wmf);
        if (picture) return picture;
        reader.note(picture.error());
    }
    return Expected<PicturePtr>::failure(reader.failure());
}

}  // namespace

bool offerHasFormat(const QMimeData& offer, int format) {
    OfferReader reader(offer);
    return hasFormatIn(reader, format);
}

Expected<PicturePtr> pictureFromOffer(const QMimeData& offer, int format, qint64 silentOwnerMs) {
    OfferReader reader(offer, silentOwnerMs);
    return pictureIn(reader, format);
}

Expected<std::unique_ptr<QMimeData>> offerForPicture(const Picture& picture) {
    using Result = Expected<std::unique_ptr<QMimeData>>;
    if (!picture.isVector()) {
        auto offer = std::make_unique<QMimeData>();
        offer->setImageData(picture.image());
        return Result::success(std::move(offer));
    }
    const QByteArray emf = picture.emfBytes();
    if (!hasEmfSignature(emf))
        return Result::failure(QStringLiteral("拡張メタファイルに変換できません"));
    return Result::success(makeVectorOffer(picture.document(), emf, picture.size()));
}

std::unique_ptr<QMimeData> offerForFile(const QString& path, const PicturePtr& picture) {
    std::unique_ptr<QMimeData> offer;
    if (picture) {
        Expected<std::unique_ptr<QMimeData>> renditions = offerForPicture(*picture);
        if (renditions) offer = std::move(renditions.value());
    }
    if (!offer) offer = std::make_unique<QMimeData>();
    offer->setUrls({QUrl::fromLocalFile(path)});
    return offer;
}

bool offerNamesMetafile(const QMimeData& offer) {
    const QStringList targets = offer.formats();
    const auto named = [&](QLatin1String target) { return targets.contains(target); };
    return std::any_of(target::kEmfTargets.begin(), target::kEmfTargets.end(), named) ||
           std::any_of(target::kWmfTargets.begin(), target::kWmfTargets.end(), named);
}

bool clipboardHasFormat(int format) {
    QClipboard* clipboard = systemClipboard();
    if (!clipboard || ownerKnownSilent()) return false;
    const QMimeData* offer = clipboard->mimeData();
    if (!offer) return false;
    OfferReader reader(*offer);
    const bool has = hasFormatIn(reader, format);
    if (reader.ownerSilent()) {
        silence().silent = true;
        silence().since.start();
    }
    return has;
}

Expected<PicturePtr> clipboardGetPicture(int format) {
    QClipboard* clipboard = systemClipboard();
    if (!clipboard)
        return Expected<PicturePtr>::failure(QStringLiteral("クリップボードを使えません"));
    if (ownerKnownSilent())
        return Expected<PicturePtr>::failure(
            QStringLiteral("クリップボードの持ち主が応答しません"));
    const QMimeData* offer = clipboard->mimeData();
    if (!offer) return Expected<PicturePtr>::failure(QStringLiteral("クリップボードは空です"));
    OfferReader reader(*offer);
    Expected<PicturePtr> picture = pictureIn(reader, format);
    if (reader.ownerSilent()) {
        silence().silent = true;
        silence().since.start();
    }
    return picture;
}

Status clipboardClear() {
    QClipboard* clipboard = systemClipboard();
    if (!clipboard) return Status::failure(QStringLiteral("クリップボードを使えません"));
    // On X11 Qt sets the selection's owner to none, which empties the clipboard whoever held
    // it (the other program is told it lost the clipboard).
    clipboard->clear();
    return Status::success();
}

Status clipboardSetPicture(const PicturePtr& picture) {
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

}  // namespace plume
