#include "platform/metafile/format/WmfDocument.h"

#include "platform/metafile/format/EmfWriter.h"
#include "platform/metafile/format/PlayableDocument.h"

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
          m_info(wmfPictureInfo(m_file, frame)) {}

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
        return playWmf(span(m_bytes), m_file, sink, WmfPlayOptions{m_frame, control.shouldStop});
    }

  private:
    QByteArray m_bytes;
    WmfFile m_file;
    std::optional<Rect> m_frame;
    PictureInfo m_info;
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
