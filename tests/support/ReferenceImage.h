#pragma once

// Reference-image comparison in the style of resvg's tests: a rendering is compared per channel,
// with a small tolerance, against tests/platform/metafile/references/<family>/<name>.png. On a
// mismatch the test writes expected | difference | actual side by side into the build folder
// and names the file in its failure message. PLUME_REGENERATE_REFERENCES=1 rewrites the
// references instead (look at each one before committing it).

#include <gtest/gtest.h>
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace plume::test {

// Renders metafile bytes at `size` on white (RGB32), the picture frame filling the image.
QImage renderMetafile(const QByteArray& bytes, QSize size);

struct ReferenceTolerance {
    int channel = 24;            // per-channel difference a pixel may have and still match
    double badFraction = 0.002;  // share of pixels allowed beyond that (edge pixels)
};

::testing::AssertionResult matchesReference(const QImage& actual, const QString& family,
                                            const QString& name, ReferenceTolerance tolerance = {});

}  // namespace plume::test
