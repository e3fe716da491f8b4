#include "platform/clipboard/Clipboard.h"

#include "platform/clipboard/ClipboardFormats.h"
#include "platform/clipboard/ClipboardOperations.h"
#include "platform/clipboard/ClipboardReader.h"
#include "platform/clipboard/VectorOffer.h"
#include "platform/picture/PictureIo.h"
#include "platform/picture/SvgRendition.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <optional>
#include <variant>

namespace plume {
namespace {

// No new read starts once an operation has spent this long, so one operation blocks for at
// most one of Qt's waits beyond it.
constexpr qint64 kReadBudgetMs = 5000;
// Qt's offer of the clipboard as a source of one read. Qt's X11 clipboard gives back nothing
// both for a target the owner refused and for one it never answered; only the time it took
// tells them apart.
class MimeSource : public OfferSource {
  public:
    MimeSource(const QMimeData& offer, qint64 silentOwnerMs)
        : m_offer(offer), m_silentOwnerMs(silentOwnerMs) {}

    std::optional<QStringList> targets() override {
        QElapsedTimer wait;
        wait.start();
        QStringList names = m_offer.formats();
        if (names.isEmpty() && wait.elapsed() >= m_silentOwnerMs) return std::nullopt;
        return names;
    }
    Fetched fetch(QLatin1String target) override {
        QElapsedTimer wait;
        wait.start();
        QByteArray bytes = m_offer.data(QString(target));
        if (!bytes.isEmpty()) return {Answer::Bytes, std::move(bytes)};
        return {wait.elapsed() >= m_silentOwnerMs ? Answer::Silent : Answer::Refused, {}};
    }

  private:
    const QMimeData& m_offer;
    const qint64 m_silentOwnerMs;
};

// Reads the targets of one offer for one operation, guarding against the other program: a
// target is read only when it is offered and only once, no read starts after the time budget
// is spent or once the owner has failed to answer, and data beyond the size limit is refused.
class OfferReader {
  public:
    explicit OfferReader(OfferSource& source) : m_source(source) {
        m_clock.start();
        std::optional<QStringList> targets = source.targets();
        if (targets)
            m_targets = std::move(*targets);
        else
            m_silent = true;
    }

    bool offers(QLatin1String target) const { return m_targets.contains(target); }
    bool ownerSilent() const { return m_silent; }

    std::optional<QByteArray> read(QLatin1String target) {
        if (m_silent || !offers(target)) return std::nullopt;
        const auto known = m_read.constFind(QString(target));
        if (known != m_read.constEnd()) return *known;
        std::optional<QByteArray> bytes = fetch(target);
        m_read.insert(QString(target), bytes);
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
    std::optional<QByteArray> fetch(QLatin1String target) {
        if (m_clock.elapsed() >= kReadBudgetMs) {
            note(QStringLiteral("クリップボードの読み取りに時間がかかりすぎました"));
            return std::nullopt;
        }
        OfferSource::Fetched fetched = m_source.fetch(target);
        if (fetched.answer == OfferSource::Answer::Silent) m_silent = true;
        if (fetched.answer == OfferSource::Answer::TooLarge ||
            fetched.bytes.size() > kMaxClipboardBytes) {
            note(QStringLiteral("クリップボードのデータが大きすぎます (%1 バイトまで)")
                     .arg(kMaxClipboardBytes));
            return std::nullopt;
        }
        if (fetched.answer != OfferSource::Answer::Bytes || fetched.bytes.isEmpty()) {
            note(QStringLiteral("クリップボードのデータを受け取れません (%1)").arg(target));
            return std::nullopt;
        }
        return std::move(fetched.bytes);
    }

    OfferSource& m_source;
    QElapsedTimer m_clock;
    QStringList m_targets;
    QHash<QString, std::optional<QByteArray>> m_read;
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

// Why a metafile that parsed is still damaged, or nothing when it reads whole.
QString damageOf(const metafile::Document& document) {
    if (metafileCutShort(document)) return QStringLiteral("ﾒﾀﾌｧｲﾙが途中で切れています");
    if (!document.truncationNote().isEmpty())
        return QStringLiteral("ﾒﾀﾌｧｲﾙのﾚｺｰﾄﾞが途中で壊れています");
    return {};
}

// What an offer's bytes give: the picture, and its damage noted in `damage` (when given).
Expected<PicturePtr> pictureOf(const QByteArray& bytes, QString* damage) {
    if (PicturePtr picture = Picture::fromDocument(parsed(bytes))) {
        if (damage && damage->isEmpty()) *damage = damageOf(*picture->document());
        return Expected<PicturePtr>::success(std::move(picture));
    }
    return Expected<PicturePtr>::failure(
        QStringLiteral("クリップボードのメタファイルを読み込めません"));
}

// A WMF as an EMF picture. The engine hands over the EMF copy that LibreOffice embeds in its
// raw WMF (whose own window extent would give a wrong size) byte for byte, and converts any
// other WMF, its frame taken from the placeable bounds or the window. Damage is the WMF's as
// offered, which a conversion would no longer show.
Expected<PicturePtr> emfPictureOfWmf(const QByteArray& wmf, QString* damage) {
    const metafile::DocumentPtr document = parsed(wmf);
    if (!document)
        return Expected<PicturePtr>::failure(
            QStringLiteral("クリップボードのメタファイルを読み込めません"));
    if (damage) *damage = damageOf(*document);
    const QByteArray emf = document->toEmf();
    if (!hasEmfSignature(emf))
        return Expected<PicturePtr>::failure(QStringLiteral("拡張メタファイルに変換できません"));
    return pictureOf(emf, damage);
}

Expected<PicturePtr> pictureIn(OfferReader& reader, int format, QString* damage = nullptr) {
    if (format != kFormatEnhancedMetafile && format != kFormatMetafilePicture)
        return Expected<PicturePtr>::failure(
            QStringLiteral("クリップボード形式 %1 の画像は取り出せません").arg(format));
    if (format == kFormatEnhancedMetafile) {
        if (std::optional<QByteArray> emf = readEmf(reader)) {
            Expected<PicturePtr> picture = pictureOf(*emf, damage);
            if (picture) return picture;
            reader.note(picture.error());
        }
    }
    if (std::optional<QByteArray> wmf = readWmf(reader)) {
        Expected<PicturePtr> picture = format == kFormatEnhancedMetafile
                                           ? emfPictureOfWmf(*wmf, damage)
                                           : pictureOf(*wmf, damage);
        if (picture) return picture;
        reader.note(picture.error());
    }
    return Expected<PicturePtr>::failure(reader.failure());
}

}  // namespace

bool sourceHasFormat(OfferSource& source, int format, bool* ownerSilent) {
    OfferReader reader(source);
    const bool has = hasFormatIn(reader, format);
    if (ownerSilent) *ownerSilent = reader.ownerSilent();
    return has;
}

Expected<PicturePtr> pictureFromSource(OfferSource& source, int format, bool* ownerSilent) {
    OfferReader reader(source);
    Expected<PicturePtr> picture = pictureIn(reader, format);
    if (ownerSilent) *ownerSilent = reader.ownerSilent();
    return picture;
}

std::unique_ptr<OfferSource> makeMimeSource(const QMimeData& offer, qint64 silentOwnerMs) {
    return std::make_unique<MimeSource>(offer, silentOwnerMs);
}

bool offerHasFormat(const QMimeData& offer, int format) {
    MimeSource source(offer, kSilentOwnerMs);
    return sourceHasFormat(source, format);
}

Expected<PicturePtr> pictureFromOffer(const QMimeData& offer, int format, qint64 silentOwnerMs) {
    MimeSource source(offer, silentOwnerMs);
    return pictureFromSource(source, format);
}

ClipboardRead readOffer(OfferSource& source) {
    OfferReader reader(source);
    ClipboardRead read;
    // Whether format 14 or 3 is there, EMF first: its bytes are the picture's too, and a
    // WMF is then never asked for.
    read.hasMetafile =
        hasFormatIn(reader, kFormatEnhancedMetafile) || hasFormatIn(reader, kFormatMetafilePicture);
    if (read.hasMetafile)
        read.picture = pictureIn(reader, kFormatEnhancedMetafile, &read.damage);
    else
        read.picture = Expected<PicturePtr>::failure(reader.failure());
    read.ownerSilent = reader.ownerSilent();
    return read;
}

ClipboardRead readOffer(const QMimeData& offer, qint64 silentOwnerMs) {
    MimeSource source(offer, silentOwnerMs);
    return readOffer(source);
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

namespace {

const ClipboardOperations*& operationsForTesting() {
    static const ClipboardOperations* operations = nullptr;
    return operations;
}

const ClipboardOperations& operations() {
    const ClipboardOperations* forTesting = operationsForTesting();
    return forTesting ? *forTesting : platformClipboardOperations();
}

}  // namespace

void setClipboardOperationsForTesting(const ClipboardOperations* operations) {
    operationsForTesting() = operations;
}

bool clipboardHasFormat(int format) {
    return operations().hasFormat(format);
}

Expected<PicturePtr> clipboardGetPicture(int format) {
    return operations().getPicture(format);
}

Status clipboardClear() {
    return operations().clear();
}

Status clipboardSetPicture(const PicturePtr& picture) {
    return operations().setPicture(picture);
}

}  // namespace plume
