#pragma once

// EmfPlusReader: the EMF+ records inside an EMF's "EMF+" comments (MS-EMFPLUS 2.3), read
// through a BoundedReader into typed records (EmfPlusRecords.h). Every count is checked
// against the bytes that hold it before anything is allocated for it; objects split across
// continuation records are assembled part by part, up to kMaxObjectBytes.

#include "platform/metafile/format/EmfPlusRecords.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace plume::metafile {
class BoundedReader;
}

namespace plume::metafile::emfplus {

// One EMF+ record as it lies in a comment: type, flags and its data.
struct RawRecord {
    uint16_t type = 0;
    uint16_t flags = 0;
    std::span<const uint8_t> data;
};

// The EMF+ records of one EMR_COMMENT record (its whole bytes, EMR header included): empty
// when the comment is no EMF+ comment.
std::span<const uint8_t> emfPlusPayload(std::span<const uint8_t> emrComment);

// Splits an EMF+ payload into records, calling each(RawRecord) in order. A record whose size
// is impossible (under 12 bytes, not a multiple of 4, beyond the comment, or smaller than its
// data) ends the comment there: the function then returns false.
template <typename Each>
bool forEachRecord(std::span<const uint8_t> payload, Each&& each);

class Reader {
  public:
    // The typed record, or nullopt when its fields do not fit its data or make no sense (a
    // damaged record, skipped). Object records come out whole: the parts of a continued
    // object give PendingObject until the last.
    std::optional<Record> decode(const RawRecord& raw);

  private:
    std::optional<Record> decodeObject(const RawRecord& raw);
    std::optional<Record> decodeImagesAndText(const RawRecord& raw, BoundedReader& in);
    std::optional<Record> decodeState(const RawRecord& raw, BoundedReader& in);

    // The object being assembled from continuation records.
    std::vector<uint8_t> m_parts;
    uint32_t m_partsTotal = 0;
    int m_partsId = -1;
    uint8_t m_partsType = 0;
};

// A path object's figures: start, line and Bezier points (three to a curve), the close flag
// ending a figure; a curve that misses its points ends in lines. Filled even-odd.
QPainterPath pathOutline(const Path& path);

// A serializable object (its GUID, size and parameters) as the image effect it names:
// ImageEffectRecord, UnsupportedRecord for a GUID no effect has, nullopt when damaged.
std::optional<Record> imageEffectRecord(std::span<const uint8_t> data);

// Object bodies, exposed for the tests: nullopt when damaged.
std::optional<ObjectData> decodeObjectData(ObjectType type, std::span<const uint8_t> data);

// --- implementation of the template ---

uint32_t readU32Le(std::span<const uint8_t> bytes, size_t at);

template <typename Each>
bool forEachRecord(std::span<const uint8_t> payload, Each&& each) {
    size_t at = 0;
    while (payload.size() - at >= 12) {
        const uint32_t head = readU32Le(payload, at);
        const uint32_t size = readU32Le(payload, at + 4);
        const uint32_t dataSize = readU32Le(payload, at + 8);
        if (size < 12 || size % 4 != 0 || size > payload.size() - at || dataSize > size - 12)
            return false;
        each(RawRecord{uint16_t(head & 0xFFFF), uint16_t(head >> 16),
                       payload.subspan(at + 12, dataSize)});
        at += size;
    }
    return at == payload.size();
}

}  // namespace plume::metafile::emfplus
