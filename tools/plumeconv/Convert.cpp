#include "Convert.h"

#include "platform/base/InputFile.h"
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

Expected<Written> makePdf(const Picture& picture, QSize size, const Options& options,
                          QIODevice& out) {
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
    render.timeLimitMs = options.timeLimitMs;
    const Written written{metafile::render(*picture.document(), painter, target, render).cutOff};
    if (!painter.end()) return Expected<Written>::failure(Text::tr("the PDF could not be made"));
    return Expected<Written>::success(written);
}

// The PDF is made in memory and written in one checked write: QPdfWriter does not look at
// what its device's writes return.
Expected<Written> writePdf(const Picture& picture, QSize size, const Options& options,
                           QIODevice& out) {
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    Expected<Written> made = makePdf(picture, size, options, buffer);
    if (!made) return made;
    if (out.write(pdf) != pdf.size()) return Expected<Written>::failure(out.errorString());
    return made;
}

}  // namespace

Expected<QByteArray> readInput(const QString& path, int idleMs) {
    const bool isStdin = path == QLatin1String("-");
    InputRules rules;
    rules.maxBytes = kMaxPictureFileBytes;
    // Standard input waits for its writer as long as it keeps the pipe open, as every filter
    // does; a named pipe or device, which may never have a writer, only so long.
    rules.idleMs = isStdin ? -1 : idleMs;
    InputRead read = isStdin ? readStandardInput(rules) : readInputFile(path, rules);
    const auto failure = [](const QString& message) {
        return Expected<QByteArray>::failure(message);
    };
    switch (read.failure) {
        case InputFailure::None:
            return Expected<QByteArray>::success(std::move(read.bytes));
        case InputFailure::CannotOpen:
            return failure(Text::tr("cannot open %1: %2").arg(shown(path), read.systemError));
        case InputFailure::Folder:
            return failure(Text::tr("%1 is a folder, not a file").arg(shown(path)));
        case InputFailure::NotRegular:  // not asked for: every kind of file is read
        case InputFailure::CannotRead:
            break;
        case InputFailure::TooLarge:
            return failure(Text::tr("%1 is larger than %2 MB, the limit")
                               .arg(shown(path))
                               .arg(kMaxPictureFileBytes / (1024 * 1024)));
        case InputFailure::Silent:
            return failure(Text::tr("nothing came from %1 for %2 seconds")
                               .arg(shown(path))
                               .arg(idleMs / 1000.0));
        case InputFailure::Closed:
            return failure(Text::tr("standard input is closed"));
    }
    return failure(Text::tr("cannot read %1: %2").arg(shown(path), read.systemError));
}

QString cutShortWarning(const QString& shownName, int timeLimitMs) {
    return Text::tr(
               "%1 is cut short: drawing it took longer than %2 seconds, and what was "
               "drawn is written")
        .arg(shownName)
        .arg(timeLimitMs / 1000.0);
}

Outcome outOfMemory(const QString& shownName) {
    return Outcome{kBadSize, Text::tr("%1: %2").arg(shownName, memoryRanOut())};
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
    for (const auto& [name, side] :
         {std::pair{"--width", options.width}, std::pair{"--height", options.height}}) {
        if (side && *side <= 0)
            return Expected<QSize>::failure(
                Text::tr("%1 needs a whole number of pixels above 0: %2").arg(name).arg(*side));
    }
    const double dpi = options.dpi * options.scale;
    const QSizeF exact = document.sizeAtDpi(dpi);
    const bool frameEmpty = !(std::isfinite(exact.width()) && std::isfinite(exact.height()) &&
                              exact.width() > 0 && exact.height() > 0);
    const QSize own = ownPixelSize(document, dpi);
    QSize size = own;
    if (options.width && options.height) {
        size = QSize(*options.width, *options.height);
    } else if (options.width || options.height) {
        if (frameEmpty)
            return Expected<QSize>::failure(
                Text::tr("the frame is empty, so there are no proportions to keep"));
        const double ratio = exact.height() / exact.width();
        const auto side = [](double v) { return int(std::clamp(std::round(v), 1.0, 1e9)); };
        size = options.width ? QSize(*options.width, side(*options.width * ratio))
                             : QSize(side(*options.height / ratio), *options.height);
    } else if (frameEmpty) {
        return Expected<QSize>::failure(
            Text::tr("the frame is empty (%1 x %2 pixels); give --width and --height")
                .arg(own.width())
                .arg(own.height()));
    } else if (own.isEmpty()) {
        // A frame so small, or a --dpi or --scale so low, that a side rounds to no pixel.
        return Expected<QSize>::failure(
            Text::tr("at %1 dots per inch the drawing is %2 x %3 pixels, less than one pixel a "
                     "side; give a larger --dpi or --scale, or --width and --height")
                .arg(dpi, 0, 'g', 4)
                .arg(exact.width(), 0, 'g', 3)
                .arg(exact.height(), 0, 'g', 3));
    }
    // The own size is held at a billion pixels a side; beyond, it is shown as it is.
    const auto shownSide = [&](int side, double exactSide) {
        return size == own && side >= 1'000'000'000 ? QString::number(exactSide, 'g', 3)
                                                    : QString::number(side);
    };
    if (!checkRasterSize(size))
        return Expected<QSize>::failure(
            Text::tr("the size %1 x %2 is too large (at most %3 pixels a side, %4 million in all)")
                .arg(shownSide(size.width(), exact.width()),
                     shownSide(size.height(), exact.height()))
                .arg(kMaxRasterSide)
                .arg(kMaxRasterPixels / 1'000'000));
    return Expected<QSize>::success(size);
}

Expected<Written> writeDrawing(const Picture& picture, QSize size, const Options& options,
                               QIODevice& out, qint64 pngBandBytes) {
    using Failure = Expected<Written>;
    const metafile::Document& document = *picture.document();
    SvgRendition svg;
    QByteArray bytes;
    switch (options.format) {
        case Format::Png: {
            const Expected<PngWritten> png = writePictureAsPng(
                picture, size, out, pngBandBytes, options.timeLimitMs, options.drawEmfPlus,
                options.background.value_or(QColor(Qt::white)));
            if (!png) return Failure::failure(png.error());
            return Expected<Written>::success(Written{png.value().cutOff});
        }
        case Format::Pdf:
            return writePdf(picture, size, options, out);
        case Format::Svg:
            // The same rendition as the clipboard's: clipping, hatched and pattern fills and
            // raster operations kept.
            svg = svgRenditionOf(document, size, statedDpi(options), options.timeLimitMs,
                                 options.drawEmfPlus);
            bytes = std::move(svg.svg);
            if (bytes.isEmpty()) return Failure::failure(Text::tr("the SVG could not be made"));
            if (options.background) bytes = withGround(bytes, *options.background);
            break;
        case Format::Emf:
            bytes = document.toEmf();
            if (bytes.isEmpty())
                return Failure::failure(Text::tr("the drawing could not be converted to EMF"));
            break;
    }
    if (out.write(bytes) != bytes.size()) return Failure::failure(out.errorString());
    return Expected<Written>::success(Written{svg.cutOff});
}

namespace {

Outcome convert(const Options& options, const QString& input, const QString& output,
                qint64 pngBandBytes) {
    // Nothing is drawn for an output that cannot take it.
    if (output == QLatin1String("-") && standardStreamsAtStart().outputClosed)
        return failed(kCannotWrite, Text::tr("standard output is closed"));
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
    Expected<Written> written = Expected<Written>::success({});
    // A system error names the cause ("no space left on device") whatever the writer said.
    const auto cannotWriteFile = [&](const AtomicFile& out, const QString& why) {
        return cannotWrite(out.systemError() ? fileErrorText(out.systemError()) : why);
    };
    if (output == QLatin1String("-")) {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly)) return cannotWrite(out.errorString());
        written = writeDrawing(*drawing.picture, size, options, out, pngBandBytes);
        if (!written) return cannotWrite(written.error());
        if (!out.flush()) return cannotWrite(out.errorString());
    } else {
        // Written to a temporary file beside the target and renamed over it when complete.
        AtomicFile out(output);
        if (!out.open()) return cannotWriteFile(out, out.errorString());
        written = writeDrawing(*drawing.picture, size, options, out, pngBandBytes);
        if (!written) {
            out.cancel();
            return cannotWriteFile(out, written.error());
        }
        if (!out.commit()) return cannotWriteFile(out, out.errorString());
    }
    if (!written.value().cutOff) return Outcome{kOk, drawing.warning};
    const QString cut = cutShortWarning(shown(input), options.timeLimitMs);
    return Outcome{kCutShort, drawing.warning.isEmpty() ? cut : drawing.warning + u'\n' + cut};
}

}  // namespace

Outcome convertOne(const Options& options, const QString& input, const QString& output,
                   qint64 pngBandBytes) {
    try {
        return convert(options, input, output, pngBandBytes);
    } catch (const std::bad_alloc&) {
        return outOfMemory(shown(input));
    }
}

}  // namespace plume::conv
