#include "support/ReferenceImage.h"
#include "support/TestSupport.h"

#include "platform/metafile/Metafile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

namespace plume::test {

namespace {

QString referenceRoot() {
    return QDir(sourceDir()).filePath(QStringLiteral("tests/platform/metafile/references"));
}

int channelDifference(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

// A pixel of `other` within `slack` pixels of (x, y) matches the pixel of `image` there.
bool nearby(const QImage& image, const QImage& other, int x, int y, int channel, int slack) {
    const QRgb p = image.pixel(x, y);
    for (int v = std::max(0, y - slack); v <= std::min(other.height() - 1, y + slack); ++v)
        for (int u = std::max(0, x - slack); u <= std::min(other.width() - 1, x + slack); ++u)
            if (channelDifference(p, other.pixel(u, v)) <= channel) return true;
    return false;
}

bool regenerating() {
    return qEnvironmentVariable("PLUME_REGENERATE_REFERENCES") == QLatin1String("1");
}

}  // namespace

ImageDifference compareImages(const QImage& a, const QImage& b, int channel, QRect within,
                              int reduce, int slack) {
    ImageDifference d;
    if (a.size() != b.size() || a.isNull()) {
        d.differing = qint64(std::max(a.width(), b.width())) * std::max(a.height(), b.height());
        d.max = 255;
        d.first = QStringLiteral("size %1x%2 against %3x%4")
                      .arg(a.width())
                      .arg(a.height())
                      .arg(b.width())
                      .arg(b.height());
        return d;
    }
    QImage x = a.convertToFormat(QImage::Format_RGB32);
    QImage y = b.convertToFormat(QImage::Format_RGB32);
    QRect area = within.isNull() ? x.rect() : within & x.rect();
    if (reduce > 1) {
        const QSize reduced = x.size() / reduce;
        x = x.scaled(reduced, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        y = y.scaled(reduced, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        area = QRect(area.topLeft() / reduce, area.size() / reduce) & x.rect();
    }
    d.map = QImage(x.size(), QImage::Format_RGB32);
    d.map.fill(Qt::white);
    qint64 sum = 0;
    for (int row = area.top(); row <= area.bottom(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        auto* m = reinterpret_cast<QRgb*>(d.map.scanLine(row));
        for (int col = area.left(); col <= area.right(); ++col) {
            const int dr = std::abs(qRed(p[col]) - qRed(q[col]));
            const int dg = std::abs(qGreen(p[col]) - qGreen(q[col]));
            const int db = std::abs(qBlue(p[col]) - qBlue(q[col]));
            const int most = std::max({dr, dg, db});
            sum += dr + dg + db;
            d.max = std::max(d.max, most);
            if (most > channel && !(slack > 0 && nearby(x, y, col, row, channel, slack) &&
                                    nearby(y, x, col, row, channel, slack))) {
                if (d.differing++ == 0)
                    d.first = QStringLiteral("pixel %1,%2: %3 against %4")
                                  .arg(col)
                                  .arg(row)
                                  .arg(p[col] & 0xffffff, 6, 16, QLatin1Char('0'))
                                  .arg(q[col] & 0xffffff, 6, 16, QLatin1Char('0'));
                m[col] = qRgb(255, 0, 0);
            } else if (most > 0) {
                m[col] = qRgb(255, 210, 210);
            }
        }
    }
    d.pixels = qint64(area.width()) * area.height();
    d.mean = d.pixels ? double(sum) / (3.0 * double(d.pixels)) : 0;
    return d;
}

QString writeTriptych(const QString& name, const QImage& expected, const QImage& difference,
                      const QImage& actual) {
    const int w = expected.width(), h = expected.height();
    QImage sideBySide(w * 3, h, QImage::Format_RGB32);
    sideBySide.fill(Qt::white);
    {
        QPainter p(&sideBySide);
        p.drawImage(0, 0, expected);
        p.drawImage(QRect(w, 0, w, h), difference);
        p.drawImage(2 * w, 0, actual);
    }
    const QString outDir = QDir::current().filePath(QStringLiteral("reference-failures"));
    QDir().mkpath(outDir);
    const QString out = outDir + '/' + name + QStringLiteral(".png");
    sideBySide.save(out);
    return out;
}

QImage renderMetafile(const QByteArray& bytes, QSize size, metafile::RenderStats* stats,
                      const metafile::RenderOptions& options) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    const auto parsed = metafile::parseMetafile(bytes);
    if (const auto* doc = std::get_if<metafile::DocumentPtr>(&parsed)) {
        QPainter painter(&image);
        const auto drawn = metafile::render(**doc, painter, QRectF(QPointF(0, 0), QSizeF(size)),
                                            options);
        if (stats) *stats = drawn;
    }
    return image;
}

::testing::AssertionResult matchesReference(const QImage& actualImage, const QString& family,
                                            const QString& name, ReferenceTolerance tolerance) {
    const QImage actual = actualImage.convertToFormat(QImage::Format_RGB32);
    const QString path = referenceRoot() + '/' + family + '/' + name + QStringLiteral(".png");
    if (regenerating()) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!actual.save(path))
            return ::testing::AssertionFailure() << "cannot write " << path.toStdString();
        return ::testing::AssertionSuccess() << "regenerated " << path.toStdString();
    }
    const QImage expected = QImage(path).convertToFormat(QImage::Format_RGB32);
    if (expected.isNull())
        return ::testing::AssertionFailure()
               << "no reference " << path.toStdString()
               << " (run with PLUME_REGENERATE_REFERENCES=1 and look at it)";
    if (expected.size() != actual.size())
        return ::testing::AssertionFailure() << "size differs from " << path.toStdString();

    const ImageDifference d = compareImages(expected, actual, tolerance.channel);
    if (d.share() <= tolerance.badFraction) return ::testing::AssertionSuccess();
    const QString out = writeTriptych(family + '-' + name, expected, d.map, actual);
    return ::testing::AssertionFailure()
           << name.toStdString() << ": " << d.differing << " pixels (" << d.share() * 100
           << "%) differ beyond " << tolerance.channel << "; expected | difference | actual in "
           << out.toStdString();
}

QImage quadrantImage(int w, int h, QRgb topLeft, QRgb bottomLeft, QRgb topRight,
                     QRgb bottomRight) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            QRgb c = x < w / 2 ? (y < h / 2 ? topLeft : bottomLeft)
                               : (y < h / 2 ? topRight : bottomRight);
            if (x == y) c = qRgb(0, 0, 0);
            image.setPixel(x, y, c);
        }
    return image;
}

QImage gdiReference(const QString& name, const QByteArray& picture) {
    const QString base = referenceRoot() + QStringLiteral("/gdi/") + name;
    if (regenerating()) {
        QDir().mkpath(QFileInfo(base).absolutePath());
        QFile file(base + QStringLiteral(".emf"));
        if (file.open(QIODevice::WriteOnly)) file.write(picture);
    }
    return QImage(base + QStringLiteral(".png"));
}

}  // namespace plume::test
