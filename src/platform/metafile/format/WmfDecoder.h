#pragma once

// The WMF record decoder behind readWmf and playWmf (WmfReader.h): one record's parameters
// in, GdiSink calls out, one function per record family (chosen by the record table), with the
// WMF object table it keeps. Inner working of the engine.

#include "platform/metafile/format/BoundedReader.h"
#include "platform/metafile/format/DecodingDc.h"
#include "platform/metafile/format/Document.h"
#include "platform/metafile/format/GdiSink.h"
#include "platform/metafile/format/PlayableDocument.h"

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <vector>

namespace plume::metafile {

// The WMF object table: a new object takes the lowest free slot (MS-WMF 3.1.4.1), deleting
// one frees its slot for the next.
class ObjectTable {
  public:
    std::optional<uint32_t> allocate() {
        uint32_t slot;
        if (!m_freed.empty()) {
            slot = *m_freed.begin();
            m_freed.erase(m_freed.begin());
        } else {
            if (m_next >= static_cast<uint32_t>(kMaxObjectSlots)) return std::nullopt;
            slot = m_next++;
        }
        return slot;
    }
    bool inUse(uint32_t slot) const { return slot < m_next && !m_freed.contains(slot); }
    void release(uint32_t slot) {
        if (inUse(slot)) m_freed.insert(slot);
    }

  private:
    uint32_t m_next = 0;
    std::set<uint32_t> m_freed;
};

// Decodes one record's parameters and makes the matching sink call. Shared by validation
// (with a scanning sink) and playback, so both see the same records the same way.
class WmfDecoder {
  public:
    explicit WmfDecoder(GdiSink& sink) : m_sink(sink) {}

    RecordOutcome play(uint16_t function, std::span<const uint8_t> params);

  private:
    // One function per record family (RecordFamily, the record table's family column): each
    // plays the functions of its family and hands any other to the sink as unknown.
    RecordOutcome playMapping(uint16_t function, std::span<const uint8_t> params, BoundedReader& p);
    RecordOutcome playState(uint16_t function, std::span<const uint8_t> params, BoundedReader& p);
    RecordOutcome playObjects(uint16_t function, std::span<const uint8_t> params, BoundedReader& p);
    RecordOutcome playPalettes(uint16_t function, std::span<const uint8_t> params,
                               BoundedReader& p);
    RecordOutcome playClipping(uint16_t function, std::span<const uint8_t> params,
                               BoundedReader& p);
    RecordOutcome playPoly(uint16_t function, std::span<const uint8_t> params, BoundedReader& p);
    RecordOutcome playFigures(uint16_t function, std::span<const uint8_t> params, BoundedReader& p);
    RecordOutcome playRegions(uint16_t function, std::span<const uint8_t> params, BoundedReader& p);
    RecordOutcome playTextRecords(uint16_t function, std::span<const uint8_t> params,
                                  BoundedReader& p);
    RecordOutcome playBitmaps(uint16_t function, std::span<const uint8_t> params, BoundedReader& p);
    RecordOutcome playComments(uint16_t function, std::span<const uint8_t> params,
                               BoundedReader& p);

    RecordOutcome unknown(uint16_t function, std::span<const uint8_t> params) {
        m_sink.unknownRecord(function, params);
        return RecordOutcome::Unknown;
    }
    std::optional<uint32_t> newObject() { return m_objects.allocate(); }
    std::span<const Point> readPoints(BoundedReader& p, size_t count) {
        if (count * 4 > p.remaining()) {
            p.skip(count * 4);  // fails the reader
            return {};
        }
        m_points.resize(count);
        for (size_t i = 0; i < count; ++i) m_points[i] = p.pointS();
        return m_points;
    }
    RecordOutcome createFont(BoundedReader& p);
    RecordOutcome patternBrush(uint16_t function, BoundedReader& p);
    RecordOutcome text(uint16_t function, BoundedReader& p);
    RecordOutcome blit(uint16_t function, std::span<const uint8_t> params);
    RecordOutcome region(BoundedReader& p);
    QString decodeFace(std::span<const uint8_t> bytes, uint8_t charSet) const;

    GdiSink& m_sink;
    ObjectTable m_objects;
    std::vector<Point> m_points;
    std::vector<uint32_t> m_counts;
    std::vector<int32_t> m_dx;
    std::vector<Rect> m_rects;
    DecodingDc m_dc;  // the selected font, which decides how 8-bit text is decoded
};

}  // namespace plume::metafile
