#include "Thumbnail.h"

#include "platform/base/AtomicFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <cmath>

#ifndef PLUMECONV_VERSION
#define PLUMECONV_VERSION "unknown"
#endif

namespace plume::conv {

QString thumbnailTooSlow() {
    return Text::tr("the thumbnail took longer than %1 seconds").arg(kThumbnailRunMs / 1000);
}

QSize thumbnailSize(QSize own, int size) {
    if (own.isEmpty()) return QSize(size, size);
    const double fit = double(size) / std::max(own.width(), own.height());
    const auto side = [fit](int v) { return std::max(1, int(std::lround(v * fit))); };
    return QSize(side(own.width()), side(own.height()));
}

Expected<ThumbnailPlan> planThumbnail(const QString& input, int size, Outcome& failure) {
    using Failure = Expected<ThumbnailPlan>;
    Expected<QByteArray> bytes = readInput(input);
    if (!bytes) {
        failure = {kBadInput, bytes.error()};
        return Failure::failure(failure.message);
    }
    const QString shownName =
        input == QLatin1String("-") ? Text::tr("standard input") : QDir::toNativeSeparators(input);
    Drawing drawing = drawingFromBytes(shownName, bytes.value());
    if (!drawing.picture) {
        failure = drawing.failure;
        return Failure::failure(failure.message);
    }
    const QSize own = ownPixelSize(*drawing.picture->document(), 96.0);
    if (own.isEmpty()) {
        failure = {kBadSize, Text::tr("%1: %2").arg(shownName, Text::tr("the frame is empty"))};
        return Failure::failure(failure.message);
    }
    ThumbnailPlan plan;
    plan.picture = std::move(drawing.picture);
    plan.size = thumbnailSize(own, size);
    if (input != QLatin1String("-")) {
        const QFileInfo file(input);
        plan.text.append({"Thumb::URI", QUrl::fromLocalFile(file.absoluteFilePath())
                                            .toString(QUrl::FullyEncoded)
                                            .toLatin1()});
        plan.text.append(
            {"Thumb::MTime", QByteArray::number(file.lastModified().toSecsSinceEpoch())});
        plan.text.append({"Thumb::Size", QByteArray::number(file.size())});
    }
    plan.text.append({"Thumb::Image::Width", QByteArray::number(own.width())});
    plan.text.append({"Thumb::Image::Height", QByteArray::number(own.height())});
    plan.text.append({"Software", QByteArray("plumeconv " PLUMECONV_VERSION)});
    return Expected<ThumbnailPlan>::success(std::move(plan));
}

Outcome writeThumbnail(const QString& input, const QString& output, int size,
                       bool drawEmfPlus) {
    Outcome failure;
    Expected<ThumbnailPlan> plan = planThumbnail(input, size, failure);
    if (!plan) return failure;
    AtomicFile out(output);
    const auto cannotWrite = [&](const QString& why) {
        return Outcome{kCannotWrite,
                       Text::tr("cannot write %1: %2")
                           .arg(QDir::toNativeSeparators(output),
                                out.systemError() ? fileErrorText(out.systemError()) : why)};
    };
    if (!out.open()) return cannotWrite(out.errorString());
    const ThumbnailPlan& p = plan.value();
    const Expected<PngWritten> written = writePictureAsPng(
        *p.picture, p.size, out, kPngBandBytes, kThumbnailDrawMs, drawEmfPlus, Qt::white, p.text);
    if (!written) {
        out.cancel();
        return cannotWrite(written.error());
    }
    if (!out.commit()) return cannotWrite(out.errorString());
    // A file manager counts any status but 0 as a failed thumbnail and does not try again,
    // where part of the drawing still shows which file it is: the warning alone says so.
    return Outcome{kOk, written.value().cutOff
                            ? cutShortWarning(QDir::toNativeSeparators(input), kThumbnailDrawMs)
                            : QString()};
}

}  // namespace plume::conv
