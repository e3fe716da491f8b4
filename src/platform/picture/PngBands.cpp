#include "platform/picture/PngBands.h"

#include <png.h>
#include <QIODevice>
#include <QPainter>
#include <algorithm>
#include <csetjmp>
#include <vector>

namespace plume {

namespace {

// What the encoder's callbacks reach: the device, and the first write failure.
struct PngSink {
    QIODevice* out = nullptr;
    QString error;
};

void writeData(png_structp png, png_bytep data, png_size_t length) {
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    if (sink->out->write(reinterpret_cast<const char*>(data), qint64(length)) != qint64(length)) {
        sink->error = sink->out->errorString();
        png_error(png, "write failed");
    }
}

void flushData(png_structp) {}

void onError(png_structp png, png_const_charp message) {
    auto* sink = static_cast<PngSink*>(png_get_error_ptr(png));
    if (sink->error.isEmpty()) sink->error = QString::fromUtf8(message);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// Draws one band: rows [top, top + band.height()) of the picture stretched to `size`; true
// when the time limit cut it.
bool drawBand(QImage& band, const Picture& picture, QSize size, int top, int timeLimitMs,
              bool drawEmfPlus, const QColor& background) {
    band.fill(background);
    QPainter painter(&band);
    painter.translate(0, -top);
    const QRectF target(QPointF(0, 0), QSizeF(size));
    if (const auto& document = picture.document()) {
        metafile::RenderOptions options;
        options.timeLimitMs = std::max(1, timeLimitMs);
        options.drawEmfPlus = drawEmfPlus;
        return metafile::render(*document, painter, target, options).cutOff;
    }
    paintPicture(painter, picture, target);
    return false;
}

// The encoding loop. Kept free of objects with destructors between setjmp and the calls that
// may jump back (libpng reports errors by longjmp), so a failure skips no clean-up: the band,
// the sink and what was drawn belong to the caller.
bool encode(png_structp png, png_infop info, QImage& band, const Picture& picture, QSize size,
            int timeLimitMs, bool drawEmfPlus, const QColor& background,
            std::vector<png_text>& text, PngWritten& written) {
    if (setjmp(png_jmpbuf(png))) return false;
    const bool alpha = band.hasAlphaChannel();
    png_set_IHDR(png, info, png_uint_32(size.width()), png_uint_32(size.height()), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // 96 DPI, as Qt's own writer states for a bitmap of default resolution.
    png_set_pHYs(png, info, 3780, 3780, PNG_RESOLUTION_METER);
    if (!text.empty()) png_set_text(png, info, text.data(), int(text.size()));
    png_set_compression_level(png, 1);
    // Drawings are mostly flat colour: the "up" filter alone packs them as well as libpng's
    // trial of every filter on every row, in half the time.
    png_set_filter(png, 0, PNG_FILTER_UP);
    png_write_info(png, info);
    // QImage::Format_RGB32 keeps each pixel as the 32-bit value 0xffRRGGBB: in memory B, G, R
    // and a filler byte on little-endian machines, filler, R, G, B on big-endian ones.
    // Format_ARGB32 (not premultiplied, as PNG wants) has the alpha where the filler is.
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        png_set_bgr(png);
        if (!alpha) png_set_filler(png, 0, PNG_FILLER_AFTER);
    } else {
        if (alpha)
            png_set_swap_alpha(png);
        else
            png_set_filler(png, 0, PNG_FILLER_BEFORE);
    }
    // Every band is drawn under the same limit: the engine's limit counts the records' work,
    // so each band stops at the same record and a cut picture shows no seams. The whole then
    // costs at most the limit once a band, and bands are few (the raster over the band bytes).
    for (int top = 0; top < size.height(); top += band.height()) {
        const int rows = std::min(band.height(), size.height() - top);
        if (drawBand(band, picture, size, top, timeLimitMs, drawEmfPlus, background))
            written.cutOff = true;
        for (int y = 0; y < rows; ++y)
            png_write_row(png, const_cast<png_bytep>(band.constScanLine(y)));
    }
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

Expected<PngWritten> writePictureAsPng(const Picture& picture, QSize size, QIODevice& out,
                                       qint64 bandBytes, int timeLimitMs, bool drawEmfPlus,
                                       const QColor& background, const PngText& text) {
    using Failure = Expected<PngWritten>;
    if (Status allowed = checkRasterSize(size); !allowed) return Failure::failure(allowed.error());
    const qint64 rowBytes = qint64(size.width()) * 4;
    const int bandRows = int(std::clamp<qint64>(bandBytes / rowBytes, 1, size.height()));
    QImage band(size.width(), bandRows,
                background.alpha() == 255 ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    if (band.isNull())
        return Failure::failure(QStringLiteral("画像のメモリを確保できません (%1 x %2)")
                                    .arg(size.width())
                                    .arg(bandRows));

    PngSink sink;
    sink.out = &out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, onError, onWarning);
    if (!png) return Failure::failure(QStringLiteral("PNG encoder could not start"));
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return Failure::failure(QStringLiteral("PNG encoder could not start"));
    }
    png_set_write_fn(png, &sink, writeData, flushData);
    // libpng keeps pointers into `text` until the header is written.
    std::vector<png_text> chunks;
    for (const auto& [key, value] : text) {
        png_text chunk{};
        chunk.compression = PNG_TEXT_COMPRESSION_NONE;
        chunk.key = const_cast<char*>(key.constData());
        chunk.text = const_cast<char*>(value.constData());
        chunk.text_length = size_t(value.size());
        chunks.push_back(chunk);
    }
    PngWritten written;
    bool encoded = false;
    try {
        encoded = encode(png, info, band, picture, size, timeLimitMs, drawEmfPlus, background,
                         chunks, written);
    } catch (...) {
        // Memory that ran out while drawing a band: the encoder goes, the caller hears of it.
        png_destroy_write_struct(&png, &info);
        throw;
    }
    png_destroy_write_struct(&png, &info);
    if (!encoded)
        return Failure::failure(QStringLiteral("PNG encoding failed: %1").arg(sink.error));
    return Expected<PngWritten>::success(written);
}

}  // namespace plume
