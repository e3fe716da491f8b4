#pragma once

// A drawing of 240 x 120 (a blue square on the left, nothing drawn on the right), a damaged copy
// of it, and a folder for plumeconv's outputs.

#include "support/TestSupport.h"

#include "builders/EmfBuilder.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QTemporaryDir>

namespace plume {

class PlumeconvCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // 240 x 120: a blue square on the left, nothing drawn on the right.
        test::EmfBuilder emf(240, 120);
        emf.createBrush(1, 0, 0xFF0000).selectObject(1).rectangle(0, 0, 120, 120);
        bytes = emf.build();
        emfPath = dir.filePath("drawing.emf");
        test::writeFileBytes(emfPath, bytes);
        damagedPath = dir.filePath("damaged.emf");
        test::writeFileBytes(damagedPath, bytes.left(bytes.size() - 30));
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    // The shell's words for the drawing's bytes from `from` to the end, or up to `to`.
    QString piece(qsizetype from, qsizetype to = -1) const {
        return QStringLiteral("tail -c +%1 '%2'").arg(from + 1).arg(emfPath) +
               (to < 0 ? QString() : QStringLiteral(" | head -c %1").arg(to - from));
    }
    bool isTheDrawing(const QString& png) const {
        const QImage image(png);
        return image.size() == QSize(240, 120) && image.pixelColor(60, 60) == QColor(Qt::blue);
    }

    QTemporaryDir dir;
    QByteArray bytes;
    QString emfPath;
    QString damagedPath;
};

}  // namespace plume
