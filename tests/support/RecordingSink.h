#pragma once

// A GdiSink that writes down every call it receives as one line of text, for the tests of
// both readers to compare; the bitmaps of packed-DIB blits are decoded as a player would.

#include "platform/metafile/format/Dib.h"
#include "platform/metafile/format/GdiSink.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <span>
#include <vector>

namespace plume::test {

using metafile::BlitOp;
using metafile::ColorRef;
using metafile::DibColorUsage;
using metafile::DibRef;
using metafile::LogBrush;
using metafile::LogFont;
using metafile::LogPen;
using metafile::MapMode;
using metafile::PictureInfo;
using metafile::Point;
using metafile::Rect;
using metafile::RegionData;
using metafile::RegionMode;
using metafile::Size;
using metafile::TextRun;

inline QString str(Point p) {
    return QStringLiteral("%1,%2").arg(p.x).arg(p.y);
}
inline QString str(const Rect& r) {
    return QStringLiteral("%1,%2,%3,%4").arg(r.left).arg(r.top).arg(r.right).arg(r.bottom);
}

class RecordingSink : public metafile::GdiSink {
  public:
    QStringList calls;
    std::vector<QImage> images;

    void begin(const PictureInfo& i) override {
        calls << QStringLiteral("begin bounds %1 frame %2").arg(str(i.bounds), str(i.frame));
    }
    void setMapMode(MapMode m) override { calls << QStringLiteral("mapMode %1").arg(int(m)); }
    void setWindowOrg(Point p) override { calls << "windowOrg " + str(p); }
    void setWindowExt(Size s) override {
        calls << QStringLiteral("windowExt %1,%2").arg(s.cx).arg(s.cy);
    }
    void setViewportOrg(Point p) override { calls << "viewportOrg " + str(p); }
    void setViewportExt(Size s) override {
        calls << QStringLiteral("viewportExt %1,%2").arg(s.cx).arg(s.cy);
    }
    void saveDc() override { calls << "saveDc"; }
    void restoreDc(int32_t l) override { calls << QStringLiteral("restoreDc %1").arg(l); }
    void createPen(uint32_t i, const LogPen& p) override {
        calls << QStringLiteral("pen %1 style %2 width %3 color %4")
                     .arg(i)
                     .arg(p.style)
                     .arg(p.width)
                     .arg(p.color.value, 6, 16, QLatin1Char('0'));
    }
    void createBrush(uint32_t i, const LogBrush& b) override {
        calls << QStringLiteral("brush %1 style %2 color %3")
                     .arg(i)
                     .arg(b.style)
                     .arg(b.color.value, 6, 16, QLatin1Char('0'));
    }
    void createFont(uint32_t i, const LogFont& f) override {
        calls << QStringLiteral("font %1 %2 height %3 charset %4")
                     .arg(i)
                     .arg(f.faceName)
                     .arg(f.height)
                     .arg(f.charSet);
    }
    void createRegion(uint32_t i, const RegionData& r) override {
        QStringList rects;
        for (const Rect& rect : r.rects) rects << str(rect);
        calls << QStringLiteral("region %1 bounds %2 rects %3")
                     .arg(i)
                     .arg(str(r.bounds), rects.join(' '));
    }
    void createDibPatternBrush(uint32_t i, const DibRef& d, bool mono) override {
        calls << QStringLiteral("patternBrush %1 bytes %2 mono %3")
                     .arg(i)
                     .arg(d.info.size())
                     .arg(mono);
    }
    void selectObject(uint32_t i) override { calls << QStringLiteral("select %1").arg(i); }
    void deleteObject(uint32_t i) override { calls << QStringLiteral("delete %1").arg(i); }
    void intersectClipRect(const Rect& r) override { calls << "intersectClip " + str(r); }
    void moveTo(Point p) override { calls << "moveTo " + str(p); }
    void lineTo(Point p) override { calls << "lineTo " + str(p); }
    void rectangle(const Rect& r) override { calls << "rectangle " + str(r); }
    void ellipse(const Rect& r) override { calls << "ellipse " + str(r); }
    void roundRect(const Rect& r, Size c) override {
        calls << QStringLiteral("roundRect %1 corner %2,%3").arg(str(r)).arg(c.cx).arg(c.cy);
    }
    void pie(const Rect& r, Point a, Point b) override {
        calls << QStringLiteral("pie %1 from %2 to %3").arg(str(r), str(a), str(b));
    }
    void polyline(std::span<const Point> pts) override { calls << "polyline " + points(pts); }
    void polygon(std::span<const Point> pts) override { calls << "polygon " + points(pts); }
    void polyPolygon(std::span<const Point> pts, std::span<const uint32_t> counts) override {
        QStringList c;
        for (uint32_t n : counts) c << QString::number(n);
        calls << QStringLiteral("polyPolygon %1 counts %2").arg(points(pts), c.join(','));
    }
    void setLayout(uint32_t flags) override { calls << QStringLiteral("layout %1").arg(flags); }
    void extFloodFill(Point p, ColorRef c, uint32_t mode) override {
        calls << QStringLiteral("flood %1 %2 %3")
                     .arg(str(p))
                     .arg(c.value, 6, 16, QLatin1Char('0'))
                     .arg(mode);
    }
    void setPixel(Point p, ColorRef c) override {
        calls << QStringLiteral("pixel %1 %2").arg(str(p)).arg(c.value, 6, 16, QLatin1Char('0'));
    }
    void extTextOut(const TextRun& t) override {
        QStringList dx;
        for (int32_t d : t.dx) dx << QString::number(d);
        calls << QStringLiteral("text %1 \"%2\" options %3 rect %4 dx %5")
                     .arg(str(t.reference), t.text)
                     .arg(t.options)
                     .arg(str(t.rect), dx.join(','));
    }
    void blit(const BlitOp& op) override {
        calls << QStringLiteral("blit dest %1,%2 %3x%4 src %5,%6 %7x%8 rop %9 dib %10")
                     .arg(op.destX)
                     .arg(op.destY)
                     .arg(op.destWidth)
                     .arg(op.destHeight)
                     .arg(op.srcX)
                     .arg(op.srcY)
                     .arg(op.srcWidth)
                     .arg(op.srcHeight)
                     .arg(op.rop, 8, 16, QLatin1Char('0'))
                     .arg(op.source.empty()        ? QStringLiteral("none")
                          : op.source.bits.empty() ? QStringLiteral("yes")
                                                   : QStringLiteral("%1+%2")
                                                         .arg(op.source.info.size())
                                                         .arg(op.source.bits.size()));
        if (!op.source.empty())
            if (auto image = metafile::decodePackedDib(op.source.info,
                                                       DibColorUsage(op.source.colorUsage), false))
                images.push_back(*image);
    }
    void selectClipRegion(const RegionData* r, RegionMode mode) override {
        calls
            << QStringLiteral("clip %1 rects mode %2").arg(r ? r->rects.size() : 0).arg(int(mode));
    }
    void comment(std::span<const uint8_t> data) override {
        calls << QStringLiteral("comment %1").arg(data.size());
    }
    void unknownRecord(uint32_t type, std::span<const uint8_t>) override {
        calls << QStringLiteral("unknown %1").arg(type, 4, 16, QLatin1Char('0'));
    }

  private:
    static QString points(std::span<const Point> pts) {
        QStringList list;
        for (const Point& p : pts) list << str(p);
        return list.join(' ');
    }
};

}  // namespace plume::test
