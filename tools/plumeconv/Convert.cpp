#include "Convert.h"

#include "platform/base/AtomicFile.h"
#include "platform/metafile/format/Document.h"
#include "platform/picture/PictureIo.h"
#include "platform/picture/PngBands.h"
#include "platform/picture/SvgRendition.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace plume::conv {

namespace {

constexpr double kOwnSizeDpi = 96.0;

QString shown(const QString& path) {
    return path == QLatin1String("-") ? Text::tr("standard input") : QDir::toNativeSeparators(path);
}

Outcome failed(int code, const QString& message) {
    return Outcome{code, message};
}

bool isRasterImage(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return !QImageReader::imageFormat(&buffer).isEmpty();
}

// The SVG with a rectangle of the ground colour under the drawing.
QByteArray withGround(QByteArray svg, const QColor& colour) {
    const qsizetype open = svg.indexOf("<svg");
    const qsizetype end = open < 0 ? -1 : svg.indexOf('>', open);
    if (end < 0) return svg;
    const QByteArray ground =
        QStringLiteral("\n<rect width=\"100%\" height=\"100%\" fill=\"%1\" fill-opacity=\"%2\"/>")
            .arg(colour.name(QColor::HexRgb))
            .arg(colour.alphaF())
            .toUtf8();
    svg.insert(end + 1, ground);
    return svg;
}

// The resolution a PDF page or an SVG states, so that --dpi changes the pixels but not the
// drawing's physical size (--scale and --width/--height change both).
double statedDpi(const Options& options) {
    return options.width || options.height ? kOwnSizeDpi : options.dpi;
}

Status makePdf(const Picture& picture, QSize size, const Options& options, QIODevice& out) {
    const double dpi = statedDpi(options);
    QPdfWriter writer(&out);
    writer.setResolution(std::max(1, int(std::lround(dpi))));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setPageSize(QPageSize(QSizeF(size) * 72.0 / std::max(1L, std::lround(dpi)),
                                 QPageSize::Point, QString(), QPageSize::ExactMatch));
    QPainter painter(&writer);
    const QRectF target(0, 0, size.width(), size.height());
    if (options.background) painter.fillRect(target, *options.background);
    metafile::RenderOptions render;
    render.drawEmfPlus = options.drawEmfPlus;
    metafile::render(*picture.document(), painter, target, render);
    if (!painter.end()) return Status::failure(Text::tr("the PDF could not be made"));
    return Status::success();
}


// The PDF is made in memory and written in one checked write: QPdfWriter does not look at
// what its device's writes return.
Status writePdf(const Picture& picture, QSize size, const Options& options, QIODevice& out) {
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    if (Status made = makePdf(picture, size, options, buffer); !made) return made;
    if (out.write(pdf) != pdf.size()) return Status::failure(out.errorString());
    return Status::success();
}

}  // namespace

Expected<QByteArray> readInput(const QString& path) {
    const bool isStdin = path == QLatin1String("-");
    QFile file(isStdin ? QString() : path);
    const bool opened =
        isStdin ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly);
    if (!opened)
        return Expected<QByteArray>::failure(
            Text::tr("cannot open %1: %2").arg(shown(path), file.errorString()));
    if (!isStdin && file.size() > kMaxPictureFileBytes)
        return Expected<QByteArray>::failure(Text::tr("%1 is larger than %2 MB, the limit")
                                                 .arg(shown(path))
                                                 .arg(kMaxPictureFileBytes / (1024 * 1024)));
    QByteArray bytes = isStdin ? file.read(kMaxPictureFileBytes + 1) : file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Expected<QByteArray>::failure(
            Text::tr("cannot read %1: %2").arg(shown(path), file.errorString()));
    if (bytes.size() > kMaxPictureFileBytes)
        return Expected<QByteArray>::failure(Text::tr("%1 is larger than %2 MB, the limit")
                                                 .arg(shown(path))
                                                 .arg(kMaxPictureFileBytes / (1024 * 1024)));
    return Expected<QByteArray>::success(std::move(bytes));
}

Drawing drawingFromBytes(const QString& shownName, const QByteArray& bytes) {
    Drawing drawing;
    if (bytes.isEmpty()) {
        drawing.failure = failed(kBadInput, Text::tr("%1 is empty").arg(shownName));
        return drawing;
    }
    if (!metafile::looksLikeMetafile(bytes)) {
        drawing.failure =
            failed(kBadInput, isRasterImage(bytes)
                                  ? Text::tr("%1 is a raster image, not an EMF or WMF file")
                                        .arg(shownName)
                                  : Text::tr("%1 is no EMF or WMF file").arg(shownName));
        return drawing;
    }
    metafile::ParseResult parsed = metafile::parseMetafile(bytes);
    if (const auto* error = std::get_if<metafile::ParseError>(&parsed)) {
        drawing.failure = failed(kDamaged, Text::tr("%1 is damaged and cannot be converted (%2)")
                                               .arg(shownName, error->message));
        return drawing;
    }
    PicturePtr picture = Picture::fromDocument(std::get<metafile::DocumentPtr>(parsed));
    if (!picture) {
        drawing.failure = failed(kDamaged, Text::tr("%1 is damaged and cannot be converted (%2)")
                                               .arg(shownName, Text::tr("unreadable header")));
        return drawing;
    }
    const metafile::Document& document = *picture->document();
    if (metafileCutShort(document)) {
        drawing.failure =
            failed(kDamaged, Text::tr("%1 is damaged and cannot be converted (%2)")
                                 .arg(shownName, Text::tr("the file is shorter than its "
                                                          "header says: cut short")));
        return drawing;
    }
    if (!document.truncationNote().isEmpty())
        drawing.warning = Text::tr("%1 is drawn only in part: %2")
                              .arg(shownName, document.truncationNote());
    drawing.picture = std::move(picture);
    return drawing;
}

Expected<QSize> chooseSize(const metafile::Document& document, const Options& options) {
    const QSize own = ownPixelSize(document, options.dpi * options.scale);
    QSize size = own;
    if (options.width && options.height) {
        size = QSize(*options.width, *options.height);
    } else if (options.width || options.height) {
        if (own.isEmpty())
            return Expected<QSize>::failure(
                Text::tr("the frame is empty, so there are no proportions to keep"));
        const double ratio = double(own.height()) / own.width();
        const auto side = [](double v) { return int(std::max(1.0, std::round(v))); };
        size = options.width ? QSize(*options.width, side(std::min(*options.width * ratio, 1e9)))
                             : QSize(side(std::min(*options.height / ratio, 1e9)), *options.height);
    } else if (own.isEmpty()) {
        return Expected<QSize>::failure(
            Text::tr("the frame is empty (%1 x %2 pixels); give --width and --height")
                .arg(own.width())
                .arg(own.height()));
    }
    if (size.width() <= 0 || size.height() <= 0)
        return Expected<QSize>::failure(
            Text::tr("the size %1 x %2 is empty").arg(size.width()).arg(size.height()));
    if (!checkRasterSize(size))
        return Expected<QSize>::failure(
            Text::tr("the size %1 x %2 is too large (at most %3 pixels a side, %4 million in all)")
                .arg(size.width())
                .arg(size.height())
                .arg(kMaxRasterSide)
                .arg(kMaxRasterPixels / 1'000'000));
    return Expected<QSize>::success(size);
}

Status writeDrawing(const Picture& picture, QSize size, const Options& options,
                    QIODevice& out, qint64 pngBandBytes) {
    const metafile::Document& document = *picture.document();
    const int timeLimitMs = metafile::RenderOptions{}.timeLimitMs;
    QByteArray bytes;
    switch (options.format) {
        case Format::Png:
            return writePictureAsPng(picture, size, out, pngBandBytes, timeLimitMs,
                                     options.drawEmfPlus,
                                     options.background.value_or(QColor(Qt::white)));
        case Format::Pdf:
            return writePdf(picture, size, options, out);
        case Format::Svg:
            // The same rendition as the clipboard's: clipping, hatched and pattern fills and
            // raster operations kept.
            bytes = svgRenditionOf(document, size, statedDpi(options), timeLimitMs,
                                   options.drawEmfPlus);
            if (bytes.isEmpty()) return Status::failure(Text::tr("the SVG could not be made"));
            if (options.background) bytes = withGround(bytes, *options.background);
            break;
        case Format::Emf:
            bytes = document.toEmf();
            if (bytes.isEmpty())
                return Status::failure(Text::tr("the drawing could not be converted to EMF"));
            break;
    }
    if (out.write(bytes) != bytes.size()) return Status::failure(out.errorString());
    return Status::success();
}

Outcome convertOne(const Options& options, const QString& input, const QString& output,
                   qint64 pngBandBytes) {
    Expected<QByteArray> bytes = readInput(input);
    if (!bytes) return failed(kBadInput, bytes.error());
    const Drawing drawing = drawingFromBytes(shown(input), bytes.value());
    if (!drawing.picture) return drawing.failure;
    QSize size;
    if (options.format != Format::Emf) {
        Expected<QSize> chosen = chooseSize(*drawing.picture->document(), options);
        if (!chosen) return failed(kBadSize, Text::tr("%1: %2").arg(shown(input), chosen.error()));
        size = chosen.value();
    }
    const auto cannotWrite = [&](const QString& why) {
        const QString where =
            output == QLatin1String("-") ? Text::tr("standard output") : QDir::toNativeSeparators(output);
        return failed(kCannotWrite, Text::tr("cannot write %1: %2").arg(where, why));
    };
    // A system error names the cause ("no space left on device") whatever the writer said.
    const auto cannotWriteFile = [&](const AtomicFile& out, const QString& why) {
        return cannotWrite(out.systemError() ? fileErrorText(out.systemError()) : why);
    };
    if (output == QLatin1String("-")) {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly)) return cannotWrite(out.errorString());
        if (Status written = writeDrawing(*drawing.picture, size, options, out, pngBandBytes);
            !written)
            return cannotWrite(written.error());
        if (!out.flush()) return cannotWrite(out.errorString());
    } else {
        // Written to a temporary file beside the target and renamed over it when complete.
        AtomicFile out(output);
        if (!out.open()) return cannotWriteFile(out, out.errorString());
        if (Status written = writeDrawing(*drawing.picture, size, options, out, pngBandBytes);
            !written) {
            out.cancel();
            return cannotWriteFile(out, written.error());
        }
        if (!out.commit()) return cannotWriteFile(out, out.errorString());
    }
    return Outcome{kOk, drawing.warning};
}

}  // namespace plume::conv
