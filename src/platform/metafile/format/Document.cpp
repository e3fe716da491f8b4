#include "platform/metafile/format/Document.h"

#include "platform/metafile/format/BoundedReader.h"
#include "platform/metafile/format/EmfReader.h"
#include "platform/metafile/format/MetafileFormat.h"
#include "platform/metafile/format/PlayableDocument.h"
#include "platform/metafile/format/WmfDocument.h"

namespace plume::metafile {

namespace {

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
        const double mmX = 1 / devicePixelsPerMm(h.devicePixels.cx, h.deviceMillimeters.cx,
                                                 h.deviceMicrometers.cx);
        const double mmY = 1 / devicePixelsPerMm(h.devicePixels.cy, h.deviceMillimeters.cy,
                                                 h.deviceMicrometers.cy);
        const BoundsExtent b = inclusiveBounds(h.bounds);
        if (b.width > 0 && b.height > 0)
            return QRectF(b.left * mmX * 100, b.top * mmY * 100, b.width * mmX * 100,
                          b.height * mmY * 100);
        return QRectF(0, 0, 0, 0);
    }

    QByteArray toEmf() const override { return m_file.bytes; }
    const QByteArray& bytes() const override { return m_file.bytes; }
    qsizetype recordCount() const override { return qsizetype(m_file.records.size()); }
    QString truncationNote() const override { return m_file.truncationNote; }

    PlaybackStats play(GdiSink& sink, const PlaybackControl& control) const override {
        return playEmf(m_file, sink, control);
    }
    const EmfFile* emfFile() const override { return &m_file; }

  private:
    EmfFile m_file;
};

}  // namespace

bool looksLikeMetafile(const QByteArray& bytes) {
    return looksLikeEmf(byteSpan(bytes)) || looksLikeWmf(byteSpan(bytes));
}

ParseResult parseMetafile(const QByteArray& bytes) {
    // The one size check: the readers below take only bytes that passed it.
    if (bytes.size() > kMaxMetafileBytes)
        return ParseError{0, QStringLiteral("The metafile is larger than 256 MiB.")};
    if (looksLikeEmf(byteSpan(bytes))) {
        auto read = readEmf(bytes);
        if (auto* error = std::get_if<ParseError>(&read)) return *error;
        return std::make_shared<const EmfDocument>(std::get<EmfFile>(std::move(read)));
    }
    if (looksLikeWmf(byteSpan(bytes))) return parseWmfDocument(bytes);
    return ParseError{0, QStringLiteral("This is no EMF or WMF metafile.")};
}

}  // namespace plume::metafile
