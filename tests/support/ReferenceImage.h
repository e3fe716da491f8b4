#pragma once

// Reference-image comparison in the style of resvg's tests: a rendering is compared per channel,
// with a small tolerance, against tests/platform/metafile/references/<family>/<name>.png. On a
// mismatch the test writes expected | difference | actual side by side into the build folder
// and names the file in its failure message. PLUME_REGENERATE_REFERENCES=1 rewrites the
// references instead (look at each one before committing it).

#include "platform/metafile/render/Render.h"

#include <gtest/gtest.h>
#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

namespace plume::test {

// How two images differ, channel by channel (red, green and blue; alpha is ignored).
struct ImageDifference {
    qint64 pixels = 0;     // pixels compared; 0 when the images cannot be compared
    qint64 differing = 0;  // pixels whose largest channel difference passes the tolerance
    int max = 0;           // the largest channel difference
    double mean = 0;       // the mean channel difference
    QString first;         // the first differing pixel, or why the images cannot be compared
    QImage map;            // white where equal, pink within the tolerance, red beyond it
    // The share of differing pixels; all of them when the images cannot be compared.
    double share() const { return pixels ? double(differing) / double(pixels) : 1.0; }
};

// Compares two images of the same size (images of different sizes differ in every pixel of
// the larger extent). A channel difference up to `channel` is no difference; `within` limits
// the comparison to those pixels (all when null); `reduce` first scales both images down
// smoothly by that factor. With `slack` 1, a pixel differs only when no pixel of the other
// image's 3x3 neighbourhood matches it, either way round (../shared/tools/fidelity.py's
// measure: an edge a pixel away is forgiven, a missing or misplaced shape is not).
ImageDifference compareImages(const QImage& a, const QImage& b, int channel = 0, QRect within = {},
                              int reduce = 1, int slack = 0);

// Writes expected | difference | actual side by side into the build folder's
// reference-failures/<name>.png and returns its path.
QString writeTriptych(const QString& name, const QImage& expected, const QImage& difference,
                      const QImage& actual);

// A test bitmap of four coloured quadrants (top left, bottom left, top right, bottom right)
// crossed by a black diagonal, so that orientation, mirroring and stretching show.
QImage quadrantImage(int w, int h, QRgb topLeft, QRgb bottomLeft, QRgb topRight, QRgb bottomRight);

// Renders metafile bytes at `size` on white (RGB32), the picture frame filling the image;
// what the render counted goes to `stats` when given.
QImage renderMetafile(const QByteArray& bytes, QSize size, metafile::RenderStats* stats = nullptr,
                      const metafile::RenderOptions& options = {});

struct ReferenceTolerance {
    int channel = 24;            // per-channel difference a pixel may have and still match
    double badFraction = 0.002;  // share of pixels allowed beyond that (edge pixels)
};

::testing::AssertionResult matchesReference(const QImage& actual, const QString& family,
                                            const QString& name, ReferenceTolerance tolerance = {});

// A reference that GDI drew (references/gdi/<name>.png, made by ../shared/tools/gdiref from
// the picture's bytes): a null image when it is missing. With PLUME_REGENERATE_REFERENCES=1
// the picture is written beside it as <name>.emf, to be drawn with `gdiref.sh render`.
QImage gdiReference(const QString& name, const QByteArray& picture);

}  // namespace plume::test
