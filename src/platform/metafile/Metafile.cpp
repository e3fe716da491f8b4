#include "platform/metafile/Metafile.h"

#include "platform/metafile/EmfReader.h"
#include "platform/metafile/GdiPlayer.h"
#include "platform/metafile/PlayableDocument.h"
#include "platform/metafile/WmfDocument.h"

#include <QElapsedTimer>
#include <QPainter>
#include <algorithm>

namespace plume::metafile {

namespace {

uint32_t u32At(const QByteArray& b, qsizetype at) {
    if (at < 0 || b.size() - at < 4) return 0;
    const auto* p = reinterpret_cast<const uint8_t*>(b.constData()) + at;
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

uint16_t u16At(const QByteArray& b, qsizetype at) {
    if (at < 0 || b.size() - at < 2) return 0;
    const auto* p = reinterpret_cast<const uint8_t*>(b.constData()) + at;
    return uint16_t(p[0] | p[1] << 8);
}

bool looksLikePlaceableWmf(const QByteArray& bytes) {
    return bytes.size() >= 22 && u32At(bytes, 0) == 0x9AC6CDD7;
}

// META_HEADER (MS-WMF 2.3.2.2): type 1 (memory) or 2 (disk), header size 9 words, version
// 0x0100 or 0x0300.
bool looksLikeRawWmf(const QByteArray& bytes) {
    const uint16_t type = u16At(bytes, 0), headerWords = u16At(bytes, 2), version = u16At(bytes, 4);
    return bytes.size() >= 18 && (type == 1 || type == 2) && headerWords == 9 &&
           (version == 0x0100 || version == 0x0300);
}

class EmfDocument final : public PlayableDocument {
  public:
    explicit EmfDocument(EmfFile file) : m_file(std::move(file)) {}

    Format format() const override { return Format::Emf; }

    QSizeF sizeAtDpi(double dpi) const override {
        const QRectF f = frame100thMm();
        return QSizeF(f.width() * dpi / 2540.0, f.height() * dpi / 2540.0);
    }

    QRectF frame100thMm() const override {
        const EmfHeader& h = m_file.header;
        const double w = double(int64_t(h.frame.right) - h.frame.left);
        const double hh = double(int64_t(h.frame.bottom) - h.frame.top);
        if (w > 0 && hh > 0) return QRectF(h.frame.left, h.frame.top, w, hh);
        // No usable frame: the drawn bounds at the reference device's resolution.
        const double mmX = h.devicePixels.cx > 0 && h.deviceMillimeters.cx > 0
                               ? double(h.deviceMillimeters.cx) / h.devicePixels.cx
                               : 25.4 / 96;
        const double mmY = h.devicePixels.cy > 0 && h.deviceMillimeters.cy > 0
                               ? double(h.deviceMillimeters.cy) / h.devicePixels.cy
                               : 25.4 / 96;
        const double bw = double(int64_t(h.bounds.right) - h.bounds.left) + 1;
        const double bh = double(int64_t(h.bounds.bottom) - h.bounds.top) + 1;
        if (bw > 0 && bh > 0)
            return QRectF(h.bounds.left * mmX * 100, h.bounds.top * mmY * 100, bw * mmX * 100,
                          bh * mmY * 100);
        return QRectF(0, 0, 0, 0);
    }

    QByteArray toEmf() const override { return m_file.bytes; }
    const QByteArray& bytes() const override { return m_file.bytes; }
    qsizetype recordCount() const override { return qsizetype(m_file.records.size()); }
    QString truncationNote() const override { return m_file.truncationNote; }

    PlaybackStats play(GdiSink& sink, const PlaybackControl& control) const override {
        return playEmf(m_file, sink, control);
    }

  private:
    EmfFile m_file;
};

}  // namespace

bool looksLikeMetafile(const QByteArray& bytes) {
    return looksLikeEmf(bytes) || looksLikePlaceableWmf(bytes) || looksLikeRawWmf(bytes);
}

ParseResult parseMetafile(const QByteArray& bytes) {
    if (bytes.size() > kMaxMetafileBytes)
        return ParseError{0, QStringLiteral("The metafile is larger than 256 MiB.")};
    if (looksLikeEmf(bytes)) {
        auto read = readEmf(bytes);
        if (auto* error = std::get_if<ParseError>(&read)) return *error;
        return std::make_shared<const EmfDocument>(std::get<EmfFile>(std::move(read)));
    }
    if (looksLikePlaceableWmf(bytes) || looksLikeRawWmf(bytes)) return parseWmfDocument(bytes);
    return ParseError{0, QStringLiteral("This is no EMF or WMF metafile.")};
}

RenderStats render(const Document& document, QPainter& painter, const QRectF& target,
                   const RenderOptions& options) {
    RenderStats stats;
    const auto* playable = dynamic_cast<const PlayableDocument*>(&document);
    if (!playable || !painter.isActive()) return stats;
    QElapsedTimer timer;
    timer.start();
    PlaybackControl control;
    const qint64 limit = std::max(0, options.timeLimitMs);
    control.shouldStop = [&timer, limit] { return timer.elapsed() >= limit; };
    GdiPlayer player(painter, target);
    player.setFrameMappedUnderWorld(document.format() == Format::Emf);
    const PlaybackStats played = playable->play(player, control);
    stats.recordsPlayed = played.recordsPlayed - player.unsupportedCount();
    stats.recordsSkipped = played.recordsSkipped + player.unsupportedCount();
    stats.cutOff = played.cutOff;
    return stats;
}

}  // namespace plume::metafile
