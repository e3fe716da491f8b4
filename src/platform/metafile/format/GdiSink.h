#pragma once

// The typed interface of GDI operations that the metafile readers drive. EmfReader and
// WmfReader decode and bounds-check their records and call one of these functions per
// record; GdiPlayer paints the calls on a QPainter, the EMF writer turns them back into EMF
// records, and tests record them.
//
// Conventions:
// - Coordinates are logical units as the record holds them (EMF 32-bit, WMF 16-bit, widened);
//   region data for clipping (selectClipRegion) is in device units, as GDI keeps clip regions.
// - Object indices are the metafile's own table slots (EMF ihObject; for WMF the reader
//   assigns the lowest free slot as GDI does). An index with stockObject::Flag set names a
//   stock object.
// - Spans and strings passed in are valid only during the call; a sink that keeps data copies
//   it.
// - Every function has an empty default, so a sink implements what it needs. A reader reports
//   each record that it does not turn into a call through unknownRecord(), so that playback can
//   count it.
//
// LogFont lives in LogFont.h so that FontText.h can share it without including this header.

#include "platform/metafile/format/GdiTypes.h"
#include "platform/metafile/format/LogFont.h"

#include <QString>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace plume::metafile {

// What a metafile says about itself before its first drawing record (EMR_HEADER, MS-EMF
// 2.3.4.2; for WMF the reader fills in the placeable bounds or the window it finds).
struct PictureInfo {
    Rect bounds;             // device units, inclusive
    Rect frame;              // 0.01 mm, inclusive
    Size devicePixels;       // the reference device's size in pixels
    Size deviceMillimeters;  // and in millimetres
    Size deviceMicrometers;  // zero when the header does not carry it
};

// LOGPEN (MS-EMF 2.2.19): EMR_CREATEPEN and the WMF pen object.
struct LogPen {
    uint32_t style = penStyle::Solid;
    int32_t width = 0;  // logical units in x; 0 draws one device pixel wide
    ColorRef color;
};

// A packed or split device-independent bitmap as a record carries it: `info` is the
// BITMAPINFO (header and colour table). When `bits` is empty, `info` holds a packed DIB
// (header, colour table and bits in one block, as the WMF records and CF_DIB carry it).
struct DibRef {
    std::span<const uint8_t> info;
    std::span<const uint8_t> bits;
    uint32_t colorUsage = kDibRgbColors;
    bool empty() const { return info.empty(); }
};

// LOGPEN_EX (MS-EMF 2.2.20): EMR_EXTCREATEPEN.
struct ExtLogPen {
    uint32_t style = penStyle::Solid;  // type, cap, join and dash bits
    uint32_t width = 0;
    uint32_t brushStyle = brushStyle::Solid;
    ColorRef color;
    uint32_t hatch = 0;
    std::span<const uint32_t> styleEntries;  // dash and gap lengths for penStyle::UserStyle
    DibRef pattern;                          // for a DIB pattern brush style
};

// LOGBRUSH (MS-EMF 2.2.12): EMR_CREATEBRUSHINDIRECT and the WMF brush object.
struct LogBrush {
    uint32_t style = brushStyle::Solid;
    ColorRef color;
    uint32_t hatch = 0;
};

// Region data (RgnData, MS-EMF 2.2.24): a union of rectangles.
struct RegionData {
    Rect bounds;
    std::span<const Rect> rects;
};

// One EMR_EXTTEXTOUTW / EMR_EXTTEXTOUTA (MS-EMF 2.3.5.8) or META_EXTTEXTOUT / META_TEXTOUT.
struct TextRun {
    Point reference;       // where the text starts (ignored with textAlign::UpdateCp)
    QString text;          // decoded to Unicode by the reader
    uint32_t options = 0;  // textOut:: flags
    Rect rect;             // clip / opaque rectangle, used with textOut::Opaque or Clipped
    // Advances in logical units, one per UTF-16 code unit of `text` (a reader merges the per-byte
    // entries of double-byte text); with textOut::Pdy, x and y pairs. Empty: the font's own.
    std::span<const int32_t> dx;
    GraphicsMode graphicsMode = GraphicsMode::Compatible;
    float exScale = 0, eyScale = 0;  // EMF only; informative
};

// StretchDIBits, BitBlt, StretchBlt, SetDIBitsToDevice (EMF 2.3.1, WMF 2.3.1): a destination
// rectangle in logical units, a source rectangle in the bitmap's pixels, a ternary raster
// operation and the source DIB (empty when the operation uses no source, as PatBlt).
struct BlitOp {
    int32_t destX = 0, destY = 0, destWidth = 0, destHeight = 0;
    // Source rectangle in pixels from the bitmap's top-left corner as stored: readers pass it
    // unchanged; the sink turns a bottom-up DIB's origin around where GDI does.
    int32_t srcX = 0, srcY = 0, srcWidth = 0, srcHeight = 0;
    uint32_t rop = rop3::SrcCopy;
    DibRef source;
    XForm sourceTransform;  // EMR_BITBLT/EMR_STRETCHBLT xformSrc; identity otherwise
    ColorRef sourceBkColor;
    // SetDIBitsToDevice: the source rectangle is measured from the lower-left corner of the
    // bitmap for bottom-up DIBs, and the record may carry a band of scan lines only.
    bool dibitsToDevice = false;
    uint32_t startScan = 0, scanCount = 0;
};

// TRIVERTEX (MS-EMF 2.2.26).
struct TriVertex {
    int32_t x = 0, y = 0;
    uint16_t red = 0, green = 0, blue = 0, alpha = 0;
};

// One palette entry (PALETTEENTRY, MS-EMF 2.2.18): red, green, blue, flags.
struct PaletteEntry {
    uint8_t red = 0, green = 0, blue = 0, flags = 0;
};
inline constexpr uint8_t kPcReserved = 0x01;  // PC_RESERVED: an entry AnimatePalette may change

// The palette object selected in the DC, for the WMF records that change "the" palette.
inline constexpr uint32_t kSelectedPalette = 0xFFFFFFFFu;

// SetLayout flags (EMR_SETLAYOUT, META_SETLAYOUT).
namespace layout {
inline constexpr uint32_t RightToLeft = 0x01;                 // LAYOUT_RTL
inline constexpr uint32_t BitmapOrientationPreserved = 0x08;  // bitmaps are not mirrored
}  // namespace layout

// ExtFloodFill modes.
namespace floodFill {
inline constexpr uint32_t Border = 0;   // FLOODFILLBORDER: fill up to pixels of the colour
inline constexpr uint32_t Surface = 1;  // FLOODFILLSURFACE: fill the pixels of the colour
}  // namespace floodFill

class GdiSink {
  public:
    virtual ~GdiSink() = default;

    // Start and end of the picture.
    virtual void begin(const PictureInfo& /*info*/) {}
    virtual void end() {}

    // --- Device-context state ---
    virtual void saveDc() {}
    // GDI's RestoreDC: negative = that many levels back from the top, positive = the absolute
    // level returned by SaveDC (1 is the first save).
    virtual void restoreDc(int32_t /*savedDc*/) {}
    virtual void setMapMode(MapMode /*mode*/) {}
    virtual void setWindowOrg(Point /*origin*/) {}
    virtual void setWindowExt(Size /*extent*/) {}
    virtual void setViewportOrg(Point /*origin*/) {}
    virtual void setViewportExt(Size /*extent*/) {}
    virtual void offsetWindowOrg(int32_t /*dx*/, int32_t /*dy*/) {}
    virtual void offsetViewportOrg(int32_t /*dx*/, int32_t /*dy*/) {}
    // ScaleWindowExtEx / ScaleViewportExtEx: ext = ext * num / denom per axis.
    virtual void scaleWindowExt(int32_t /*xNum*/, int32_t /*xDenom*/, int32_t /*yNum*/,
                                int32_t /*yDenom*/) {}
    virtual void scaleViewportExt(int32_t /*xNum*/, int32_t /*xDenom*/, int32_t /*yNum*/,
                                  int32_t /*yDenom*/) {}
    virtual void setWorldTransform(const XForm& /*xform*/) {}
    virtual void modifyWorldTransform(const XForm& /*xform*/, TransformMode /*mode*/) {}
    virtual void setGraphicsMode(GraphicsMode /*mode*/) {}
    virtual void setBkMode(BkMode /*mode*/) {}
    virtual void setBkColor(ColorRef /*color*/) {}
    virtual void setTextColor(ColorRef /*color*/) {}
    virtual void setTextAlign(uint32_t /*textAlignFlags*/) {}
    virtual void setTextCharacterExtra(int32_t /*extra*/) {}
    // SetTextJustification: `breakExtra` logical units spread over `breakCount` spaces.
    virtual void setTextJustification(int32_t /*breakExtra*/, int32_t /*breakCount*/) {}
    virtual void setPolyFillMode(PolyFillMode /*mode*/) {}
    virtual void setRop2(uint32_t /*rop2*/) {}
    virtual void setStretchBltMode(uint32_t /*mode*/) {}
    virtual void setMiterLimit(float /*limit*/) {}
    virtual void setArcDirection(ArcDirection /*direction*/) {}
    virtual void setBrushOrg(Point /*origin*/) {}
    virtual void moveTo(Point /*point*/) {}
    // SetLayout: layout:: flags; right to left mirrors the device's x axis.
    virtual void setLayout(uint32_t /*layout*/) {}

    // --- Objects ---
    virtual void createPen(uint32_t /*index*/, const LogPen& /*pen*/) {}
    virtual void createExtPen(uint32_t /*index*/, const ExtLogPen& /*pen*/) {}
    virtual void createBrush(uint32_t /*index*/, const LogBrush& /*brush*/) {}
    // EMR_CREATEDIBPATTERNBRUSHPT / EMR_CREATEMONOBRUSH / META_DIBCREATEPATTERNBRUSH. A
    // monochrome pattern draws its 0 bits in the text colour and its 1 bits in the background
    // colour when `monochrome` is set (EMR_CREATEMONOBRUSH).
    virtual void createDibPatternBrush(uint32_t /*index*/, const DibRef& /*pattern*/,
                                       bool /*monochrome*/) {}
    virtual void createFont(uint32_t /*index*/, const LogFont& /*font*/) {}
    virtual void createPalette(uint32_t /*index*/, std::span<const PaletteEntry> /*entries*/) {}
    // META_CREATEREGION: a region object (logical units) that selectObject makes the clip.
    virtual void createRegion(uint32_t /*index*/, const RegionData& /*region*/) {}
    virtual void selectObject(uint32_t /*index*/) {}
    virtual void deleteObject(uint32_t /*index*/) {}
    virtual void selectPalette(uint32_t /*index*/) {}
    virtual void realizePalette() {}
    // EMR_SETPALETTEENTRIES / META_SETPALENTRIES (entries from `start` on), EMR_RESIZEPALETTE /
    // META_RESIZEPALETTE, and META_ANIMATEPALETTE (which changes only the entries flagged
    // PC_RESERVED). The WMF records change the palette selected in the DC: kSelectedPalette.
    virtual void setPaletteEntries(uint32_t /*index*/, uint32_t /*start*/,
                                   std::span<const PaletteEntry> /*entries*/) {}
    virtual void resizePalette(uint32_t /*index*/, uint32_t /*count*/) {}
    virtual void animatePalette(uint32_t /*index*/, uint32_t /*start*/,
                                std::span<const PaletteEntry> /*entries*/) {}

    // --- Paths ---
    virtual void beginPath() {}
    virtual void endPath() {}
    virtual void closeFigure() {}
    virtual void abortPath() {}
    virtual void fillPath() {}
    virtual void strokePath() {}
    virtual void strokeAndFillPath() {}
    virtual void flattenPath() {}
    virtual void widenPath() {}

    // --- Clipping ---
    virtual void intersectClipRect(const Rect& /*rect*/) {}
    virtual void excludeClipRect(const Rect& /*rect*/) {}
    virtual void offsetClipRgn(int32_t /*dx*/, int32_t /*dy*/) {}
    // EMR_EXTSELECTCLIPRGN: region in device units; no region with RegionMode::Copy resets the
    // clip to the whole picture.
    virtual void selectClipRegion(const RegionData* /*region*/, RegionMode /*mode*/) {}
    virtual void selectClipPath(RegionMode /*mode*/) {}
    virtual void setMetaRgn() {}

    // --- Drawing ---
    virtual void lineTo(Point /*point*/) {}
    virtual void polyline(std::span<const Point> /*points*/) {}
    virtual void polylineTo(std::span<const Point> /*points*/) {}
    virtual void polygon(std::span<const Point> /*points*/) {}
    // `counts` splits `points` into figures; the reader has checked that they add up.
    virtual void polyPolyline(std::span<const Point> /*points*/,
                              std::span<const uint32_t> /*counts*/) {}
    virtual void polyPolygon(std::span<const Point> /*points*/,
                             std::span<const uint32_t> /*counts*/) {}
    virtual void polyBezier(std::span<const Point> /*points*/) {}
    virtual void polyBezierTo(std::span<const Point> /*points*/) {}
    // Points and pointType:: flags, one per point.
    virtual void polyDraw(std::span<const Point> /*points*/, std::span<const uint8_t> /*types*/) {}
    virtual void rectangle(const Rect& /*rect*/) {}
    virtual void roundRect(const Rect& /*rect*/, Size /*corner*/) {}
    virtual void ellipse(const Rect& /*rect*/) {}
    virtual void arc(const Rect& /*box*/, Point /*start*/, Point /*end*/) {}
    virtual void arcTo(const Rect& /*box*/, Point /*start*/, Point /*end*/) {}
    virtual void chord(const Rect& /*box*/, Point /*start*/, Point /*end*/) {}
    virtual void pie(const Rect& /*box*/, Point /*start*/, Point /*end*/) {}
    // Degrees, counter-clockwise; a line from the current position to the arc's start.
    virtual void angleArc(Point /*center*/, uint32_t /*radius*/, float /*startAngle*/,
                          float /*sweepAngle*/) {}
    virtual void setPixel(Point /*point*/, ColorRef /*color*/) {}
    // ExtFloodFill (EMR_EXTFLOODFILL, META_FLOODFILL = floodFill::Border, META_EXTFLOODFILL):
    // fills with the brush from `start` by the colours already drawn.
    virtual void extFloodFill(Point /*start*/, ColorRef /*color*/, uint32_t /*mode*/) {}
    // Regions given by value (EMR_FILLRGN and friends; logical units).
    virtual void fillRegion(const RegionData& /*region*/, uint32_t /*brushIndex*/) {}
    virtual void frameRegion(const RegionData& /*region*/, uint32_t /*brushIndex*/,
                             Size /*stroke*/) {}
    virtual void invertRegion(const RegionData& /*region*/) {}
    virtual void paintRegion(const RegionData& /*region*/) {}
    // Regions by object (META_FILLREGION and friends), made with createRegion.
    virtual void fillRegionObject(uint32_t /*regionIndex*/, uint32_t /*brushIndex*/) {}
    virtual void frameRegionObject(uint32_t /*regionIndex*/, uint32_t /*brushIndex*/,
                                   Size /*stroke*/) {}
    virtual void invertRegionObject(uint32_t /*regionIndex*/) {}
    virtual void paintRegionObject(uint32_t /*regionIndex*/) {}
    // EMR_GRADIENTFILL (MS-EMF 2.3.5.12): `indices` holds 2 (rectangles) or 3 (triangles)
    // vertex indices per shape, already checked against `vertices`.
    virtual void gradientFill(std::span<const TriVertex> /*vertices*/,
                              std::span<const uint32_t> /*indices*/, uint32_t /*mode*/) {}

    // --- Text ---
    virtual void extTextOut(const TextRun& /*text*/) {}

    // --- Bitmaps ---
    virtual void blit(const BlitOp& /*op*/) {}
    // EMR_ALPHABLEND (MS-EMF 2.3.1.1): `blendFunction` is the BLENDFUNCTION as a 32-bit value
    // (op, flags, source constant alpha, alpha format).
    virtual void alphaBlend(const BlitOp& /*op*/, uint32_t /*blendFunction*/) {}
    // EMR_MASKBLT (MS-EMF 2.3.1.3): the monochrome mask selects between the foreground and
    // background operations of `op.rop`.
    virtual void maskBlt(const BlitOp& /*op*/, const DibRef& /*mask*/, Point /*maskOrigin*/) {}
    // EMR_TRANSPARENTBLT (MS-EMF 2.3.1.7): source pixels of `transparent` are left out.
    virtual void transparentBlt(const BlitOp& /*op*/, ColorRef /*transparent*/) {}
    // EMR_PLGBLT (MS-EMF 2.3.1.4): the source rectangle's upper-left, upper-right and lower-left
    // corners go to `corners` (logical units); an optional monochrome mask lets the source
    // through where its bits are 1. `op`'s destination fields are unused.
    virtual void plgBlt(const BlitOp& /*op*/, const std::array<Point, 3>& /*corners*/,
                        const DibRef& /*mask*/, Point /*maskOrigin*/) {}

    // --- Anything else ---
    // A comment record that is not EMF+ (whose records are skipped by the reader).
    virtual void comment(std::span<const uint8_t> /*data*/) {}
    // A record that the reader recognised as valid but does not turn into a call (unknown type,
    // or one without meaning for drawing).
    virtual void unknownRecord(uint32_t /*type*/, std::span<const uint8_t> /*data*/) {}
};

}  // namespace plume::metafile
