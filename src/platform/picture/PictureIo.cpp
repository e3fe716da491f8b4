#include "platform/picture/PictureIo.h"

#include "platform/base/InputFile.h"
#include "platform/base/AtomicFile.h"

#include "platform/metafile/format/BoundedReader.h"
#include "platform/metafile/format/MetafileFormat.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <new>
#include <optional>

namespace plume {
namespace {

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

Expected<PicturePtr> rasterFromBytes(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    // No format given: QImageReader recognises the format from the bytes themselves.
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    // Qt's own allocation cap (256 MB) would refuse rasters that Plume's limits allow.
    reader.setAllocationLimit(int(kMaxRasterPixels * 4 / (1024 * 1024)) + 1);
    if (!reader.canRead())
        return Expected<PicturePtr>::failure(QStringLiteral("画像ファイルではありません"));
    // The header's size is checked before any pixel memory is allocated for it.
    const QSize claimed = reader.size();
    if (claimed.isValid()) {
        if (Status allowed = checkRasterSize(claimed); !allowed)
            return Expected<PicturePtr>::failure(allowed.error());
    }
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return Expected<PicturePtr>::failure(
            QStringLiteral("画像を読み込めません (%1)").arg(reader.errorString()));
    if (Status allowed = checkRasterSize(image.size()); !allowed)
        return Expected<PicturePtr>::failure(allowed.error());
    return Expected<PicturePtr>::success(Picture::fromImage(std::move(image)));
}

// A bitmap file holds no transparency that every reader honours: transparent parts are
// composed onto white, as they show on Plume's surfaces.
QImage opaqueOnWhite(const QImage& image) {
    if (!image.hasAlphaChannel()) return image;
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, image);
    return opaque;
}

}  // namespace

Expected<PicturePtr> pictureFromBytes(const QByteArray& bytes) {
    if (bytes.isEmpty()) return Expected<PicturePtr>::failure(QStringLiteral("ファイルが空です"));
    if (bytes.size() > kMaxPictureFileBytes)
        return Expected<PicturePtr>::failure(
            QStringLiteral("ファイルが大きすぎます (%1 バイトまで)").arg(kMaxPictureFileBytes));
    if (metafile::looksLikeMetafile(bytes)) {
        metafile::ParseResult parsed = metafile::parseMetafile(bytes);
        if (const auto* error = std::get_if<metafile::ParseError>(&parsed))
            return Expected<PicturePtr>::failure(
                QStringLiteral("メタファイルを読み込めません (%1 バイト目: %2)")
                    .arg(error->offset)
                    .arg(error->message));
        PicturePtr picture = Picture::fromDocument(std::get<metafile::DocumentPtr>(parsed));
        if (!picture)
            return Expected<PicturePtr>::failure(QStringLiteral("メタファイルを読み込めません"));
        return Expected<PicturePtr>::success(std::move(picture));
    }
    return rasterFromBytes(bytes);
}

Expected<QByteArray> readPictureFile(const QString& path) {
    using Failure = Expected<QByteArray>;
    InputRules rules;
    rules.maxBytes = kMaxPictureFileBytes;
    rules.regularFilesOnly = true;
    InputRead read = readInputFile(path, rules);
    switch (read.failure) {
        case InputFailure::None:
            return Expected<QByteArray>::success(std::move(read.bytes));
        case InputFailure::CannotOpen:
            return Failure::failure(
                QStringLiteral("ファイルを開けません: %1 (%2)").arg(shown(path), read.systemError));
        case InputFailure::Folder:
            return Failure::failure(
                QStringLiteral("ファイルではなくフォルダーです: %1").arg(shown(path)));
        case InputFailure::NotRegular:
        case InputFailure::Silent:
        case InputFailure::Closed:
            return Failure::failure(
                QStringLiteral("通常のファイルではない (パイプやデバイス) ため読み込みません: %1")
                    .arg(shown(path)));
        case InputFailure::TooLarge:
            return Failure::failure(QStringLiteral("ファイルが大きすぎます (%1 バイトまで): %2")
                                        .arg(kMaxPictureFileBytes)
                                        .arg(shown(path)));
        case InputFailure::CannotRead:
            break;
    }
    return Failure::failure(
        QStringLiteral("ファイルを読み込めません: %1 (%2)").arg(shown(path), read.systemError));
}

Expected<PicturePtr> loadPicture(const QString& path) {
    try {
        const Expected<QByteArray> bytes = readPictureFile(path);
        if (!bytes) return Expected<PicturePtr>::failure(bytes.error());
        Expected<PicturePtr> result = pictureFromBytes(bytes.value());
        if (!result)
            return Expected<PicturePtr>::failure(result.error() + QStringLiteral(": ") +
                                                 shown(path));
        return result;
    } catch (const std::bad_alloc&) {
        return Expected<PicturePtr>::failure(
            QStringLiteral("メモリが足りないため読み込めません: %1").arg(shown(path)));
    }
}

Status savePicture(const Picture& picture, const QString& path) {
    QByteArray bytes;
    if (picture.isVector()) {
        bytes = picture.emfBytes();
        if (bytes.isEmpty())
            return Status::failure(
                QStringLiteral("拡張メタファイルに変換できません: %1").arg(shown(path)));
    } else {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!opaqueOnWhite(picture.image()).save(&buffer, "BMP"))
            return Status::failure(QStringLiteral("BMP に変換できません: %1").arg(shown(path)));
    }
    // Written to a temporary file beside the target and renamed over the old one only when
    // everything was written and flushed, so a failed save never leaves half a picture.
    if (const int error = writeFileAtomically(path, bytes); error != 0)
        return Status::failure(QStringLiteral("ファイルに書き込めません: %1 (%2)")
                                   .arg(shown(path), fileErrorCause(error)));
    return Status::success();
}

}  // namespace plume

namespace plume {

bool metafileCutShort(const metafile::Document& document) {
    // The size the header declares (EMF nBytes; WMF mtSize) beyond the bytes there are.
    const auto bytes = metafile::byteSpan(document.bytes());
    const auto declared = document.format() == metafile::Format::Emf
                              ? metafile::declaredEmfSize(bytes)
                              : metafile::declaredWmfSize(bytes);
    return declared && *declared > bytes.size();
}

}  // namespace plume
