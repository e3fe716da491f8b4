#pragma once

// The WMF reader: placeable (Aldus) and raw Windows metafiles (MS-WMF) turned into validated
// records, and those records played as calls on a GdiSink. Every read is bounds-checked; a
// record that does not fit the data ends the picture there and what came before is kept; a
// record whose parameters do not fit the record is skipped (see parseMetafile).

#include "platform/metafile/format/GdiSink.h"
#include "platform/metafile/format/Document.h"
#include "platform/metafile/format/PlayableDocument.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <variant>
#include <vector>

namespace plume::metafile {

// META_PLACEABLE (MS-WMF 2.3.2.3) and META_HEADER (2.3.2.2) as far as they matter.
struct WmfHeader {
    bool placeable = false;
    Rect bounds;                  // placeable bounding box in logical units
    uint16_t unitsPerInch = 0;    // placeable only
    bool checksumMatches = true;  // placeable only; a mismatch is tolerated
    uint16_t version = 0;
    uint16_t objectCount = 0;  // as the header claims; the table grows as records need
    qsizetype recordsOffset = 0;
};

// One record that passed validation: its place in the bytes and its function number.
struct WmfRecord {
    qsizetype offset = 0;
    qsizetype size = 0;  // bytes, including the 6-byte record header
    uint16_t function = 0;
};

// What a first pass over the records learnt besides their validity.
struct WmfScan {
    std::optional<Point> windowOrg;   // the first META_SETWINDOWORG (see ScanSink)
    std::optional<Size> windowExt;    // the first META_SETWINDOWEXT (see ScanSink)
    std::optional<MapMode> mapMode;   // the first META_SETMAPMODE
    std::optional<Rect> drawnBounds;  // logical coordinates the drawing records touch
    // An EMF carried in META_ESCAPE comments (MS-WMF 2.3.6.1, "WMFC"), as LibreOffice and
    // Windows' own WMF conversion embed it; empty when absent or incomplete.
    QByteArray embeddedEmf;
    // Whether that EMF came whole: every piece in place, and the checksum of its first piece
    // makes the 16-bit words of the WMF, header to META_EOF, add up to zero, as Windows
    // writes it. The player draws a whole EMF instead of the WMF's own records.
    bool embeddedEmfWhole = false;
};

struct WmfFile {
    WmfHeader header;
    std::vector<WmfRecord> records;  // in order, up to and without META_EOF
    WmfScan scan;
    QString truncationNote;  // why reading stopped before META_EOF, if it did
};

// Reads and validates a WMF. Bytes that are no WMF at all give a ParseError. The bytes are no
// larger than kMaxMetafileBytes: parseMetafile refuses larger ones first.
std::variant<WmfFile, ParseError> readWmf(std::span<const uint8_t> bytes);

struct WmfPlayOptions {
    // The picture's frame in 0.01 mm when it is known from elsewhere (the size that clipboard
    // format 3 hands over with a raw WMF); otherwise it comes from the file.
    std::optional<Rect> frame;
    // What stops the playback early, keeping what was drawn.
    PlaybackControl control;
};

// Plays the validated records of `file` (read from `bytes`) on the sink, between begin()
// and end(). Before the records it maps the picture's box (placeable bounds, window or drawn
// bounds) onto itself in MM_ANISOTROPIC, as an application playing a WMF does, so that the
// file's own window records scale the drawing onto that box.
PlaybackStats playWmf(std::span<const uint8_t> bytes, const WmfFile& file, GdiSink& sink,
                      const WmfPlayOptions& options = {});

// The picture information the sink's begin() receives: the placeable bounds, or for a raw
// WMF its window (or the drawn bounds when it sets none), with a frame in 0.01 mm: the one
// given, else that of an embedded EMF, else the box at its units per inch (for a raw WMF 96,
// or fewer units to the inch where that keeps the larger side within 1,024 pixels).
// The reference device is chosen so that one device unit is one logical unit of that box.
PictureInfo wmfPictureInfo(const WmfFile& file, std::optional<Rect> frame = {});

}  // namespace plume::metafile
