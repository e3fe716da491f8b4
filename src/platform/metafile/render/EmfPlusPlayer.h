#pragma once

// EmfPlusPlayer: draws EMF+ records (EmfPlusRecords.h) on a QPainter, beside the GdiPlayer
// that draws the GDI records of the same picture. It holds the state of a GDI+ Graphics: the
// object table (64 slots), world and page transforms, clip, rendering settings, and the stack
// of saved states and containers.
//
// Coordinates go world -> page (the page unit and scale, at the EMF+ header's dpi) -> the
// reference device's pixels -> the painter, through the same device mapping as the GDI
// records of the picture (given by the GdiPlayer), so both parts of a picture line up.
//
// The painter is shared with the GdiPlayer: the EMF+ player saves the painter's state when
// it starts drawing and restores it before GDI records are drawn again (after GetDC), so each
// player finds the painter as it left it. The sources: EmfPlusPlayer.cpp (state, transforms,
// clipping, the record switch), EmfPlusPlayerDraw.cpp (pens, brushes, paths, figures and
// images), EmfPlusPlayerText.cpp (strings).

#include "platform/metafile/format/EmfPlusRecords.h"
#include "platform/metafile/format/LogFont.h"
#include "platform/metafile/format/PathBoolean.h"

#include <QBrush>
#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <QRectF>
#include <QTextLine>
#include <QTransform>
#include <array>
#include <functional>
#include <optional>
#include <vector>

class QPainter;

namespace plume::metafile {

// What EMF+ records leave for the records after them to draw with: the object table (64
// slots) and the last image effect; and the one rule of which records the player draws as
// GDI+ does, given those. Deciding whether a dual picture is drawn from its EMF+ records
// keeps one of these without drawing; the player keeps its own while it draws.
class EmfPlusObjects {
  public:
    // Whether the player draws the record as GDI+ would with the objects held now: false for
    // a record type it does not draw, and for a figure, text, image or clip whose brush, pen,
    // path, region, font or image is missing or one it draws only in part. Records that draw
    // nothing themselves (state, objects, settings) are drawn. A dual picture is drawn from
    // its EMF+ records only when every one of them is; a picture with no other rendition
    // (EMF+ only) is drawn as well as the player can, records it cannot draw as GDI+ does
    // included.
    bool canDraw(const emfplus::Record& record) const;

    // Takes an object into its slot, or the image effect for the images after it.
    void keep(const emfplus::ObjectRecord& object) { m_objects[object.id] = object; }
    void keep(const emfplus::ImageEffectRecord& effect) { m_effect = effect; }

  protected:
    std::array<emfplus::ObjectRecord, emfplus::kObjectTableSize> m_objects{};
    // The last image effect, for the images drawn with the effect flag.
    std::optional<emfplus::ImageEffectRecord> m_effect;

  private:
    bool brushDrawable(const emfplus::BrushRef& ref) const;
    bool penDrawable(uint32_t id) const;
    bool imageDrawable(const emfplus::ImageDrawRecord& record) const;
    template <typename T>
    const T* object(uint32_t id) const {
        return id < m_objects.size() ? std::get_if<T>(&m_objects[id].data) : nullptr;
    }
};

class EmfPlusPlayer : public EmfPlusObjects {
  public:
    // `deviceToPainter` maps the reference device's pixels to the painter's coordinates;
    // `target` is the picture's rectangle in the painter's device pixels (what Clear fills).
    // Made before any record is drawn: the painter's clip then is the caller's.
    EmfPlusPlayer(QPainter& painter, const QTransform& deviceToPainter, const QRectF& target);
    ~EmfPlusPlayer();

    // Draws or applies one record; false when the record is not drawn (a kind the player
    // does not draw yet, or one that names an object it cannot use). A record canDraw()
    // refuses may still be drawn in part (see canDraw).
    bool play(const emfplus::Record& record);

    // Gives the painter back as the GDI player left it (before the GDI records after GetDC,
    // and at the end); the next record takes it again.
    void release();

    // Figures drawn simplified by a bound on the work of one record (a stroke of too many
    // dashes, clips too large to combine exactly).
    qsizetype simplifiedCount() const { return m_simplified; }

  private:
    struct State {
        QTransform world;
        emfplus::Unit pageUnit = emfplus::Unit::Display;
        float pageScale = 1;
        // Clips in the painter's device pixels; none is no clip. `outer` is the clip of the
        // enclosing containers, which a container's own clip never widens.
        std::optional<QPainterPath> clip;
        std::optional<QPainterPath> outer;
        bool antialias = false;
        bool sourceCopy = false;
        bool nearestImages = false;  // interpolation mode nearest neighbour
        QPointF renderingOrigin;     // where hatch cells start, output pixels
    };

    // Transforms.
    double unitPixels(emfplus::Unit unit, bool vertical) const;
    QTransform pageTransform() const;
    QTransform worldToPainter() const {
        return m_state.world * pageTransform() * m_deviceToPainter;
    }

    // Painter state.
    void take();
    void applyPainterState();
    void combineClip(const QPainterPath& painterPath, uint8_t mode);
    bool playClip(const emfplus::ClipRecord& record);
    void playStack(const emfplus::StackRecord& record);
    void beginContainer(const emfplus::BeginContainerRecord& record);
    bool playSetting(const emfplus::SettingRecord& record);

    // Objects (EmfPlusPlayerDraw.cpp).
    std::optional<QBrush> brushOf(const emfplus::BrushRef& ref) const;
    std::optional<QBrush> makeBrush(const emfplus::Brush& brush) const;
    std::optional<QBrush> pathGradient(const emfplus::Brush& brush) const;
    std::optional<QPainterPath> brushBounds(const emfplus::BrushRef& ref) const;
    std::optional<QPen> penOf(uint8_t id) const;
    const emfplus::Path* pathOf(uint8_t id) const;

    // Figures (EmfPlusPlayerDraw.cpp), in world coordinates.
    bool fill(const QPainterPath& path, const emfplus::BrushRef& brush);
    bool stroke(const QPainterPath& path, uint8_t pen);
    // Pens beyond Qt's stroker (EmfPlusPlayerPens.cpp).
    static bool needsShaping(const emfplus::Pen& pen);
    void strokeShaped(const QPainterPath& path, const emfplus::Pen& pen, const QPen& qpen);
    void drawCustomCap(const emfplus::CustomCap& cap, const QTransform& toWorld, const QPen& qpen);
    std::vector<QPainterPath> compoundBands(const QPainterPath& figures, const emfplus::Pen& pen,
                                            double width) const;
    QPainterPath combinePaths(const QPainterPath& a, const QPainterPath& b, PathOp op);
    std::optional<QPainterPath> intersect(const std::optional<QPainterPath>& a,
                                          const std::optional<QPainterPath>& b);
    bool playClear(uint32_t color);
    bool playRects(const std::vector<QRectF>& rects, bool fill, const emfplus::BrushRef& brush,
                   uint8_t pen);
    bool playEllipse(const emfplus::EllipseRecord& record);
    bool playPoly(const emfplus::PolyRecord& record);
    bool playPathDraw(const emfplus::PathDrawRecord& record);
    bool playImage(const emfplus::ImageDrawRecord& record);  // EmfPlusPlayerImages.cpp
    void drawBitmap(const emfplus::ImageDrawRecord& record, const QImage& bitmap,
                    const QTransform& square);
    bool drawMetafile(const emfplus::ImageDrawRecord& record, const QByteArray& bytes,
                      const QTransform& square);
    bool playString(const emfplus::StringRecord& record);  // EmfPlusPlayerText.cpp
    void drawLines(const std::vector<QTextLine>& lines, const QTransform& flow,
                   const QTransform& fontScale, const QRectF& clip, const QBrush& brush,
                   double pixels, const std::function<QPointF(const QTextLine&)>& at);
    bool playDriverString(const emfplus::DriverStringRecord& record);
    double fontPixels(const emfplus::Font& font, double outputScale) const;
    static LogFont logFontOf(const emfplus::Font& font, double pixels);

    QPainter& m_painter;
    qsizetype m_simplified = 0;
    QTransform m_deviceToPainter;
    QRectF m_target;
    double m_dpiX = 96, m_dpiY = 96;
    bool m_taken = false;
    bool m_painterDirty = true;
    std::optional<QPainterPath> m_callerClip;  // the caller's clip, painter device pixels

    State m_state;
    struct Saved {
        uint32_t index = 0;
        State state;
    };
    std::vector<Saved> m_stack;
    // Path gradient bands painted for a brush object at one output size, kept while that
    // object stays in its slot: a picture that fills many figures with one brush paints its
    // bands once. Few entries, the oldest dropped first.
    struct GradientBands {
        const emfplus::Brush* brush = nullptr;
        int width = 0, height = 0;
        QImage image;
    };
    mutable std::vector<GradientBands> m_gradientBands;
    QImage gradientBands(const emfplus::Brush& brush, int width, int height,
                         const std::function<QRgb(double)>& colorAt) const;
    void forgetGradientBands(uint8_t slot);
};

// Whether a brush or pen object is one the player draws as GDI+ would (canDraw's rule).
bool emfPlusBrushDrawable(const emfplus::Brush& brush);
bool emfPlusPenDrawable(const emfplus::Pen& pen);

// One tile of an image repeated with wrap mode 1 to 3 (the image and its mirror images); the
// image itself for the other modes.
QImage wrapTile(const QImage& image, int32_t wrapMode);

}  // namespace plume::metafile
