#include "platform/metafile/format/WmfDocument.h"

#include "platform/metafile/format/EmfWriter.h"
#include "platform/metafile/format/PlayableDocument.h"

#include <algorithm>
#include <cmath>

namespace plume::metafile {
namespace {

std::span<const uint8_t> span(const QByteArray& b) {
    return {reinterpret_cast<const uint8_t*>(b.constData()), static_cast<size_t>(b.size())};
}

class WmfDocument final : public PlayableDocument {
  public:
    WmfDocument(QByteArray bytes, WmfFile file, std::optional<Rect> frame)
        : m_bytes(std::move(bytes)),
          m_file(std::move(file)),
          m_frame(frame),
          m_info(wmfPictureInfo(m_file, frame)),
          m_embedded(wholeEmbeddedEmf(m_file.scan)) {}

    Format format() const override {
        return m_file.header.placeable ? Format::PlaceableWmf : Format::RawWmf;
    }

    QSizeF sizeAtDpi(double dpi) const override {
        const QRectF f = frame100thMm();
        return QSizeF(f.width() * dpi / 2540.0, f.height() * dpi / 2540.0);
    }

    QRectF frame100thMm() const override {
        const Rect& f = m_info.frame;
        return QRectF(f.left, f.top, double(int64_t(f.right) - f.left),
                      double(int64_t(f.bottom) - f.top));
    }

    QByteArray toEmf() const override { return convertWmfToEmf(span(m_bytes), m_file, m_frame); }
    const QByteArray& bytes() const override { return m_bytes; }
    qsizetype recordCount() const override { return qsizetype(m_file.records.size()); }
    QString truncationNote() const override { return m_file.truncationNote; }

    PlaybackStats play(GdiSink& sink, const PlaybackControl& control) const override {
        if (m_embedded) return playEmbedded(sink, control);
        return playWmf(span(m_bytes), m_file, sink, WmfPlayOptions{m_frame, control});
    }
    bool playsEmfRecords() const override { return m_embedded != nullptr; }
    // The embedded EMF's records, so that an EMF+ drawing in it is drawn as in the EMF itself.
    const EmfFile* emfFile() const override { return m_embedded ? m_embedded->emfFile() : nullptr; }

    // Counted as the WMF's records, so that each record read is played or skipped once: as many
    // of them skipped as the EMF skipped records.
    PlaybackStats countedAsOwnRecords(const PlaybackStats& emf) const override {
        PlaybackStats stats;
        const auto records = qsizetype(m_file.records.size());
        stats.recordsSkipped = std::min(records, emf.recordsSkipped);
        stats.recordsUnknown = std::min(stats.recordsSkipped, emf.recordsUnknown);
        stats.recordsPlayed = records - stats.recordsSkipped;
        stats.cutOff = emf.cutOff;
        return stats;
    }

  private:
    QByteArray m_bytes;
    WmfFile m_file;
    std::optional<Rect> m_frame;
    PictureInfo m_info;
    std::shared_ptr<const PlayableDocument> m_embedded;  // the EMF drawn instead, when whole

    // The EMF that Windows wrote beside the WMF when it converted the picture is the drawing
    // the WMF stands for, in full: drawn instead of the WMF's records when it came whole and
    // reads without damage, as Windows and LibreOffice draw it.
    static std::shared_ptr<const PlayableDocument> wholeEmbeddedEmf(const WmfScan& scan) {
        if (!scan.embeddedEmfWhole) return nullptr;
        ParseResult parsed = parseMetafile(scan.embeddedEmf);
        auto* doc = std::get_if<DocumentPtr>(&parsed);
        if (!doc || (*doc)->format() != Format::Emf || !(*doc)->truncationNote().isEmpty())
            return nullptr;
        return std::dynamic_pointer_cast<const PlayableDocument>(*doc);
    }

    PlaybackStats playEmbedded(GdiSink& sink, const PlaybackControl& control) const {
        return countedAsOwnRecords(m_embedded->play(sink, control));
    }
};

}  // namespace

ParseResult parseWmfDocument(const QByteArray& bytes) {
    return parseWmfDocument(bytes, {});
}

ParseResult parseWmfDocument(const QByteArray& bytes, std::optional<QRectF> frame100thMm) {
    auto read = readWmf(span(bytes));
    if (auto* error = std::get_if<ParseError>(&read)) return *error;
    std::optional<Rect> frame;
    if (frame100thMm && frame100thMm->isValid() && std::isfinite(frame100thMm->width()) &&
        std::isfinite(frame100thMm->height()) && frame100thMm->width() < 1e9 &&
        frame100thMm->height() < 1e9)
        frame = Rect{static_cast<int32_t>(std::lround(frame100thMm->left())),
                     static_cast<int32_t>(std::lround(frame100thMm->top())),
                     static_cast<int32_t>(std::lround(frame100thMm->right())),
                     static_cast<int32_t>(std::lround(frame100thMm->bottom()))};
    return std::make_shared<const WmfDocument>(bytes, std::get<WmfFile>(std::move(read)), frame);
}

QByteArray convertWmfToEmf(std::span<const uint8_t> bytes, const WmfFile& file,
                           std::optional<Rect> frame) {
    if (!file.scan.embeddedEmf.isEmpty()) return file.scan.embeddedEmf;
    EmfWriter writer;
    playWmf(bytes, file, writer, WmfPlayOptions{frame, {}});
    return writer.bytes();
}

}  // namespace plume::metafile
