#pragma once

// EmfWriter: a GdiSink that writes the calls it receives as an enhanced metafile (MS-EMF):
// EMR_HEADER with the picture's bounds, frame and reference device, one record per call, and
// EMR_EOF. Driven by the WMF reader it converts WMF to EMF.
//
// WMF has things EMF lacks, which the writer turns into their EMF equivalents: offsets of the
// window and viewport origins become absolute EMR_SETWINDOWORGEX / EMR_SETVIEWPORTORGEX (the
// writer follows both origins through SaveDC and RestoreDC); region objects, which EMF does
// not have, are kept by the writer and written as EMR_EXTSELECTCLIPRGN (in device units) or
// as the region records that carry their region by value; the character extra
// (META_SETTEXTCHAREXTRA) goes into the advances of the text after it; AnimatePalette becomes
// EMR_SETPALETTEENTRIES of the entries it changes (those flagged PC_RESERVED).

#include "platform/metafile/format/DecodingDc.h"
#include "platform/metafile/format/GdiSink.h"
#include "platform/metafile/format/MetafileFormat.h"

#include <QByteArray>
#include <QHash>
#include <vector>

namespace plume::metafile {

class EmfWriter : public GdiSink {
  public:
    EmfWriter();

    // The finished EMF after end(); empty before.
    const QByteArray& bytes() const { return m_out; }
    // Calls that EMF has no record for, or that the writer leaves out (unknown records, WMF
    // escapes); counted, not written.
    qsizetype droppedCalls() const { return m_dropped; }

    void begin(const PictureInfo& info) override;
    void end() override;

    void saveDc() override;
    void restoreDc(int32_t savedDc) override;
    void setMapMode(MapMode mode) override;
    void setWindowOrg(Point origin) override;
    void setWindowExt(Size extent) override;
    void setViewportOrg(Point origin) override;
    void setViewportExt(Size extent) override;
    void offsetWindowOrg(int32_t dx, int32_t dy) override;
    void offsetViewportOrg(int32_t dx, int32_t dy) override;
    void scaleWindowExt(int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom) override;
    void scaleViewportExt(int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom) override;
    void setWorldTransform(const XForm& xform) override;
    void modifyWorldTransform(const XForm& xform, TransformMode mode) override;
    void setBkMode(BkMode mode) override;
    void setBkColor(ColorRef color) override;
    void setTextColor(ColorRef color) override;
    void setTextAlign(uint32_t flags) override;
    void setTextJustification(int32_t breakExtra, int32_t breakCount) override;
    void setTextCharacterExtra(int32_t extra) override;
    void setPolyFillMode(PolyFillMode mode) override;
    void setRop2(uint32_t rop2) override;
    void setStretchBltMode(uint32_t mode) override;
    void setMiterLimit(float limit) override;
    void setArcDirection(ArcDirection direction) override;
    void setBrushOrg(Point origin) override;
    void moveTo(Point point) override;
    void setLayout(uint32_t flags) override;

    void createPen(uint32_t index, const LogPen& pen) override;
    void createBrush(uint32_t index, const LogBrush& brush) override;
    void createDibPatternBrush(uint32_t index, const DibRef& pattern, bool monochrome) override;
    void createFont(uint32_t index, const LogFont& font) override;
    void createPalette(uint32_t index, std::span<const PaletteEntry> entries) override;
    void createRegion(uint32_t index, const RegionData& region) override;
    void selectObject(uint32_t index) override;
    void deleteObject(uint32_t index) override;
    void selectPalette(uint32_t index) override;
    void realizePalette() override;
    void setPaletteEntries(uint32_t index, uint32_t start,
                           std::span<const PaletteEntry> entries) override;
    void resizePalette(uint32_t index, uint32_t count) override;
    void animatePalette(uint32_t index, uint32_t start,
                        std::span<const PaletteEntry> entries) override;

    void beginPath() override;
    void endPath() override;
    void closeFigure() override;
    void abortPath() override;
    void fillPath() override;
    void strokePath() override;
    void strokeAndFillPath() override;
    void flattenPath() override;
    void widenPath() override;

    void intersectClipRect(const Rect& rect) override;
    void excludeClipRect(const Rect& rect) override;
    void offsetClipRgn(int32_t dx, int32_t dy) override;
    void selectClipRegion(const RegionData* region, RegionMode mode) override;
    void selectClipPath(RegionMode mode) override;

    void lineTo(Point point) override;
    void polyline(std::span<const Point> points) override;
    void polylineTo(std::span<const Point> points) override;
    void polygon(std::span<const Point> points) override;
    void polyPolyline(std::span<const Point> points, std::span<const uint32_t> counts) override;
    void polyPolygon(std::span<const Point> points, std::span<const uint32_t> counts) override;
    void polyBezier(std::span<const Point> points) override;
    void polyBezierTo(std::span<const Point> points) override;
    void rectangle(const Rect& rect) override;
    void roundRect(const Rect& rect, Size corner) override;
    void ellipse(const Rect& rect) override;
    void arc(const Rect& box, Point start, Point end) override;
    void arcTo(const Rect& box, Point start, Point end) override;
    void chord(const Rect& box, Point start, Point end) override;
    void pie(const Rect& box, Point start, Point end) override;
    void setPixel(Point point, ColorRef color) override;
    void extFloodFill(Point start, ColorRef color, uint32_t mode) override;
    void fillRegion(const RegionData& region, uint32_t brushIndex) override;
    void frameRegion(const RegionData& region, uint32_t brushIndex, Size stroke) override;
    void invertRegion(const RegionData& region) override;
    void paintRegion(const RegionData& region) override;
    void fillRegionObject(uint32_t regionIndex, uint32_t brushIndex) override;
    void frameRegionObject(uint32_t regionIndex, uint32_t brushIndex, Size stroke) override;
    void invertRegionObject(uint32_t regionIndex) override;
    void paintRegionObject(uint32_t regionIndex) override;

    void extTextOut(const TextRun& text) override;
    void blit(const BlitOp& op) override;

    void comment(std::span<const uint8_t> data) override;
    void unknownRecord(uint32_t type, std::span<const uint8_t> data) override;

  private:
    // The state of the DC the writer follows through SaveDC and RestoreDC.
    struct Mapping {
        MapMode mode = MapMode::Text;
        Point windowOrg, viewportOrg;
        Size windowExt{1, 1}, viewportExt{1, 1};
        uint32_t palette =
            stockObject::DefaultPalette;  // the selected palette, as the sink names it
        int32_t charExtra = 0;            // SetTextCharacterExtra, which EMF has no record for
    };

    // Record assembly: start() opens a record, finish() pads it to 4 bytes and sets its size.
    void start(EmfRecordType type);
    void finish();
    void put32(uint32_t v);
    void putI32(int32_t v) { put32(static_cast<uint32_t>(v)); }
    void put16(uint16_t v);
    void putRect(const Rect& r);
    void putPoint(Point p);
    void putBytes(std::span<const uint8_t> data);
    void padTo4();
    void simple(EmfRecordType type);
    void oneValue(EmfRecordType type, uint32_t value);
    void pointRecord(EmfRecordType type, Point p);
    void rectRecord(EmfRecordType type, const Rect& r);
    void arcRecord(EmfRecordType type, const Rect& box, Point start, Point end);
    void polyRecord(EmfRecordType type16, EmfRecordType type32, std::span<const Point> points);
    void polyPolyRecord(EmfRecordType type16, EmfRecordType type32, std::span<const Point> points,
                        std::span<const uint32_t> counts);
    void regionRecord(EmfRecordType type, const RegionData& region, const uint32_t* brush,
                      const Size* stroke);
    void putRegionData(const RegionData& region);
    void writePaletteEntries(uint32_t index, uint32_t first, std::span<const PaletteEntry> entries);
    uint32_t objectIndex(uint32_t sinkIndex);
    RegionData regionToDevice(const RegionData& region, std::vector<Rect>& storage) const;

    QByteArray m_out;
    qsizetype m_recordStart = 0;
    uint32_t m_records = 0;
    uint32_t m_maxHandle = 0;
    qsizetype m_dropped = 0;
    bool m_ended = false;
    Mapping m_map;
    std::vector<Mapping> m_saved;
    // Region objects by the sink's index: EMF has none, so they live here.
    QHash<uint32_t, std::vector<Rect>> m_regions;
    QHash<uint32_t, Rect> m_regionBounds;
    // The entries of each palette object by the sink's index, for AnimatePalette, which
    // changes only the entries flagged PC_RESERVED.
    QHash<uint32_t, std::vector<PaletteEntry>> m_palettes;
    // The selected font: text in the Symbol and Wingdings faces is written in the fonts' own
    // codes.
    DecodingDc m_dc;
};

}  // namespace plume::metafile
