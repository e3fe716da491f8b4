#include "platform/clipboard/VectorOffer.h"

#include "platform/clipboard/Clipboard.h"
#include "platform/clipboard/ClipboardFormats.h"
#include "platform/picture/SvgRendition.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutex>
#include <QPainter>
#include <QThreadPool>
#include <QWaitCondition>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <optional>

namespace plume {
namespace {

// Qt's name for image data, which it offers to other programs as PNG, BMP and the rest.
constexpr QLatin1String kImageFormat{"application/x-qt-image"};

QSize renditionSize(QSize own) {
    double scale = 1.0;
    scale = std::min(scale, double(kMaxRenditionSide) / std::max(own.width(), own.height()));
    const double pixels = double(own.width()) * own.height();
    scale = std::min(scale, std::sqrt(double(kMaxRenditionPixels) / pixels));
    const auto side = [scale](int v) { return std::max(1, int(std::floor(v * scale))); };
    return QSize(side(own.width()), side(own.height()));
}

// The raster rendition on white.
QImage rasterRendition(const metafile::Document& document, QSize size,
                       const std::function<bool()>& shouldStop) {
    if (!checkRasterSize(size)) return {};
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) return {};
    image.fill(Qt::white);
    QPainter painter(&image);
    metafile::RenderOptions options;
    options.timeLimitMs = kRenditionTimeLimitMs;
    options.shouldStop = shouldStop;
    metafile::render(document, painter, QRectF(QPointF(0, 0), QSizeF(size)), options);
    return image;
}

// The renditions of one offer, shared with the worker that draws them, which may outlive it.
struct Renditions {
    std::atomic<bool> stop{false};
    QMutex mutex;
    QWaitCondition drawn;
    std::optional<QByteArray> svg;  // empty when nothing could be drawn
    std::optional<QImage> raster;   // null likewise

    bool done() const { return svg && raster; }
    void draw(const metafile::Document& document, QSize own, double dpi) {
        const auto stopped = [this] { return stop.load(); };
        // The SVG first: the programs that take a rendition rather than the EMF are mostly
        // drawing programs, which take the SVG.
        QByteArray drawnSvg;
        if (!stopped())
            drawnSvg = svgRenditionOf(document, own, dpi, kRenditionTimeLimitMs, true, stopped).svg;
        keep([&] { svg = std::move(drawnSvg); });
        QImage drawnRaster;
        if (!stopped()) drawnRaster = rasterRendition(document, renditionSize(own), stopped);
        keep([&] { raster = std::move(drawnRaster); });
    }
    template <typename Set>
    void keep(Set set) {
        QMutexLocker lock(&mutex);
        set();
        drawn.wakeAll();
    }
};

QThreadPool& renditionPool() {
    // Owned by the application object, whose end waits for drawings that were told to stop.
    static QThreadPool* pool = [] {
        auto* made = new QThreadPool(QCoreApplication::instance());
        made->setMaxThreadCount(2);
        return made;
    }();
    return *pool;
}

class VectorOffer : public QMimeData {
  public:
    VectorOffer(metafile::DocumentPtr document, QByteArray emf, QSize own) : m_emf(std::move(emf)) {
        // A picture without extent has nothing to draw; its EMF still goes.
        if (!document || own.isEmpty()) return;
        m_renditions = std::make_shared<Renditions>();
        renditionPool().start([renditions = m_renditions, document, own, dpi = screenDpi()] {
            renditions->draw(*document, own, dpi);
        });
    }
    ~VectorOffer() override {
        if (m_renditions) m_renditions->stop = true;
    }

    QStringList formats() const override {
        QStringList list;
        for (QLatin1String target : target::kOfferedEmfTargets) list << QString(target);
        const Drawn drawn = renditions();
        if (!drawn.svg.isEmpty()) list << QString(target::kSvg);
        if (!drawn.raster.isNull()) list << QString(kImageFormat);
        // What was set on the offer the usual way (the file's address of a drag).
        return list + QMimeData::formats();
    }
    bool hasFormat(const QString& mimeType) const override { return formats().contains(mimeType); }

    bool drawn() const {
        if (!m_renditions) return true;
        QMutexLocker lock(&m_renditions->mutex);
        return m_renditions->done();
    }

  protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
        if (QMimeData::formats().contains(mimeType)) return QMimeData::retrieveData(mimeType, type);
        if (mimeType == target::kSvg) {
            const QByteArray svg = renditions().svg;
            return svg.isEmpty() ? QVariant() : QVariant(svg);
        }
        if (mimeType == kImageFormat) {
            const QImage raster = renditions().raster;
            return raster.isNull() ? QVariant() : QVariant(raster);
        }
        const auto& emfTargets = target::kOfferedEmfTargets;
        if (std::find(emfTargets.begin(), emfTargets.end(), mimeType) != emfTargets.end())
            return m_emf;
        return {};
    }

  private:
    struct Drawn {
        QByteArray svg;
        QImage raster;
    };
    // The renditions as far as they are drawn, after waiting a little for the rest.
    Drawn renditions() const {
        if (!m_renditions) return {};
        Renditions& r = *m_renditions;
        QMutexLocker lock(&r.mutex);
        const QDeadlineTimer deadline(kRenditionWaitMs);
        while (!r.done() && !deadline.hasExpired()) r.drawn.wait(&r.mutex, deadline);
        return {r.svg.value_or(QByteArray()), r.raster.value_or(QImage())};
    }

    QByteArray m_emf;
    std::shared_ptr<Renditions> m_renditions;
};

}  // namespace

std::unique_ptr<QMimeData> makeVectorOffer(metafile::DocumentPtr document, QByteArray emf,
                                           QSize own) {
    return std::make_unique<VectorOffer>(std::move(document), std::move(emf), own);
}

bool vectorOfferDrawn(const QMimeData& offer) {
    const auto* vector = dynamic_cast<const VectorOffer*>(&offer);
    return !vector || vector->drawn();
}

}  // namespace plume
