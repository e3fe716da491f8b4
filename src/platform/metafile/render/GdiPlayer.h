#pragma once

// GdiPlayer: the GdiSink that paints on a QPainter, holding GDI's device-context state (the
// DC stack, object table, map mode, world transform, current position, path and clip).
//
// Coordinates go logical -> device (world transform, then the window/viewport mapping) ->
// picture target (the frame mapping of PlayEnhMetaFile) -> the painter's own coordinates.
// Every figure is built in device units and drawn with one fixed painter transform, so the
// painter's state changes only when a pen, brush, clip or raster operation really changes;
// what is drawn in output pixels goes through an OutputPixels scope.
//
// The sources, by concern: GdiPlayer.cpp (the frame, transforms and DC state),
// GdiPlayerObjects.cpp (the object table, stock objects, the DC's pen and brush),
// GdiPlayerFigures.cpp (figures and paths), GdiPlayerClip.cpp (regions and clipping),
// GdiPlayerText.cpp, GdiPlayerBitmaps.cpp, and PixelRuns (the fast paths of wide pens).

#include "platform/metafile/format/GdiSink.h"
#include "platform/metafile/render/PixelRuns.h"

#include <QBrush>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QRawFont>
#include <QRectF>
#include <QRegion>
#include <QTransform>
#include <array>
#include <cmath>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

class QPainter;

namespace plume::metafile {

class GdiPlayer : public GdiSink {
  public:
    // Draws so that the picture frame given to begin() fills `target` (painter coordinates).
    GdiPlayer(QPainter& painter, const QRectF& target);
    ~GdiPlayer() override;

    qsizetype unsupportedCount() const { return m_unsupported; }
    // Figures drawn simplified by a bound on the work of one record (a stroke of too many
    // dashes), and those the EMF+ player drew so.
    qsizetype simplifiedCount() const { return m_simplified; }
    void countSimplified(qsizetype count) { m_simplified += count; }
    // Device units -> painter coordinates, set by begin() (the EMF+ player draws through it).
    const QTransform& deviceToPainter() const { return m_deviceToPainter; }

    // How the picture frame reaches the target. An EMF is stretched as PlayEnhMetaFile does
    // it, by a transform laid under the world transform, so device-unit offsets (clip region
    // offsets) are output pixels, unstretched. A WMF is stretched by the viewport an
    // application sets, which scales such offsets with everything else (the default).
    void setFrameMappedUnderWorld(bool underWorld) { m_frameUnderWorld = underWorld; }

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
    void setTextCharacterExtra(int32_t extra) override;
    void setTextJustification(int32_t breakExtra, int32_t breakCount) override;
    void setPolyFillMode(PolyFillMode mode) override;
    void setRop2(uint32_t rop2) override;
    void setStretchBltMode(uint32_t mode) override;
    void setMiterLimit(float limit) override;
    void setArcDirection(ArcDirection direction) override;
    void setBrushOrg(Point origin) override;
    void moveTo(Point point) override;
    void setLayout(uint32_t flags) override;

    void createPen(uint32_t index, const LogPen& pen) override;
    void createExtPen(uint32_t index, const ExtLogPen& pen) override;
    void createBrush(uint32_t index, const LogBrush& brush) override;
    void createDibPatternBrush(uint32_t index, const DibRef& pattern, bool monochrome) override;
    void createFont(uint32_t index, const LogFont& font) override;
    void createPalette(uint32_t index, std::span<const PaletteEntry> entries) override;
    void createRegion(uint32_t index, const RegionData& region) override;
    void selectObject(uint32_t index) override;
    void deleteObject(uint32_t index) override;
    void selectPalette(uint32_t index) override;
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
    void setMetaRgn() override;

    void lineTo(Point point) override;
    void polyline(std::span<const Point> points) override;
    void polylineTo(std::span<const Point> points) override;
    void polygon(std::span<const Point> points) override;
    void polyPolyline(std::span<const Point> points, std::span<const uint32_t> counts) override;
    void polyPolygon(std::span<const Point> points, std::span<const uint32_t> counts) override;
    void polyBezier(std::span<const Point> points) override;
    void polyBezierTo(std::span<const Point> points) override;
    void polyDraw(std::span<const Point> points, std::span<const uint8_t> types) override;
    void rectangle(const Rect& rect) override;
    void roundRect(const Rect& rect, Size corner) override;
    void ellipse(const Rect& rect) override;
    void arc(const Rect& box, Point start, Point end) override;
    void arcTo(const Rect& box, Point start, Point end) override;
    void chord(const Rect& box, Point start, Point end) override;
    void pie(const Rect& box, Point start, Point end) override;
    void angleArc(Point center, uint32_t radius, float startAngle, float sweepAngle) override;
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
    void gradientFill(std::span<const TriVertex> vertices, std::span<const uint32_t> indices,
                      uint32_t mode) override;

    void extTextOut(const TextRun& text) override;

    void blit(const BlitOp& op) override;
    void alphaBlend(const BlitOp& op, uint32_t blendFunction) override;
    void maskBlt(const BlitOp& op, const DibRef& mask, Point maskOrigin) override;
    void transparentBlt(const BlitOp& op, ColorRef transparent) override;
    void plgBlt(const BlitOp& op, const std::array<Point, 3>& corners, const DibRef& mask,
                Point maskOrigin) override;

    void unknownRecord(uint32_t type, std::span<const uint8_t> data) override;

    // Objects of the table, as the player keeps them (public for the file-local helpers).
    struct PenObject {
        uint32_t style = penStyle::Solid;  // dash style, caps, joins, type
        double width = 0;                  // logical units; 0 = one pixel
        QColor color = Qt::black;
        bool extended = false;  // EMR_EXTCREATEPEN: caps and joins as given
        std::vector<double> userDashes;
        // A PALETTEINDEX colour: the entry of the palette selected when the pen is.
        std::optional<uint16_t> paletteIndex;
    };
    // A pattern whose colour table (DIB_PAL_COLORS) or pixels (DIB_PAL_INDICES) index the DC's
    // palette: GDI looks the colours up when the brush is selected.
    struct PalettePattern {
        std::vector<uint8_t> info, bits;  // bits empty: `info` is a packed DIB
        uint32_t usage = kDibPalColors;
    };
    struct BrushObject {
        uint32_t style = brushStyle::Solid;
        QColor color = Qt::white;
        uint32_t hatch = 0;
        QImage pattern;           // DIB pattern brushes
        bool monochrome = false;  // pattern's 0 bits take the text colour, 1 bits the bk colour
        // As for pens: a PALETTEINDEX colour, or a pattern in palette colours, resolved when
        // the brush is selected.
        std::optional<uint16_t> paletteIndex;
        std::shared_ptr<const PalettePattern> palettePattern;
    };
    struct FontObject {
        LogFont font;
    };
    struct RegionObject {
        QPainterPath path;  // logical units
    };
    // Shared with the DCs that select it: changing its entries changes what they look up.
    struct PaletteObject {
        std::shared_ptr<std::vector<PaletteEntry>> entries;
    };
    using Object = std::variant<std::monostate, PenObject, BrushObject, FontObject, RegionObject,
                                PaletteObject>;

  private:
    struct DcState {
        MapMode mapMode = MapMode::Text;
        Point windowOrg, viewportOrg;
        Size windowExt{1, 1}, viewportExt{1, 1};
        QTransform world;
        BkMode bkMode = BkMode::Opaque;
        QColor bkColor = Qt::white;
        QColor textColor = Qt::black;
        ColorRef bkColorRef{0xFFFFFF}, textColorRef{0};  // as set: PALETTEINDEX follows the palette
        // The selected palette; none is GDI's default palette.
        std::shared_ptr<std::vector<PaletteEntry>> palette;
        uint32_t textAlign = 0;
        int32_t charExtra = 0;
        int32_t breakExtra = 0, breakCount = 0;  // SetTextJustification
        PolyFillMode fillMode = PolyFillMode::Alternate;
        uint32_t rop2 = rop2::CopyPen;
        uint32_t stretchMode = 1;  // BLACKONWHITE; HALFTONE (4) smooths stretched bitmaps
        ArcDirection arcDirection = ArcDirection::CounterClockwise;
        double miterLimit = 10;
        Point brushOrg;
        uint32_t layoutFlags = 0;  // SetLayout
        QPointF position;  // current position, logical units
        PenObject pen;
        BrushObject brush;
        FontObject font;
        // Clip regions in output pixels (GDI keeps clip regions in device pixels, and integer
        // regions stay fast however many rectangles a picture combines); none means the whole
        // picture.
        std::optional<QRegion> clip;
        std::optional<QRegion> metaClip;
    };

    // Transforms and units.
    void updateTransform();
    // SetLayout's right-to-left mirror in output pixels (identity for left to right).
    QTransform layoutMirror() const {
        return (m_dc.layoutFlags & layout::RightToLeft) ? m_mirrorOutput : QTransform();
    }
    QPointF toDevice(Point p) const { return m_toDevice.map(QPointF(p.x, p.y)); }
    QPointF toDevice(QPointF p) const { return m_toDevice.map(p); }
    QRectF logicalRect(const Rect& r) const;
    // Logical unit -> device units (the mean of the axes).
    double deviceScale() const { return std::sqrt(std::abs(m_toDevice.determinant())); }
    QTransform full() const { return m_toDevice * m_deviceToPainter; }  // logical -> output
    // The logical-to-device mapping and the painter's mapping keep axes parallel.
    bool axisAligned() const { return !m_toDevice.isRotating() && !m_deviceToPainter.isRotating(); }

    // Palettes: a COLORREF as the DC draws it (PALETTEINDEX takes the selected palette's entry,
    // entry 0 when the index is past its end; PALETTERGB is the colour itself on this
    // true-colour device); the palette as colours for DIB_PAL_COLORS bitmaps.
    QColor resolveColor(ColorRef color) const;
    std::vector<QRgb> paletteColors() const;
    // The palette the WMF records and EMR_SETPALETTEENTRIES name, when it exists.
    std::vector<PaletteEntry>* paletteFor(uint32_t index);
    // The selected palette changed: text and background colours given as indexes follow it.
    void paletteChanged();
    // The palette a bitmap's colours index, as paletteColors(); empty for DIB_RGB_COLORS.
    std::vector<QRgb> sourcePalette(const DibRef& dib) const {
        return dib.colorUsage == kDibRgbColors ? std::vector<QRgb>{} : paletteColors();
    }
    BrushObject resolvedBrush(const BrushObject& brush) const;

    // Painter state.
    void applyClip();
    void applyRop2();
    void restoreCompositionMode();  // back to what the DC's ROP2 asks for
    QPen devicePen(const PenObject& pen) const;
    QBrush deviceBrush(const BrushObject& brush) const;
    // A brush transform that lays pattern pixels on output pixels from the pattern anchor,
    // while the painter draws in device units.
    QTransform patternToPainter() const {
        const QPointF origin = patternOrigin();
        return QTransform::fromTranslate(origin.x(), origin.y()) * m_deviceToPainter.inverted();
    }
    // Where patterns and hatches start in output pixels: the anchor moved by the brush origin
    // (SetBrushOrgEx counts in device pixels).
    QPointF patternOrigin() const {
        return m_patternAnchor + QPointF(m_dc.brushOrg.x, m_dc.brushOrg.y);
    }
    // The DC's pen and brush as painter objects, made once per selection: building them (a
    // hatch tile, the pen's width through the transforms) costs more than drawing a small
    // figure. Anything they depend on calls penOrBrushChanged(). Making the pen also decides
    // which pixel-run paths it may take (runPen()).
    const QPen& currentPen();
    const QBrush& currentBrush();
    const PixelRuns::Pen& runPen() {
        currentPen();
        return m_runs.pen();
    }
    void penOrBrushChanged() {
        m_currentPen.reset();
        m_currentBrush.reset();
    }
    bool penVisible() const;
    bool brushVisible() const;
    // Painting a pixel twice gives the same result as painting it once (the ROP2 ignores
    // what is there), so a figure may be drawn in overlapping parts.
    bool overpaintSafe() const;

    // Drawing in device units.
    void drawDevicePath(const QPainterPath& path, bool fill, bool stroke);
    void strokeWithBackground(const QPainterPath& path);
    void addToPath(const QPainterPath& devicePath, bool connectToCurrent);
    void figure(const QPainterPath& devicePath, bool closed);
    // Sets the painter's pen (and brush when filling) for a figure drawn by the painter's own
    // calls; false when the DC's state needs the general path (styled pens, paths, R2_NOP).
    bool prepareSimple(bool fill);
    bool drawSimpleRect(const QRectF& logical);
    QPainterPath arcPath(const Rect& box, Point start, Point end, int kind) const;
    // One triangle of GRADIENT_FILL_TRIANGLE shaded inside `deviceRect`, the painter drawing
    // in output pixels.
    void shadeTriangle(const QTransform& full, std::array<const TriVertex*, 3> corners,
                       const QRect& deviceRect);

    // Regions and clipping.
    QPainterPath regionPath(const RegionData& region) const;
    void fillDeviceRegion(const QPainterPath& path, const BrushObject& brush);
    void invertDevicePath(const QPainterPath& path);
    void setClip(std::optional<QRegion> clip);
    QRegion toRegion(const QPainterPath& devicePath) const;
    void combineClip(const QRegion& region, RegionMode mode);

    // Text.
    struct FontCache;
    const FontCache& textFont(double scaleX, double scaleY);
    void addTextToPath(const QPainterPath& outlines, const QTransform& frame);
    void drawUpright(char32_t c, QPointF at, double advance, const QTransform& frame,
                     bool asOutlines, QPainterPath& outlines);
    TextRun glyphIndicesAsCharacters(const TextRun& run) const;
    void applyTextRectangle(const TextRun& run);
    void fillTextBackground(QPointF from, QPointF to, QPointF up, QPointF down);
    double textAdvances(const TextRun& run, const QString& text, const QFontMetricsF& metrics,
                        double unitsPerPixel);

    // Bitmaps.
    void drawImage(const BlitOp& op, const QImage& image, bool keepRasterOp);
    // Any ternary raster operation, pixel by pixel, when painting on a 32-bit QImage without
    // rotation; false when that is not the case (the caller then approximates). With a `mask`
    // (black and white, laid over the source as `image` is), its black pixels take
    // `backgroundRop` instead (MaskBlt).
    bool rasterOpOnImage(const QRectF& destLogical, const QImage* image, const QRectF& src,
                         uint32_t rop, const QImage* mask = nullptr, uint32_t backgroundRop = 0);
    const Object* object(uint32_t index) const;

    QPainter& m_painter;
    QRectF m_target;
    QTransform m_painterBase;  // the painter's transform when playback began
    // Where brush patterns start, in the painter's device pixels: the origin of the painter's
    // coordinates when playback began, so that a picture drawn in parts (bands of a large
    // raster) has its hatches and patterns continue across the seams.
    QPointF m_patternAnchor;
    bool m_frameUnderWorld = false;
    QPointF m_pageScale{1, 1};  // the map mode's scale, window units to viewport units
    std::optional<QPainterPath> m_outerClip;  // the caller's clip, output pixels
    QTransform m_deviceToPainter;             // device units -> painter coordinates
    QTransform m_toDevice;                    // logical -> device units
    QTransform m_mirrorOutput;                // the target turned around its vertical axis
    double m_pixelInDevice = 1;               // one target pixel in device units
    PictureInfo m_info;
    double m_unitsPerMmX = 96 / 25.4, m_unitsPerMmY = 96 / 25.4;  // reference device

    DcState m_dc;
    std::vector<DcState> m_saved;
    std::vector<Object> m_objects;

    // Path bracket: figures go into m_path (device units) instead of being drawn.
    bool m_inPath = false;
    bool m_pathOpen = false;  // a figure of m_path is open (so lines join it)
    QPainterPath m_path;

    // What the painter currently has, to change it only when needed.
    bool m_clipDirty = true;
    uint32_t m_appliedRop2 = rop2::CopyPen;
    bool m_rasterOps = false;
    // The painter draws pixels (an image), where shapes may be drawn in parts; a vector
    // device (SVG, PDF) keeps each shape whole.
    bool m_rasterTarget = false;
    PixelRuns m_runs{m_painter, m_deviceToPainter};

    // The last font made for text, with its metrics (fonts are costly to set up).
    struct FontCache {
        LogFont logFont;
        double pixelHeight = 0;
        QFont font;
        QFontMetricsF metrics;
        double aspect = 1;  // the scales' ratio the font was stretched for
        // For an "@" face: the face itself and its vertical glyphs (verticalSubstitutions).
        QRawFont raw;
        QHash<quint32, quint32> verticalGlyphs;
    };
    std::optional<FontCache> m_fontCache;
    std::vector<double> m_advances;

    std::optional<QPen> m_currentPen;  // currentPen() and currentBrush(), when made
    std::optional<QBrush> m_currentBrush;

    QPolygonF m_polygon;  // reused buffer
    qsizetype m_unsupported = 0;
    qsizetype m_simplified = 0;
};

}  // namespace plume::metafile
