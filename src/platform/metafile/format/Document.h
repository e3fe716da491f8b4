#pragma once

// A parsed metafile: the limits every metafile is held to, how bytes are recognised and
// parsed, and the immutable document that parsing gives.

#include <QByteArray>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <memory>
#include <variant>

namespace plume::metafile {

// Limits that hold for every metafile, however it arrives (file or clipboard).
inline constexpr qsizetype kMaxMetafileBytes = 256 * 1024 * 1024;
inline constexpr qsizetype kMaxRecords = 4'000'000;
inline constexpr int kMaxObjectSlots = 65'535;

// The largest raster Plume makes or decodes (a bitmap inside a metafile, a rendering, a
// thumbnail): 16,384 pixels a side and 128 megapixels, counted in millions as the message
// that refuses a larger one shows the number.
inline constexpr int kMaxRasterSide = 16'384;
inline constexpr qint64 kMaxRasterPixels = 128'000'000;

enum class Format { Emf, PlaceableWmf, RawWmf };

// Why bytes were refused, and where.
struct ParseError {
    qsizetype offset = 0;
    QString message;
};

class Document;
using DocumentPtr = std::shared_ptr<const Document>;

// Either a document or the reason it could not be read.
using ParseResult = std::variant<DocumentPtr, ParseError>;

// Recognises EMF, placeable WMF and raw WMF by content and parses them; bytes that are no
// metafile at all, or too large, give a ParseError. Damaged records follow one rule in both
// formats: a record whose size is impossible or runs past the data ends the picture there
// (what came before is kept, and truncationNote() says why); a record whose fields do not fit
// its own size, or make no sense, is skipped when the picture is drawn (counted in
// RenderStats::recordsSkipped) and the records after it are drawn, as GDI's playback goes on
// past a record it cannot play.
ParseResult parseMetafile(const QByteArray& bytes);

// True when the bytes begin like an EMF, a placeable WMF or a raw WMF.
bool looksLikeMetafile(const QByteArray& bytes);

class Document {
public:
    virtual ~Document() = default;

    virtual Format format() const = 0;

    // The picture's own size in pixels at the given resolution: an EMF's frame (0.01 mm), a
    // placeable WMF's bounds at its units per inch, a raw WMF's window extent.
    virtual QSizeF sizeAtDpi(double dpi) const = 0;

    // The frame in 0.01 mm units (EMF rclFrame; computed for WMF).
    virtual QRectF frame100thMm() const = 0;

    // The document as EMF bytes: an EMF's own bytes unchanged; a WMF converted through the
    // EMF writer.
    virtual QByteArray toEmf() const = 0;

    // The bytes the document was parsed from.
    virtual const QByteArray& bytes() const = 0;

    // Records that the parser accepted and what ended parsing early, if anything.
    virtual qsizetype recordCount() const = 0;
    virtual QString truncationNote() const = 0;
};

}  // namespace plume::metafile
