#include "platform/picture/SvgRendition.h"

#include <QBuffer>
#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QSvgGenerator>
#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <memory>

namespace plume {
namespace {

bool isPlainFill(const QBrush& brush) {
    switch (brush.style()) {
        case Qt::NoBrush:
        case Qt::SolidPattern:
        case Qt::LinearGradientPattern:
        case Qt::RadialGradientPattern:
            return true;
        default:
            return false;
    }
}

// The raster copy of the drawing that patches are taken from. Raster operations read the
// destination, and the picture's destination is white paper, as on the PNG: `paper` is drawn
// on white with every operation. The SVG's own background is transparent, so that a patch
// shows what lies under it: `coverage` is drawn on transparent with every operation but the
// raster operations, and says how much of each pixel was drawn. A pixel of the paper that a
// raster operation left other than white counts as drawn; one it left white, as paper (GDI
// keeps no alpha, so the icon mask pair and an OR of black leave paper as it was).
struct RasterCopy {
    QImage paper;
    QImage coverage;

    RasterCopy(QSize size, double dpi)
        : paper(size, QImage::Format_ARGB32_Premultiplied),
          coverage(size, QImage::Format_ARGB32_Premultiplied) {
        if (paper.isNull() || coverage.isNull()) return;
        paper.fill(Qt::white);
        coverage.fill(Qt::transparent);
        const int dotsPerMeter = int(std::lround(dpi / 0.0254));
        for (QImage* image : {&paper, &coverage}) {
            image->setDotsPerMeterX(dotsPerMeter);
            image->setDotsPerMeterY(dotsPerMeter);
        }
    }

    // The pixels of `area` with their coverage as alpha: a pixel drawn in part over white
    // paper is taken back off the white.
    QImage pixels(const QRect& area) const {
        const QRect box = area.intersected(paper.rect());
        if (box.isEmpty()) return {};
        QImage out(box.size(), QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < box.height(); ++y) {
            const auto* in =
                reinterpret_cast<const QRgb*>(paper.constScanLine(box.top() + y)) + box.left();
            const auto* cover =
                reinterpret_cast<const QRgb*>(coverage.constScanLine(box.top() + y)) + box.left();
            auto* o = reinterpret_cast<QRgb*>(out.scanLine(y));
            for (int x = 0; x < box.width(); ++x) {
                const QRgb c = in[x];
                int a = qAlpha(cover[x]);
                if (a == 0 && (c & 0x00ffffffu) != 0x00ffffffu) a = 255;
                const int under = 255 - a;
                o[x] = qRgba(std::max(qRed(c) - under, 0), std::max(qGreen(c) - under, 0),
                             std::max(qBlue(c) - under, 0), a);
            }
        }
        return out;
    }
};

// Receives the drawing of one picture and passes each operation on to the SVG painter, and
// to a raster copy of the whole drawing when one could be made.
class RenditionEngine : public QPaintEngine {
  public:
    // Without a raster copy and `probing`, the engine stops at the first operation that
    // needs one and says so (wantsRaster), so that the drawing can be made again with it.
    RenditionEngine(QPainter& svg, RasterCopy* raster, double rasterScale, QSize size, bool probing)
        : QPaintEngine(QPaintEngine::AllFeatures),
          m_svg(svg),
          m_raster(raster),
          m_rasterScale(rasterScale),
          m_canvas(QPointF(0, 0), QSizeF(size)),
          m_probing(probing && !raster) {
        if (m_raster) {
            m_paperPainter = std::make_unique<QPainter>(&m_raster->paper);
            m_coveragePainter = std::make_unique<QPainter>(&m_raster->coverage);
        }
    }

    bool begin(QPaintDevice*) override { return true; }
    bool end() override {
        if (m_paperPainter) m_paperPainter->end();
        if (m_coveragePainter) m_coveragePainter->end();
        return true;
    }
    Type type() const override { return QPaintEngine::User; }

    bool wantsRaster() const { return m_wantsRaster; }

    void updateState(const QPaintEngineState& state) override {
        if (state.state() & (DirtyClipPath | DirtyClipRegion | DirtyClipEnabled))
            m_clipKnown = false;
    }

    void drawPath(const QPainterPath& path) override {
        paint(path.controlPointRect(), true, &path, [&](QPainter& q) { q.drawPath(path); });
    }

    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override {
        if (count <= 0) return;
        const QPolygonF polygon(QList<QPointF>(points, points + count));
        QPainterPath path;
        path.addPolygon(polygon);
        if (mode == PolylineMode) {
            paint(polygon.boundingRect(), false, &path,
                  [&](QPainter& q) { q.drawPolyline(polygon); });
            return;
        }
        path.closeSubpath();
        const Qt::FillRule rule = mode == WindingMode ? Qt::WindingFill : Qt::OddEvenFill;
        path.setFillRule(rule);
        paint(polygon.boundingRect(), true, &path,
              [&](QPainter& q) { q.drawPolygon(polygon, rule); });
    }

    void drawPixmap(const QRectF& r, const QPixmap& pixmap, const QRectF& sr) override {
        drawImage(r, pixmap.toImage(), sr, Qt::AutoColor);
    }

    void drawImage(const QRectF& r, const QImage& image, const QRectF& sr,
                   Qt::ImageConversionFlags flags) override {
        const QImage blocks = enlargedBlocks(r, image, sr);
        paint(r, false, nullptr, [&](QPainter& q) {
            if (&q == &m_svg && !blocks.isNull())
                q.drawImage(r, blocks);
            else
                q.drawImage(r, image, sr, flags);
        });
    }

    void drawTiledPixmap(const QRectF& r, const QPixmap& pixmap, const QPointF& s) override {
        paint(r, false, nullptr, [&](QPainter& q) { q.drawTiledPixmap(r, pixmap, s); });
    }

    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        // Slanted and overhanging glyphs reach beyond the advance; half an em either side.
        const qreal margin = item.ascent() + item.descent();
        const QRectF bounds(p.x() - margin / 2, p.y() - item.ascent(), item.width() + margin,
                            item.ascent() + item.descent());
        paint(bounds, false, nullptr, [&](QPainter& q) { q.drawTextItem(p, item); });
    }

  private:
    using Draw = std::function<void(QPainter&)>;

    // A bitmap stretched without smoothing (GDI's usual stretch modes) shows its pixels as
    // blocks; SVG viewers smooth every image they enlarge. The SVG gets the bitmap already
    // enlarged to the pixels it covers, within limits, so that it shows the same blocks.
    QImage enlargedBlocks(const QRectF& r, const QImage& image, const QRectF& sr) const {
        const QPainter* p = painter();
        if (p->renderHints() & QPainter::SmoothPixmapTransform) return {};
        const QTransform& t = p->combinedTransform();
        if (t.type() > QTransform::TxScale) return {};
        const QSize covered = t.mapRect(r).size().toSize();
        const QRect source = sr.toAlignedRect().intersected(image.rect());
        if (source.isEmpty() || covered.width() < source.width() * 3 / 2 ||
            covered.height() < source.height() * 3 / 2)
            return {};
        if (qint64(covered.width()) * covered.height() > kMaxSvgPatchPixels) return {};
        return image.copy(source).scaled(covered, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }

    // The clip of the drawing in device pixels, read again only after it changed: a painter
    // rebuilds its clip path on every question.
    void refreshClip() {
        if (m_clipKnown) return;
        m_clipKnown = true;
        ++m_clipVersion;
        const QPainter* p = painter();
        m_hasClip = p->hasClipping();
        m_clip = m_hasClip ? p->combinedTransform().map(p->clipPath()) : QPainterPath();
        // Drawing programs clip their metafiles to the whole picture; that clip cuts nothing
        // the picture's own edges do not.
        m_clipCuts = m_hasClip && !m_clip.contains(m_canvas);
    }

    void applyState(QPainter& q, const QTransform& toDevice) const {
        const QPainter* p = painter();
        q.setTransform(p->combinedTransform() * toDevice);
        q.setPen(p->pen());
        q.setBrush(p->brush());
        q.setBrushOrigin(p->brushOrigin());
        q.setFont(p->font());
        q.setOpacity(p->opacity());
        q.setRenderHints(p->renderHints());
        q.setBackground(p->background());
        q.setBackgroundMode(p->backgroundMode());
    }

    void drawOnRaster(const Draw& draw) {
        if (!m_raster) return;
        const QPainter::CompositionMode mode = painter()->compositionMode();
        const QTransform scale = QTransform::fromScale(m_rasterScale, m_rasterScale);
        const bool clipChanged = m_rasterClipVersion != m_clipVersion;
        m_rasterClipVersion = m_clipVersion;
        for (QPainter* q : {m_paperPainter.get(), m_coveragePainter.get()}) {
            // A raster operation leaves its mark on the coverage by the colour it makes on
            // the paper (see RasterCopy).
            if (q == m_coveragePainter.get() && mode >= QPainter::RasterOp_SourceOrDestination)
                continue;
            if (clipChanged) {
                q->setTransform(scale);
                if (m_hasClip)
                    q->setClipPath(m_clip);
                else
                    q->setClipping(false);
            }
            applyState(*q, scale);
            q->setCompositionMode(mode);
            draw(*q);
        }
    }

    // Where the operation may leave ink, in device pixels, with room for wide pens and joins.
    QRectF deviceBounds(const QRectF& logical, bool stroked) const {
        const QPainter* p = painter();
        const QTransform& t = p->combinedTransform();
        QRectF r = t.mapRect(logical);
        qreal pad = 1;
        if (stroked && p->pen().style() != Qt::NoPen) {
            const QPen& pen = p->pen();
            const qreal width = std::max<qreal>(pen.widthF(), 1);
            const qreal scale = pen.isCosmetic() ? 1 : std::sqrt(std::abs(t.determinant()));
            pad += width * scale * std::max<qreal>(pen.miterLimit(), 2);
        }
        return r.adjusted(-pad, -pad, pad, pad);
    }

    void paint(const QRectF& logical, bool fills, const QPainterPath* shape, const Draw& draw) {
        if (m_wantsRaster) return;
        refreshClip();
        drawOnRaster(draw);

        const QPainter* p = painter();
        const QPen& pen = p->pen();
        const QBrush& brush = fills ? p->brush() : QBrush(Qt::NoBrush);
        const bool penPlain = pen.style() == Qt::NoPen || pen.brush().style() == Qt::SolidPattern;
        const bool plain = p->compositionMode() == QPainter::CompositionMode_SourceOver &&
                           penPlain && isPlainFill(brush);
        const QRectF bounds = deviceBounds(logical, shape != nullptr);
        if (m_hasClip && !m_clip.intersects(bounds)) return;  // all of it clipped away
        const QRectF visible = bounds.intersected(m_canvas);
        const bool cut = m_clipCuts && !visible.isEmpty() && !m_clip.contains(visible);

        if (plain && !cut) {
            if (shape && (drawWithDevicePen(*shape, brush) || drawSnappedBox(*shape, brush)))
                return;
            applyState(m_svg, QTransform());
            draw(m_svg);
            return;
        }
        const bool solid = brush.style() == Qt::NoBrush || brush.style() == Qt::SolidPattern;
        if (plain && shape && solid) {
            drawCut(*shape, brush);
            return;
        }
        if (m_probing) {
            m_wantsRaster = true;
            return;
        }
        if (!drawPatch(bounds)) {
            // No raster copy, or enough patches: the closest vector data there is.
            applyState(m_svg, QTransform());
            draw(m_svg);
            return;
        }
        // A shape's plain outline goes on top of its patch as vector data, so that the line
        // stays sharp at any size.
        if (shape && penPlain && pen.style() != Qt::NoPen &&
            p->compositionMode() == QPainter::CompositionMode_SourceOver) {
            if (cut) {
                drawCut(*shape, QBrush(Qt::NoBrush));
            } else if (!drawWithDevicePen(*shape, QBrush(Qt::NoBrush))) {
                applyState(m_svg, QTransform());
                m_svg.setBrush(Qt::NoBrush);
                m_svg.drawPath(*shape);
            }
        }
    }

    // A line of one device pixel (a cosmetic pen) under a scaling transform goes in device
    // pixels: the SVG says "non-scaling stroke" for it, which many viewers ignore, drawing the
    // line as many times wider or thinner as the transform scales (a hairline outline in a
    // picture whose window is one unit wide became a band hundreds of pixels wide).
    bool drawWithDevicePen(const QPainterPath& shape, const QBrush& brush) {
        const QPainter* p = painter();
        const QPen& pen = p->pen();
        const QTransform& t = p->combinedTransform();
        if (pen.style() == Qt::NoPen || !pen.isCosmetic() || t.type() <= QTransform::TxTranslate)
            return false;
        if (brush.style() != Qt::NoBrush && brush.style() != Qt::SolidPattern) return false;
        applyState(m_svg, QTransform());
        m_svg.resetTransform();
        m_svg.setBrush(brush);
        m_svg.drawPath(t.map(shape));
        return true;
    }

    // An unsmoothed box with no outline fills whole pixels, as the raster drawing does: the
    // SVG gets it on whole pixels too. Otherwise the rows of a gradient, drawn as boxes one
    // unit high at a fraction of a pixel, show a light seam between every two rows where
    // viewers smooth both edges.
    bool drawSnappedBox(const QPainterPath& shape, const QBrush& brush) {
        const QPainter* p = painter();
        if (p->pen().style() != Qt::NoPen || brush.style() != Qt::SolidPattern ||
            (p->renderHints() & QPainter::Antialiasing))
            return false;
        const QTransform& t = p->combinedTransform();
        if (t.type() > QTransform::TxScale || shape.elementCount() < 4 || shape.elementCount() > 5)
            return false;
        const QRectF box = shape.boundingRect();
        for (int i = 0; i < shape.elementCount(); ++i) {
            const QPainterPath::Element e = shape.elementAt(i);
            if ((e.x != box.left() && e.x != box.right()) ||
                (e.y != box.top() && e.y != box.bottom()))
                return false;
        }
        const QRectF device = t.mapRect(box);
        const QRectF snapped(QPointF(std::round(device.left()), std::round(device.top())),
                             QPointF(std::round(device.right()), std::round(device.bottom())));
        if (snapped.isEmpty()) return true;  // no pixel centre inside: nothing drawn
        applyState(m_svg, QTransform());
        m_svg.resetTransform();
        m_svg.fillRect(snapped, brush.color());
        return true;
    }

    // A shape with solid fill and pen that the clip cuts through: the fill and the pen's
    // outline, each intersected with the clip, as filled paths in device pixels.
    void drawCut(const QPainterPath& shape, const QBrush& brush) {
        const QPainter* p = painter();
        const QTransform& t = p->combinedTransform();
        m_svg.resetTransform();
        m_svg.setOpacity(p->opacity());
        m_svg.setRenderHints(p->renderHints());
        if (brush.style() != Qt::NoBrush)
            m_svg.fillPath(t.map(shape).intersected(m_clip), brush.color());
        const QPen& pen = p->pen();
        if (pen.style() == Qt::NoPen) return;
        QPainterPath outline;
        if (pen.isCosmetic()) {
            QPen devicePen = pen;
            devicePen.setWidthF(std::max<qreal>(pen.widthF(), 1));
            outline = QPainterPathStroker(devicePen).createStroke(t.map(shape));
        } else {
            outline = t.map(QPainterPathStroker(pen).createStroke(shape));
        }
        m_svg.fillPath(outline.intersected(m_clip), pen.color());
    }

    // The pixels of the raster copy under the operation, now that it has been drawn there.
    bool drawPatch(const QRectF& bounds) {
        if (!m_raster || m_patches >= kMaxSvgPatches) return false;
        QRectF area = bounds.intersected(m_canvas);
        if (m_hasClip) area = area.intersected(m_clip.boundingRect());
        const QRect whole = area.toAlignedRect().intersected(m_canvas.toAlignedRect());
        if (whole.isEmpty()) return true;
        const double canvasArea = m_canvas.width() * m_canvas.height();
        const double areaAfter = m_patchArea + double(whole.width()) * whole.height();
        if (areaAfter > kMaxSvgPatchAreaInPictures * canvasArea) return false;
        const QRect source(int(std::floor(whole.left() * m_rasterScale)),
                           int(std::floor(whole.top() * m_rasterScale)),
                           int(std::ceil(whole.width() * m_rasterScale)),
                           int(std::ceil(whole.height() * m_rasterScale)));
        const QImage pixels = m_raster->pixels(source);
        if (pixels.isNull()) return true;
        ++m_patches;
        m_patchArea = areaAfter;
        m_svg.resetTransform();
        m_svg.setOpacity(1);
        m_svg.setRenderHint(QPainter::SmoothPixmapTransform, true);
        m_svg.drawImage(QRectF(whole), pixels);
        return true;
    }

    QPainter& m_svg;
    RasterCopy* m_raster;
    double m_rasterScale;
    std::unique_ptr<QPainter> m_paperPainter;
    std::unique_ptr<QPainter> m_coveragePainter;
    QRectF m_canvas;

    bool m_clipKnown = false;
    bool m_hasClip = false;
    bool m_clipCuts = false;
    QPainterPath m_clip;
    int m_clipVersion = 0;
    int m_rasterClipVersion = -1;

    int m_patches = 0;
    double m_patchArea = 0;
    bool m_probing;
    bool m_wantsRaster = false;
};

// The device the engine draws the picture on: the SVG's size and resolution, so that fonts
// and pens are sized as on the SVG itself.
class RenditionDevice : public QPaintDevice {
  public:
    RenditionDevice(QPainter& svg, RasterCopy* raster, double rasterScale, QSize size, double dpi,
                    bool probing)
        : m_engine(std::make_unique<RenditionEngine>(svg, raster, rasterScale, size, probing)),
          m_size(size),
          m_dpi(dpi) {}

    QPaintEngine* paintEngine() const override { return m_engine.get(); }
    bool wantsRaster() const { return m_engine->wantsRaster(); }

  protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
            case PdmWidth:
                return m_size.width();
            case PdmHeight:
                return m_size.height();
            case PdmWidthMM:
                return int(std::lround(m_size.width() * 25.4 / m_dpi));
            case PdmHeightMM:
                return int(std::lround(m_size.height() * 25.4 / m_dpi));
            case PdmNumColors:
                return INT_MAX;
            case PdmDepth:
                return 32;
            case PdmDpiX:
            case PdmDpiY:
            case PdmPhysicalDpiX:
            case PdmPhysicalDpiY:
                return int(std::lround(m_dpi));
            case PdmDevicePixelRatio:
                return 1;
            case PdmDevicePixelRatioScaled:
                return int(QPaintDevice::devicePixelRatioFScale());
            default:
                return 0;
        }
    }

  private:
    std::unique_ptr<RenditionEngine> m_engine;
    QSize m_size;
    double m_dpi;
};

// Leaves out what XML 1.0 forbids in a document (its Char production): the control
// characters other than tab, line feed and carriage return, and U+FFFE and U+FFFF. A
// metafile's text may hold any of them, and Qt's SVG generator writes text as it stands, so
// that XML readers refuse the whole SVG. They draw nothing, so the text loses no ink.
// Unpaired surrogates never reach the bytes: Qt writes U+FFFD for them.
void keepXmlCharacters(QByteArray& svg) {
    qsizetype out = 0;
    const qsizetype size = svg.size();
    char* data = svg.data();
    for (qsizetype in = 0; in < size; ++in) {
        const auto c = static_cast<unsigned char>(data[in]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') continue;
        if (c == 0xEF && in + 2 < size && static_cast<unsigned char>(data[in + 1]) == 0xBF &&
            (static_cast<unsigned char>(data[in + 2]) & 0xFE) == 0xBE) {
            in += 2;  // U+FFFE or U+FFFF
            continue;
        }
        data[out++] = data[in];
    }
    svg.truncate(out);
}

// One drawing of the document into an SVG; with `probing`, false when it stopped because an
// operation needs the raster copy.
bool drawSvg(const metafile::Document& document, QSize size, double dpi, RasterCopy* raster,
             double scale, bool probing, const metafile::RenderOptions& options,
             SvgRendition& rendition) {
    QByteArray& svg = rendition.svg;
    svg.clear();
    QBuffer buffer(&svg);
    buffer.open(QIODevice::WriteOnly);
    const QRectF target(0, 0, size.width(), size.height());
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size);
    generator.setViewBox(target);
    generator.setResolution(int(std::lround(dpi)));
    QPainter svgPainter(&generator);
    bool complete = true;
    {
        RenditionDevice device(svgPainter, raster, scale, size, dpi, probing);
        QPainter painter(&device);
        rendition.cutOff = metafile::render(document, painter, target, options).cutOff;
        painter.end();
        complete = !device.wantsRaster();
    }
    svgPainter.end();
    keepXmlCharacters(svg);
    return complete;
}

}  // namespace

SvgRendition svgRenditionOf(const metafile::Document& document, QSize size, double dpi,
                            int timeLimitMs, bool drawEmfPlus,
                            const std::function<bool()>& shouldStop) {
    if (size.isEmpty() || !(dpi > 0)) return {};
    metafile::RenderOptions options;
    options.timeLimitMs = timeLimitMs;
    options.drawEmfPlus = drawEmfPlus;
    options.shouldStop = shouldStop;

    // Most drawings need no raster copy: a first drawing without one stops at the first
    // operation that does, and only then is the drawing made again with it.
    const double pixels = double(size.width()) * size.height();
    const double scale =
        std::min(kSvgPatchScale, std::sqrt(double(kMaxSvgPatchPixels) / std::max(pixels, 1.0)));
    const bool rasterPossible = scale >= 0.5;
    SvgRendition svg;
    if (drawSvg(document, size, dpi, nullptr, scale, rasterPossible, options, svg)) return svg;

    // The raster copy, at the resolution of the device, so that fonts come out the same size.
    RasterCopy raster(QSize(std::max(1, int(std::ceil(size.width() * scale))),
                            std::max(1, int(std::ceil(size.height() * scale)))),
                      dpi);
    if (raster.paper.isNull() || raster.coverage.isNull()) {
        drawSvg(document, size, dpi, nullptr, scale, false, options, svg);
        return svg;
    }
    drawSvg(document, size, dpi, &raster, scale, false, options, svg);
    return svg;
}

}  // namespace plume
