#include "platform/metafile/format/WmfReader.h"

#include "platform/metafile/format/BoundedReader.h"
#include "platform/metafile/format/MetafileFormat.h"
#include "platform/metafile/format/WmfDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace plume::metafile {
namespace {

constexpr size_t kRecordHeaderSize = kWmfRecordHeaderSize;

// The "WMFC" comment that carries a piece of an EMF (MS-WMF 2.3.6.1).
constexpr uint32_t kEmfCommentType = 0x00000001;

QString functionName(uint16_t function) {
    return QStringLiteral("0x%1").arg(function, 4, 16, QLatin1Char('0'));
}

// Learns, while validating, what the picture's size and embedded EMF are.
class ScanSink : public GdiSink {
  public:
    explicit ScanSink(WmfScan& scan) : m_scan(scan) {}

    // The first window, unless it is a placeholder of one unit that a window set before the
    // drawing starts replaces (a 1 x 1 window, then the real one).
    void setWindowOrg(Point origin) override {
        if (!m_scan.windowOrg || placeholderWindow()) m_scan.windowOrg = origin;
    }
    void setWindowExt(Size extent) override {
        if (!m_scan.windowExt || placeholderWindow()) m_scan.windowExt = extent;
    }
    bool placeholderWindow() const {
        return !m_scan.drawnBounds && m_scan.windowExt && std::abs(m_scan.windowExt->cx) <= 1 &&
               std::abs(m_scan.windowExt->cy) <= 1;
    }
    void setMapMode(MapMode mode) override {
        if (!m_scan.mapMode) m_scan.mapMode = mode;
    }
    void moveTo(Point p) override { add(p); }
    void lineTo(Point p) override { add(p); }
    void polyline(std::span<const Point> points) override { add(points); }
    void polygon(std::span<const Point> points) override { add(points); }
    void polyPolygon(std::span<const Point> points, std::span<const uint32_t>) override {
        add(points);
    }
    void rectangle(const Rect& r) override { add(r); }
    void roundRect(const Rect& r, Size) override { add(r); }
    void ellipse(const Rect& r) override { add(r); }
    void arc(const Rect& r, Point, Point) override { add(r); }
    void chord(const Rect& r, Point, Point) override { add(r); }
    void pie(const Rect& r, Point, Point) override { add(r); }
    void extTextOut(const TextRun& run) override { add(run.reference); }
    void blit(const BlitOp& op) override {
        // The last pixel a blit covers is one before its far edge (the box adds it back).
        const auto last = [](int32_t start, int32_t extent) {
            const int64_t edge = int64_t{start} + extent + (extent > 0 ? -1 : extent < 0 ? 1 : 0);
            return static_cast<int32_t>(std::clamp<int64_t>(edge, INT32_MIN, INT32_MAX));
        };
        add(Rect{op.destX, op.destY, last(op.destX, op.destWidth), last(op.destY, op.destHeight)});
    }

    // META_ESCAPE MFCOMMENT "WMFC" pieces (MS-WMF 2.3.6.1, META_ESCAPE_ENHANCED_METAFILE):
    // identifier, comment type, version, checksum (16-bit), flags, record count, this piece's
    // size, bytes remaining, total EMF size, then this piece of the EMF.
    void comment(std::span<const uint8_t> data) override {
        BoundedReader p(data);
        if (p.u32() != kWmfcIdentifier || p.u32() != kEmfCommentType) return;
        p.skip(4 + 2 + 4 + 4);
        const uint32_t pieceSize = p.u32();
        const uint32_t remaining = p.u32();
        const uint32_t total = p.u32();
        const auto piece = p.bytes(pieceSize);
        if (!p.ok() || m_embeddedBroken) return;
        if (m_embedded.isEmpty()) m_expected = total;
        if (total != m_expected || total > static_cast<uint32_t>(kMaxMetafileBytes) ||
            uint64_t{static_cast<uint64_t>(m_embedded.size())} + piece.size() > total) {
            m_embeddedBroken = true;
            return;
        }
        m_embedded.append(reinterpret_cast<const char*>(piece.data()),
                          static_cast<qsizetype>(piece.size()));
        if (remaining == 0 && static_cast<uint32_t>(m_embedded.size()) == total &&
            BoundedReader(m_embedded).u32At(40) == kEmfSignature)
            m_scan.embeddedEmf = m_embedded;
    }

  private:
    void add(Point p) {
        if (!m_scan.drawnBounds) {
            m_scan.drawnBounds = Rect{p.x, p.y, p.x, p.y};
            return;
        }
        Rect& b = *m_scan.drawnBounds;
        b.left = std::min(b.left, p.x);
        b.top = std::min(b.top, p.y);
        b.right = std::max(b.right, p.x);
        b.bottom = std::max(b.bottom, p.y);
    }
    void add(std::span<const Point> points) {
        for (const Point& p : points) add(p);
    }
    void add(const Rect& r) {
        add(Point{r.left, r.top});
        add(Point{r.right, r.bottom});
    }

    WmfScan& m_scan;
    QByteArray m_embedded;
    uint32_t m_expected = 0;
    bool m_embeddedBroken = false;
};

// 0.01 mm per logical unit in the metric map modes (MS-WMF 2.1.1.16).
std::optional<double> hundredthMmPerUnit(MapMode mode) {
    switch (mode) {
        case MapMode::LoMetric:
            return 10.0;
        case MapMode::HiMetric:
            return 1.0;
        case MapMode::LoEnglish:
            return 25.4;
        case MapMode::HiEnglish:
            return 2.54;
        case MapMode::Twips:
            return 2540.0 / 1440.0;
        default:
            return std::nullopt;
    }
}

// A raw WMF says nothing of its size: its units are taken as pixels at 96 dpi, as common
// readers take them, but a picture larger than kRawWmfLargestSide pixels is made that large
// (LibreOffice bounds the width so; the height is bounded too, so that a tall picture does not
// become a strip of thousands of pixels). A window of 10,800 x 7,800 units is 1,024 x 740.
constexpr double kRawWmfLargestSide = 1024;
double rawWmfUnitsPerInch(double width, double height) {
    const double largest = std::max(width, height);
    return largest > kRawWmfLargestSide ? 96.0 * largest / kRawWmfLargestSide : 96.0;
}

}  // namespace

std::variant<WmfFile, ParseError> readWmf(std::span<const uint8_t> bytes) {
    WmfFile file;
    WmfHeader& h = file.header;
    const BoundedReader in(bytes);
    size_t at = 0;
    if (looksLikePlaceableWmf(bytes)) {
        // META_PLACEABLE (MS-WMF 2.3.2.3): key, handle, bounding box, units per inch,
        // reserved, checksum (XOR of the ten words before it).
        h.placeable = true;
        BoundedReader placeable(bytes.first(kWmfPlaceableSize));
        placeable.skip(6);
        h.bounds = placeable.rectS();
        h.unitsPerInch = placeable.u16();
        uint16_t checksum = 0;
        for (size_t i = 0; i < 10; ++i) checksum ^= in.u16At(2 * i);
        h.checksumMatches = checksum == in.u16At(20);
        at = kWmfPlaceableSize;
    }
    if (!looksLikeMetaHeader(bytes, at))
        return ParseError{static_cast<qsizetype>(at),
                          h.placeable ? QStringLiteral("The placeable WMF has no valid header.")
                                      : QStringLiteral("This is no WMF metafile.")};
    h.version = in.u16At(at + 4);
    h.objectCount = in.u16At(at + 10);
    at += kWmfHeaderSize;
    h.recordsOffset = static_cast<qsizetype>(at);

    ScanSink scanSink(file.scan);
    WmfDecoder decoder(scanSink);
    bool sawEof = false;
    while (at < bytes.size()) {
        const size_t left = bytes.size() - at;
        if (left < static_cast<size_t>(kRecordHeaderSize)) {
            file.truncationNote =
                QStringLiteral("%1 stray bytes at offset %2 after the last record")
                    .arg(left)
                    .arg(at);
            break;
        }
        const uint64_t size = uint64_t{in.u32At(at)} * 2;
        const uint16_t function = in.u16At(at + 4);
        if (size < static_cast<uint64_t>(kRecordHeaderSize) || size > left) {
            file.truncationNote =
                QStringLiteral("record %1 (function %2) at offset %3 claims %4 bytes, %5 remain")
                    .arg(file.records.size() + 1)
                    .arg(functionName(function))
                    .arg(at)
                    .arg(size)
                    .arg(left);
            break;
        }
        if (function == META_EOF) {
            sawEof = true;
            break;
        }
        if (static_cast<qsizetype>(file.records.size()) >= kMaxRecords) {
            file.truncationNote = QStringLiteral("more than %1 records").arg(kMaxRecords);
            break;
        }
        // Decoded once here for what the scan learns; a damaged record is kept, to be skipped
        // in playback.
        decoder.play(function, bytes.subspan(at + kRecordHeaderSize, size - kRecordHeaderSize));
        file.records.push_back(
            WmfRecord{static_cast<qsizetype>(at), static_cast<qsizetype>(size), function});
        at += size;
    }
    if (sawEof && !file.scan.embeddedEmf.isEmpty()) {
        // The words from META_HEADER to the end of META_EOF (MS-WMF 2.3.6.1: the checksum
        // of the EMF's first piece is chosen so that they add up to zero).
        uint16_t sum = 0;
        for (size_t i = static_cast<size_t>(h.recordsOffset) - kWmfHeaderSize;
             i + 1 < at + kRecordHeaderSize; i += 2)
            sum = static_cast<uint16_t>(sum + in.u16At(i));
        file.scan.embeddedEmfWhole = sum == 0;
    }
    if (!sawEof && file.truncationNote.isEmpty())
        file.truncationNote = QStringLiteral("the metafile ends without an end-of-file record");
    return file;
}

PictureInfo wmfPictureInfo(const WmfFile& file, std::optional<Rect> frame) {
    PictureInfo info;
    Rect box;
    double unitsPerInch = 96;
    bool unitsUnknown = false;  // a window or drawing in units of no known size
    const WmfHeader& h = file.header;
    const WmfScan& s = file.scan;
    if (h.placeable && h.bounds.right != h.bounds.left && h.bounds.bottom != h.bounds.top) {
        box = h.bounds;
        if (h.unitsPerInch > 0) unitsPerInch = h.unitsPerInch;
    } else if (s.mapMode && hundredthMmPerUnit(*s.mapMode) && s.drawnBounds) {
        // Metric modes run y upwards: the device box is the drawing turned over.
        box = Rect{s.drawnBounds->left, -s.drawnBounds->bottom, s.drawnBounds->right,
                   -s.drawnBounds->top};
        unitsPerInch = 2540.0 / *hundredthMmPerUnit(*s.mapMode);
    } else if (s.windowExt && s.windowExt->cx != 0 && s.windowExt->cy != 0) {
        const Point org = s.windowOrg.value_or(Point{});
        box = Rect{org.x, org.y, org.x + s.windowExt->cx, org.y + s.windowExt->cy};
        unitsUnknown = true;
    } else if (s.drawnBounds) {
        box = *s.drawnBounds;
        unitsUnknown = true;
        box.right += 1;
        box.bottom += 1;
    }
    if (box.left > box.right) std::swap(box.left, box.right);
    if (box.top > box.bottom) std::swap(box.top, box.bottom);
    info.bounds = Rect{box.left, box.top, box.right - 1, box.bottom - 1};
    const double boxWidth = std::max(1.0, double(box.right) - box.left);
    const double boxHeight = std::max(1.0, double(box.bottom) - box.top);
    if (unitsUnknown) unitsPerInch = rawWmfUnitsPerInch(boxWidth, boxHeight);

    if (!frame && s.embeddedEmf.size() >= 40) {
        // An embedded EMF's frame (rclFrame, MS-EMF 2.2.9) is the size its writer meant;
        // the WMF's window is only in the writer's device pixels.
        BoundedReader emf(s.embeddedEmf);
        emf.seek(24);
        const Rect emfFrame = emf.rectL();
        if (emfFrame.right > emfFrame.left && emfFrame.bottom > emfFrame.top &&
            int64_t{emfFrame.right} - emfFrame.left < 100'000'000 &&
            int64_t{emfFrame.bottom} - emfFrame.top < 100'000'000)
            frame = emfFrame;
    }
    if (frame && frame->right != frame->left && frame->bottom != frame->top) {
        // A frame from elsewhere: the reference device is whatever makes the box that size.
        const double frameWidth = std::abs(double(frame->right) - frame->left);
        const double frameHeight = std::abs(double(frame->bottom) - frame->top);
        const double perUnitX = frameWidth / boxWidth, perUnitY = frameHeight / boxHeight;
        info.frame = Rect{static_cast<int32_t>(std::lround(box.left * perUnitX)),
                          static_cast<int32_t>(std::lround(box.top * perUnitY)),
                          static_cast<int32_t>(std::lround(box.right * perUnitX)),
                          static_cast<int32_t>(std::lround(box.bottom * perUnitY))};
        info.devicePixels = Size{static_cast<int32_t>(boxWidth), static_cast<int32_t>(boxHeight)};
        info.deviceMicrometers = Size{static_cast<int32_t>(std::min(frameWidth * 10, 2e9)),
                                      static_cast<int32_t>(std::min(frameHeight * 10, 2e9))};
        info.deviceMillimeters =
            Size{std::max(1, static_cast<int32_t>(std::lround(frameWidth / 100))),
                 std::max(1, static_cast<int32_t>(std::lround(frameHeight / 100)))};
        return info;
    }
    const double toFrame = 2540.0 / unitsPerInch;
    info.frame = Rect{static_cast<int32_t>(std::lround(box.left * toFrame)),
                      static_cast<int32_t>(std::lround(box.top * toFrame)),
                      static_cast<int32_t>(std::lround(box.right * toFrame)),
                      static_cast<int32_t>(std::lround(box.bottom * toFrame))};
    // A reference device of exactly `unitsPerInch` pixels per inch: 100 inches wide.
    const int32_t devicePixels = static_cast<int32_t>(std::lround(unitsPerInch * 100));
    info.devicePixels = Size{devicePixels, devicePixels};
    info.deviceMillimeters = Size{2540, 2540};
    info.deviceMicrometers = Size{2'540'000, 2'540'000};
    return info;
}

PlaybackStats playWmf(std::span<const uint8_t> bytes, const WmfFile& file, GdiSink& sink,
                      const WmfPlayOptions& options) {
    const PictureInfo info = wmfPictureInfo(file, options.frame);
    sink.begin(info);
    // As an application plays a placeable WMF: logical space mapped onto the picture's box,
    // so that the metafile's own window records scale it onto that box.
    const Rect& b = info.bounds;
    const bool metric = !file.header.placeable && file.scan.mapMode &&
                        hundredthMmPerUnit(*file.scan.mapMode).has_value();
    const Size extent{
        static_cast<int32_t>(std::min<int64_t>(int64_t{b.right} - b.left + 1, INT32_MAX)),
        static_cast<int32_t>(std::min<int64_t>(int64_t{b.bottom} - b.top + 1, INT32_MAX))};
    if (!metric && extent.cx > 0 && extent.cy > 0) {
        sink.setMapMode(MapMode::Anisotropic);
        sink.setWindowOrg(Point{b.left, b.top});
        sink.setWindowExt(extent);
        sink.setViewportOrg(Point{b.left, b.top});
        sink.setViewportExt(extent);
    }
    WmfDecoder decoder(sink);
    const PlaybackStats stats =
        playRecords(
            file.records.size(), options.control,
            [&](size_t i) {
                const WmfRecord& record = file.records[i];
                return decoder.play(record.function,
                                    bytes.subspan(size_t(record.offset) + kRecordHeaderSize,
                                                  size_t(record.size) - kRecordHeaderSize));
            },
            [&](size_t i) { return file.records[i].size; });
    sink.end();
    return stats;
}

}  // namespace plume::metafile
