#include "support/ReferenceImage.h"

#include "platform/metafile/Metafile.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

namespace plume::test {

namespace {

QString referenceRoot() {
    const QString source = qEnvironmentVariable("PLUME_SOURCE_DIR");
    return QDir(source.isEmpty() ? QStringLiteral(PLUME_DEFAULT_SOURCE_DIR) : source)
        .filePath(QStringLiteral("tests/platform/metafile/references"));
}

int channelDifference(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

}  // namespace

QImage renderMetafile(const QByteArray& bytes, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    const auto parsed = metafile::parseMetafile(bytes);
    if (const auto* doc = std::get_if<metafile::DocumentPtr>(&parsed)) {
        QPainter painter(&image);
        metafile::render(**doc, painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    return image;
}

::testing::AssertionResult matchesReference(const QImage& actualImage, const QString& family,
                                            const QString& name, ReferenceTolerance tolerance) {
    const QImage actual = actualImage.convertToFormat(QImage::Format_RGB32);
    const QString path = referenceRoot() + '/' + family + '/' + name + QStringLiteral(".png");
    if (qEnvironmentVariable("PLUME_REGENERATE_REFERENCES") == QLatin1String("1")) {
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

    const int w = actual.width(), h = actual.height();
    QImage sideBySide(w * 3, h, QImage::Format_RGB32);
    sideBySide.fill(Qt::white);
    qsizetype bad = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int d = channelDifference(expected.pixel(x, y), actual.pixel(x, y));
            if (d > tolerance.channel) ++bad;
            sideBySide.setPixel(w + x, y,
                                d > tolerance.channel ? qRgb(255, 0, 0)
                                : d > 0               ? qRgb(255, 210, 210)
                                                      : qRgb(255, 255, 255));
        }
    }
    const double fraction = double(bad) / std::max(1, w * h);
    if (fraction <= tolerance.badFraction) return ::testing::AssertionSuccess();
    {
        QPainter p(&sideBySide);
        p.drawImage(0, 0, expected);
        p.drawImage(2 * w, 0, actual);
    }
    const QString outDir = QDir::current().filePath(QStringLiteral("reference-failures"));
    QDir().mkpath(outDir);
    const QString out = outDir + '/' + family + '-' + name + QStringLiteral(".png");
    sideBySide.save(out);
    return ::testing::AssertionFailure()
           << name.toStdString() << ": " << bad << " pixels (" << fraction * 100
           << "%) differ beyond " << tolerance.channel << "; expected | difference | actual in "
           << out.toStdString();
}

}  // namespace plume::test
