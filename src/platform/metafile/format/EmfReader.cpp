#include "platform/metafile/format/EmfReader.h"

#include "platform/metafile/format/BoundedReader.h"
#include "platform/metafile/format/EmfDecoder.h"

#include <algorithm>

namespace plume::metafile {

namespace {

// Where the header's fixed fields end (MS-EMF 2.3.4.2). The header's size alone does not
// tell: the description string and the pixel format descriptor follow the fixed part inside
// the record, and many writers put the description at byte 88 or 100 of a longer header, so
// that the bytes of the extensions are text. A variable part that starts at 88 or beyond and
// lies inside the record ends the fixed part there: from 100 on the header holds extension 1
// (cbPixelFormat, offPixelFormat, bOpenGL), from 108 on extension 2 (szlMicrometers).
uint32_t headerFixedPart(BoundedReader in, uint32_t headerSize, uint32_t descriptionChars,
                         uint32_t descriptionAt) {
    uint32_t fixedEnd = headerSize;
    const auto endsFixedPart = [&](uint32_t at, uint64_t bytes) {
        if (bytes > 0 && at >= kEmfMinHeaderSize && at + bytes <= headerSize)
            fixedEnd = std::min(fixedEnd, at);
    };
    endsFixedPart(descriptionAt, uint64_t(descriptionChars) * 2);
    if (fixedEnd >= 100) {
        in.seek(88);
        const uint32_t pixelFormatBytes = in.u32();
        const uint32_t pixelFormatAt = in.u32();
        if (in.ok()) endsFixedPart(pixelFormatAt, pixelFormatBytes);
    }
    return fixedEnd;
}

}  // namespace

std::variant<EmfFile, ParseError> readEmf(const QByteArray& bytes) {
    if (!looksLikeEmf(byteSpan(bytes)))
        return ParseError{0, QStringLiteral("This is no EMF file.")};

    EmfFile file;
    file.bytes = bytes;
    BoundedReader in(bytes);
    in.skip(4);
    const uint32_t headerSize = in.u32();
    EmfHeader& h = file.header;
    h.bounds = in.rectL();
    h.frame = in.rectL();
    in.u32();  // signature, checked above
    h.version = in.u32();
    h.declaredBytes = in.u32();
    h.declaredRecords = in.u32();
    h.handles = in.u16();
    in.u16();
    const uint32_t descriptionChars = in.u32();
    const uint32_t descriptionAt = in.u32();
    in.u32();  // nPalEntries
    h.devicePixels = in.sizeL();
    h.deviceMillimeters = in.sizeL();
    if (!in.ok() || headerSize < kEmfMinHeaderSize || headerSize % 4 != 0 ||
        headerSize > size_t(bytes.size()))
        return ParseError{4, QStringLiteral("The EMF header has an impossible size.")};
    // The micrometre size (header extension 2) refines the millimetre one when the header
    // really holds it.
    if (headerFixedPart(in, headerSize, descriptionChars, descriptionAt) >= 108) {
        in.seek(100);
        h.deviceMicrometers = in.sizeL();
        if (!in.ok()) h.deviceMicrometers = {};
    }

    // Walk the chain within the smaller of the data and the size the header declares (a
    // declared size below the header itself is ignored as broken).
    size_t end = size_t(bytes.size());
    if (h.declaredBytes >= headerSize && h.declaredBytes < end) end = h.declaredBytes;
    file.records.push_back({uint32_t(EmfRecordType::Header), 0, headerSize});
    size_t offset = headerSize;
    bool sawEof = false;
    while (offset < end) {
        if (qsizetype(file.records.size()) >= kMaxRecords) {
            file.truncationNote = QStringLiteral(
                "The picture has more than 4 million records; the rest is left out.");
            break;
        }
        if (end - offset < kEmfRecordHeaderSize) {
            file.truncationNote =
                QStringLiteral("The last record at offset %1 is cut short.").arg(offset);
            break;
        }
        BoundedReader rec(byteSpan(bytes).subspan(offset, kEmfRecordHeaderSize));
        const uint32_t type = rec.u32();
        const uint32_t size = rec.u32();
        if (size < kEmfRecordHeaderSize || size % 4 != 0 || size > end - offset) {
            file.truncationNote = QStringLiteral(
                                      "The record at offset %1 has an impossible size "
                                      "(%2 bytes); the picture ends there.")
                                      .arg(offset)
                                      .arg(size);
            break;
        }
        if (type == uint32_t(EmfRecordType::Header)) {
            file.truncationNote =
                QStringLiteral("A second header at offset %1 ends the picture.").arg(offset);
            break;
        }
        file.records.push_back({type, uint32_t(offset), size});
        offset += size;
        if (type == uint32_t(EmfRecordType::Eof)) {
            sawEof = true;
            break;
        }
    }
    if (!sawEof && file.truncationNote.isEmpty())
        file.truncationNote = QStringLiteral("The picture ends without an end-of-file record.");
    return file;
}

PictureInfo emfPictureInfo(const EmfFile& file) {
    PictureInfo info;
    info.bounds = file.header.bounds;
    info.frame = file.header.frame;
    info.devicePixels = file.header.devicePixels;
    info.deviceMillimeters = file.header.deviceMillimeters;
    info.deviceMicrometers = file.header.deviceMicrometers;
    return info;
}

PlaybackStats playEmf(const EmfFile& file, GdiSink& sink, const PlaybackControl& control) {
    sink.begin(emfPictureInfo(file));

    EmfDecoder decoder(sink);
    const auto all = byteSpan(file.bytes);
    // The header record is the picture information above, not one to play.
    const std::span<const EmfRecordRef> records =
        file.records.empty() ? std::span<const EmfRecordRef>() : std::span(file.records).subspan(1);
    const PlaybackStats stats = playRecords(
        records.size(), control,
        [&](size_t i) {
            return decoder.play(records[i].type, all.subspan(records[i].offset, records[i].size));
        },
        [&](size_t i) { return records[i].size; });
    sink.end();
    return stats;
}

}  // namespace plume::metafile
