#pragma once

// EmfReader: EMF bytes -> a validated header and an index of records. Parsing checks the
// header (EMR_HEADER, MS-EMF 2.3.4.2) and walks the record chain once (MS-EMF 2.3: each record
// has a type and a size that is a multiple of 4, at least 8 and inside the data); a record that
// does not fit ends the picture there. Playing turns each indexed record into GdiSink calls,
// reading every field through a BoundedReader.

#include "platform/metafile/format/GdiSink.h"
#include "platform/metafile/format/Document.h"
#include "platform/metafile/format/MetafileFormat.h"
#include "platform/metafile/format/PlayableDocument.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

namespace plume::metafile {

// One record of the chain: where it lies in the bytes. Kept small so that a picture of a
// million records indexes into 12 MB.
struct EmfRecordRef {
    uint32_t type = 0;
    uint32_t offset = 0;
    uint32_t size = 0;
};

struct EmfHeader {
    Rect bounds;
    Rect frame;
    uint32_t version = 0;
    uint32_t declaredBytes = 0;
    uint32_t declaredRecords = 0;
    uint16_t handles = 0;
    Size devicePixels;
    Size deviceMillimeters;
    Size deviceMicrometers;
};

struct EmfFile {
    QByteArray bytes;  // shared with the caller (implicitly shared, no copy)
    EmfHeader header;
    std::vector<EmfRecordRef> records;  // the header record first, EMR_EOF last when present
    QString truncationNote;             // why the chain ended before EMR_EOF, if it did
};

// Checks the header and indexes the records. A ParseError when the bytes are no EMF or the
// header is broken; a chain that breaks later ends the picture there with a truncation note.
// The bytes are no larger than kMaxMetafileBytes: parseMetafile refuses larger ones first.
std::variant<EmfFile, ParseError> readEmf(const QByteArray& bytes);

// Decodes every record after the header and calls the sink: begin() with the header's picture
// information, one or more calls per record, end(). Records whose fields do not fit their size
// are skipped and counted.
// The picture's information from its header, as the sink's begin() takes it.
PictureInfo emfPictureInfo(const EmfFile& file);

PlaybackStats playEmf(const EmfFile& file, GdiSink& sink, const PlaybackControl& control = {});

}  // namespace plume::metafile
