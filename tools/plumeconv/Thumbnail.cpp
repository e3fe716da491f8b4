#include "Thumbnail.h"

#include "platform/metafile/Metafile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <QUrl>
#include <algorithm>
#include <cmath>

#ifndef PLUMECONV_VERSION
#define PLUMECONV_VERSION "unknown"
#endif

namespace plume::conv {

QSize thumbnailSize(QSize own, int size) {
    if (own.isEmpty()) return QSize(size, size);
    const double fit = double(size) / std::max(own.width(), own.height());
    const auto side = [fit](int v) { return std::max(1, int(std::lround(v * fit))); };
    return QSize(side(own.width()), side(own.height()));
}

Expected<QImage> makeThumbnail(const QString& input, int size, Outcome& failure,
                               bool drawEmfPlus) {
    Expected<QByteArray> bytes = readInput(input);
    if (!bytes) {
        failure = {kBadInput, bytes.error()};
        return Expected<QImage>::failure(failure.message);
    }
    const QString shownName =
        input == QLatin1String("-") ? Text::tr("standard input") : QDir::toNativeSeparators(input);
    const Drawing drawing = drawingFromBytes(shownName, bytes.value());
    if (!drawing.picture) {
        failure = drawing.failure;
        return Expected<QImage>::failure(failure.message);
    }
    const metafile::Document& document = *drawing.picture->document();
    const QSize own = ownPixelSize(document, 96.0);
    if (own.isEmpty()) {
        failure = {kBadSize, Text::tr("%1: %2").arg(shownName, Text::tr("the frame is empty"))};
        return Expected<QImage>::failure(failure.message);
    }
    QImage image(thumbnailSize(own, size), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        metafile::RenderOptions options;
        options.timeLimitMs = kThumbnailDrawMs;
        options.drawEmfPlus = drawEmfPlus;
        metafile::render(document, painter, QRectF(QPointF(0, 0), QSizeF(image.size())), options);
    }
    if (input != QLatin1String("-")) {
        const QFileInfo file(input);
        image.setText(QStringLiteral("Thumb::URI"),
                      QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded));
        image.setText(QStringLiteral("Thumb::MTime"),
                      QString::number(file.lastModified().toSecsSinceEpoch()));
        image.setText(QStringLiteral("Thumb::Size"), QString::number(file.size()));
    }
    image.setText(QStringLiteral("Thumb::Image::Width"), QString::number(own.width()));
    image.setText(QStringLiteral("Thumb::Image::Height"), QString::number(own.height()));
    image.setText(QStringLiteral("Software"),
                  QStringLiteral("plumeconv %1").arg(QStringLiteral(PLUMECONV_VERSION)));
    return Expected<QImage>::success(std::move(image));
}

Outcome writeThumbnail(const QString& input, const QString& output, int size,
                       bool drawEmfPlus) {
    Outcome failure;
    Expected<QImage> image = makeThumbnail(input, size, failure, drawEmfPlus);
    if (!image) return failure;
    QSaveFile out(output);
    const auto cannotWrite = [&](const QString& why) {
        return Outcome{kCannotWrite, Text::tr("cannot write %1: %2")
                                         .arg(QDir::toNativeSeparators(output), why)};
    };
    if (!out.open(QIODevice::WriteOnly)) return cannotWrite(out.errorString());
    QImageWriter writer(&out, "png");
    if (!writer.write(image.value())) {
        out.cancelWriting();
        return cannotWrite(writer.errorString());
    }
    if (!out.commit()) return cannotWrite(out.errorString());
    return Outcome{kOk, {}};
}

}  // namespace plume::conv
