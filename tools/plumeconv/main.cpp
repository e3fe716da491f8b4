// plumeconv IN OUT [--width W] [--height H] [--no-emfplus]
//
// Renders a metafile (EMF, placeable or raw WMF) to PNG, SVG or PDF, or converts it to EMF,
// choosing by OUT's ending. Without a size the picture keeps its own size (its frame at
// 96 DPI); with one side given the other follows the picture's proportions. --no-emfplus
// draws an EMF from its GDI records only, leaving out its EMF+ records (what readers without
// EMF+ show; PNG, SVG and PDF output). Errors are one
// line on stderr and a non-zero exit status:
//   2  wrong arguments or an unknown ending
//   3  the input cannot be read or is no metafile
//   4  the size is refused (empty, or beyond the raster limits)
//   5  the output cannot be written

#include "platform/picture/SvgRendition.h"
#include "platform/picture/Picture.h"
#include "platform/picture/PictureIo.h"
#include "platform/picture/PngBands.h"

#include <QBuffer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QtEndian>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <variant>

namespace {

using namespace plume;

constexpr double kOwnSizeDpi = 96.0;

enum Exit { kOk = 0, kUsage = 2, kBadInput = 3, kBadSize = 4, kCannotWrite = 5 };

enum class Output { Png, Svg, Pdf, Emf };

struct Arguments {
    QString input;
    QString output;
    std::optional<int> width;
    std::optional<int> height;
    bool drawEmfPlus = true;
};

int fail(int code, const QString& message) {
    std::fprintf(stderr, "plumeconv: %s\n", qUtf8Printable(message));
    return code;
}

std::optional<int> parseSide(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

// Reads the command line; the failure text says what is wrong.
Expected<Arguments> parseArguments(const QStringList& args) {
    Arguments parsed;
    QStringList positional;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        QString name = arg;
        QString value;
        const bool isOption = arg.startsWith(QLatin1String("--"));
        if (isOption && arg.contains(u'=')) {
            name = arg.section(u'=', 0, 0);
            value = arg.section(u'=', 1);
        } else if (isOption &&
                   (arg == QLatin1String("--width") || arg == QLatin1String("--height"))) {
            if (i + 1 >= args.size())
                return Expected<Arguments>::failure(QStringLiteral("%1 needs a number").arg(arg));
            value = args[++i];
        }
        if (!isOption) {
            positional.append(arg);
            continue;
        }
        if (arg == QLatin1String("--no-emfplus")) {
            parsed.drawEmfPlus = false;
            continue;
        }
        std::optional<int>* side = name == QLatin1String("--width")    ? &parsed.width
                                   : name == QLatin1String("--height") ? &parsed.height
                                                                       : nullptr;
        if (!side)
            return Expected<Arguments>::failure(QStringLiteral("unknown option %1").arg(arg));
        *side = parseSide(value);
        if (!*side)
            return Expected<Arguments>::failure(
                QStringLiteral("%1 is no whole number: %2").arg(name, value));
    }
    if (positional.size() != 2)
        return Expected<Arguments>::failure(
            QStringLiteral("usage: plumeconv IN OUT [--width W] [--height H] [--no-emfplus]"));
    parsed.input = positional[0];
    parsed.output = positional[1];
    return Expected<Arguments>::success(parsed);
}

std::optional<Output> outputKind(const QString& path) {
    const QString ending = QFileInfo(path).suffix().toLower();
    if (ending == QLatin1String("png")) return Output::Png;
    if (ending == QLatin1String("svg")) return Output::Svg;
    if (ending == QLatin1String("pdf")) return Output::Pdf;
    if (ending == QLatin1String("emf")) return Output::Emf;
    return std::nullopt;
}

// The size to render at: own size, the one side given with the proportions kept, or both.
Expected<QSize> targetSize(QSize own, std::optional<int> width, std::optional<int> height) {
    QSize size = own;
    if (width && height) {
        size = QSize(*width, *height);
    } else if (width || height) {
        if (own.isEmpty())
            return Expected<QSize>::failure(QStringLiteral("the picture has no size to keep"));
        const double ratio = double(own.height()) / own.width();
        const auto side = [](double v) { return int(std::max(1.0, std::round(v))); };
        size = width ? QSize(*width, side(std::min(*width * ratio, 1e9)))
                     : QSize(side(std::min(*height / ratio, 1e9)), *height);
    }
    if (Status allowed = checkRasterSize(size); !allowed)
        return Expected<QSize>::failure(allowed.error());
    return Expected<QSize>::success(size);
}

Expected<QByteArray> renderTo(Output kind, const Picture& picture, QSize size,
                              bool drawEmfPlus) {
    const metafile::Document& document = *picture.document();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QRectF target(0, 0, size.width(), size.height());
    switch (kind) {
        case Output::Png:
            // Written by run() straight to the file, a band of rows at a time.
            break;
        case Output::Svg:
            // The same SVG rendition as the clipboard's: clipping, hatched and pattern fills
            // and raster operations kept, within the converter's own time limit.
            bytes = svgRenditionOf(document, size, kOwnSizeDpi,
                                   metafile::RenderOptions{}.timeLimitMs);
            if (bytes.isEmpty())
                return Expected<QByteArray>::failure(QStringLiteral("SVG rendition failed"));
            break;
        case Output::Pdf: {
            QPdfWriter writer(&buffer);
            writer.setResolution(int(kOwnSizeDpi));
            writer.setPageMargins(QMarginsF(0, 0, 0, 0));
            writer.setPageSize(QPageSize(QSizeF(size) * 72.0 / kOwnSizeDpi, QPageSize::Point,
                                         QString(), QPageSize::ExactMatch));
            QPainter painter(&writer);
            metafile::RenderOptions options;
            options.drawEmfPlus = drawEmfPlus;
            metafile::render(document, painter, target, options);
            painter.end();
            break;
        }
        case Output::Emf:
            bytes = document.toEmf();
            if (bytes.isEmpty())
                return Expected<QByteArray>::failure(QStringLiteral("conversion to EMF failed"));
            break;
    }
    return Expected<QByteArray>::success(bytes);
}

// An EMF's bytes without its EMF+ comments: its GDI records alone, which is what readers
// without EMF+ draw (the SVG rendition draws a document whole, so --no-emfplus gives it
// these). The header's size and record count follow; a WMF, or a tail whose record sizes do
// not hold, is kept as it is for the reader to judge.
QByteArray withoutEmfPlus(const QByteArray& bytes) {
    const auto u32 = [&](qsizetype at) {
        return qFromLittleEndian<uint32_t>(bytes.constData() + at);
    };
    constexpr uint32_t kEmfSignature = 0x464D4520;  // " EMF"
    if (bytes.size() < 88 || u32(0) != 1 || u32(40) != kEmfSignature) return bytes;
    QByteArray out;
    uint32_t records = 0;
    qsizetype at = 0;
    while (bytes.size() - at >= 8) {
        const uint32_t type = u32(at), size = u32(at + 4);
        if (size < 8 || size % 4 != 0 || size > bytes.size() - at) break;
        const bool emfPlus = type == 70 && size >= 16 && bytes.mid(at + 12, 4) == "EMF+";
        if (!emfPlus) {
            out += bytes.mid(at, size);
            ++records;
        }
        at += size;
    }
    out += bytes.mid(at);
    if (out.size() < 88) return bytes;
    qToLittleEndian(uint32_t(out.size()), out.data() + 48);
    qToLittleEndian(records, out.data() + 52);
    return out;
}

// The SVG rendition of the GDI records of a picture (--no-emfplus).
Expected<QByteArray> gdiOnlySvg(const metafile::Document& document, QSize size) {
    const metafile::ParseResult parsed =
        metafile::parseMetafile(withoutEmfPlus(document.bytes()));
    const auto* gdiOnly = std::get_if<metafile::DocumentPtr>(&parsed);
    const int timeLimitMs = metafile::RenderOptions{}.timeLimitMs;
    const QByteArray bytes =
        gdiOnly ? svgRenditionOf(**gdiOnly, size, kOwnSizeDpi, timeLimitMs) : QByteArray();
    if (bytes.isEmpty())
        return Expected<QByteArray>::failure(QStringLiteral("SVG rendition failed"));
    return Expected<QByteArray>::success(bytes);
}

int run(const Arguments& args, Output kind) {
    Expected<PicturePtr> loaded = loadPicture(args.input);
    if (!loaded) return fail(kBadInput, loaded.error());
    const PicturePtr& picture = loaded.value();
    if (!picture->isVector())
        return fail(kBadInput, QStringLiteral("not an EMF or WMF file: %1").arg(args.input));
    const metafile::Document& document = *picture->document();

    QSize size;
    if (kind != Output::Emf) {
        Expected<QSize> chosen =
            targetSize(ownPixelSize(document, kOwnSizeDpi), args.width, args.height);
        if (!chosen) return fail(kBadSize, chosen.error());
        size = chosen.value();
    }
    QSaveFile out(args.output);
    const auto cannotWrite = [&] {
        return fail(kCannotWrite,
                    QStringLiteral("cannot write %1: %2").arg(args.output, out.errorString()));
    };
    if (!out.open(QIODevice::WriteOnly)) return cannotWrite();
    if (kind == Output::Png) {
        // Large pictures are drawn and encoded in bands, so memory stays small at any size.
        if (Status written = writePictureAsPng(*picture, size, out, kPngBandBytes,
                                              metafile::RenderOptions{}.timeLimitMs,
                                              args.drawEmfPlus);
            !written) {
            const bool writeFailed = out.error() != QFileDevice::NoError;
            const int code = writeFailed ? cannotWrite() : fail(kBadInput, written.error());
            out.cancelWriting();
            return code;
        }
    } else {
        Expected<QByteArray> rendered = kind == Output::Svg && !args.drawEmfPlus
                                             ? gdiOnlySvg(document, size)
                                             : renderTo(kind, *picture, size, args.drawEmfPlus);
        if (!rendered) return fail(kBadInput, rendered.error());
        if (out.write(rendered.value()) != rendered.value().size()) return cannotWrite();
    }
    if (!out.commit()) return cannotWrite();
    return kOk;
}

}  // namespace

int main(int argc, char** argv) {
    // Qt's own notices (a missing runtime folder, a font fallback) are no errors of the
    // conversion; they would break the one-line error contract, so only criticals pass.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "plumeconv: %s\n", qUtf8Printable(text));
    });
    // A converter needs no display: unless the caller chose a platform, draw off screen, which
    // also spares the connection to a display server at start-up.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    Expected<Arguments> args = parseArguments(QCoreApplication::arguments());
    if (!args) return fail(kUsage, args.error());
    const std::optional<Output> kind = outputKind(args.value().output);
    if (!kind)
        return fail(kUsage,
                    QStringLiteral("unknown output ending (use .png, .svg, .pdf or .emf): %1")
                        .arg(args.value().output));
    if (*kind == Output::Emf && (args.value().width || args.value().height))
        return fail(kUsage, QStringLiteral("--width and --height do not apply to .emf output"));
    if (!args.value().drawEmfPlus && *kind == Output::Emf)
        return fail(kUsage, QStringLiteral("--no-emfplus applies to .png, .svg and .pdf output"));
    const int code = run(args.value(), *kind);
    // The output is committed and the errors written: leave without tearing down the font
    // database and the rest of Qt, which would take a good part of a small conversion's time.
    std::fflush(nullptr);
    std::_Exit(code);
}
