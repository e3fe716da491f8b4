#pragma once

// The EMF record decoder behind playEmf (EmfReader.h): one record's bytes in, GdiSink calls
// out, one function per record family, chosen by the record table. Inner working of the
// engine.

#include "platform/metafile/format/BoundedReader.h"
#include "platform/metafile/format/DecodingDc.h"
#include "platform/metafile/format/GdiSink.h"
#include "platform/metafile/format/MetafileFormat.h"
#include "platform/metafile/format/PlayableDocument.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace plume::metafile {

// Turns one record into sink calls. Keeps reusable buffers so that playing a picture does not
// allocate per record, and the character sets of the fonts it created (for EMR_EXTTEXTOUTA).
class EmfDecoder {
  public:
    explicit EmfDecoder(GdiSink& sink) : m_sink(sink) {}

    // Damaged when the record's fields do not fit its size (the record is then skipped).
    RecordOutcome play(uint32_t type, std::span<const uint8_t> record);

  private:
    // One function per record family (RecordFamily, the record table's family column): each
    // plays the types of its family and hands any other to the sink as unknown.
    RecordOutcome playMapping(EmfRecordType type, BoundedReader& in,
                              std::span<const uint8_t> record);
    RecordOutcome playState(EmfRecordType type, BoundedReader& in, std::span<const uint8_t> record);
    RecordOutcome playObjects(EmfRecordType type, BoundedReader& in,
                              std::span<const uint8_t> record);
    RecordOutcome playPalettes(EmfRecordType type, BoundedReader& in,
                               std::span<const uint8_t> record);
    RecordOutcome playClipping(EmfRecordType type, BoundedReader& in,
                               std::span<const uint8_t> record);
    RecordOutcome playPaths(EmfRecordType type, std::span<const uint8_t> record);
    RecordOutcome playPoly(EmfRecordType type, BoundedReader& in, std::span<const uint8_t> record);
    RecordOutcome playFigures(EmfRecordType type, BoundedReader& in,
                              std::span<const uint8_t> record);
    RecordOutcome playRegions(EmfRecordType type, BoundedReader& in,
                              std::span<const uint8_t> record);
    RecordOutcome playTextRecords(EmfRecordType type, BoundedReader& in,
                                  std::span<const uint8_t> record);
    RecordOutcome playBitmaps(EmfRecordType type, BoundedReader& in,
                              std::span<const uint8_t> record);
    RecordOutcome playComments(EmfRecordType type, BoundedReader& in,
                               std::span<const uint8_t> record);
    RecordOutcome unknown(EmfRecordType type, std::span<const uint8_t> record);

    bool readPointsL(BoundedReader& in, uint32_t count) {
        if (uint64_t(count) * 8 > in.remaining()) return false;
        m_points.resize(count);
        for (auto& p : m_points) p = in.pointL();
        return in.ok();
    }
    bool readPointsS(BoundedReader& in, uint32_t count) {
        if (uint64_t(count) * 4 > in.remaining()) return false;
        m_points.resize(count);
        for (auto& p : m_points) p = in.pointS();
        return in.ok();
    }
    // EMR_POLYPOLYLINE and friends: counts first, then points; the counts must add up to the
    // point total and every count must be at least one.
    bool readPolyPoly(BoundedReader& in, bool shortPoints) {
        in.skip(16);  // rclBounds
        const uint32_t polys = in.u32();
        const uint32_t total = in.u32();
        if (!in.ok() || uint64_t(polys) * 4 > in.remaining()) return false;
        m_counts.resize(polys);
        uint64_t sum = 0;
        for (auto& c : m_counts) {
            c = in.u32();
            sum += c;
        }
        if (!in.ok() || sum != total) return false;
        return shortPoints ? readPointsS(in, total) : readPointsL(in, total);
    }
    bool readRegion(BoundedReader& in, uint32_t size, RegionData& out);
    std::optional<DibRef> dibAt(const BoundedReader& in, uint32_t usage, uint32_t offBmi,
                                uint32_t cbBmi, uint32_t offBits, uint32_t cbBits) const;
    bool readPaletteEntries(BoundedReader& in, uint32_t count);
    bool playExtCreatePen(BoundedReader& in);
    bool playCreateFont(BoundedReader& in);
    bool playGradientFill(BoundedReader& in);
    bool playSmallText(BoundedReader& in);
    bool playText(BoundedReader& in, std::span<const uint8_t> record, bool wide, GraphicsMode mode,
                  float exScale, float eyScale);
    bool playBlit(EmfRecordType type, BoundedReader& in);
    bool playPlgBlt(BoundedReader& in);

    GdiSink& m_sink;
    std::vector<Point> m_points;
    std::vector<uint32_t> m_counts;
    std::vector<int32_t> m_dx;
    std::vector<int32_t> m_dxRaw;
    std::vector<Rect> m_rects;
    std::vector<uint8_t> m_types;
    std::vector<uint32_t> m_styles;
    std::vector<TriVertex> m_vertices;
    std::vector<PaletteEntry> m_palette;
    // The selected font (EMR_EXTTEXTOUTA decodes its 8-bit text by its character set).
    DecodingDc m_dc;
};

}  // namespace plume::metafile
