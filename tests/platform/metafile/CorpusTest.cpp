// Every file of the shared corpus of real metafiles (see its README and SOURCES.tsv) loads and
// renders, or is refused with a message, and none crashes, hangs or exhausts memory. Files
// marked malformed may go either way; the others must load, and read to their end with the
// record count the survey found. This is the one walk over the whole corpus that draws pixels;
// the SVG rendition has its own (tests/platform/picture).

#include "platform/picture/Picture.h"
#include "platform/picture/PictureIo.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <iostream>

namespace plume {
namespace {

using test::corpusDir;
using test::corpusEntries;
using test::CorpusEntry;

// Own size, or a smaller size of the same proportions when the own size is large: the test
// is about robustness, not about pixels.
QSize renderSize(QSize own) {
    if (own.isEmpty()) return {64, 64};
    const double scale = std::min(1.0, 1000.0 / std::max(own.width(), own.height()));
    return QSize(std::max(1, int(own.width() * scale)), std::max(1, int(own.height() * scale)));
}

TEST(Corpus, EveryFileLoadsAndRendersOrIsRefusedWithAMessage) {
    const QList<CorpusEntry> entries = corpusEntries();
    if (entries.isEmpty()) GTEST_SKIP() << "no shared corpus";
    int loaded = 0, refused = 0, cutOff = 0;
    qsizetype skippedRecords = 0;
    for (const CorpusEntry& entry : entries) {
        SCOPED_TRACE(entry.file.toStdString());
        Expected<PicturePtr> picture = loadPicture(corpusDir() + "/" + entry.file);
        if (!picture) {
            ++refused;
            EXPECT_FALSE(picture.error().isEmpty());
            EXPECT_TRUE(entry.malformed) << "refused: " << picture.error().toStdString();
            continue;
        }
        ++loaded;
        const metafile::Document& document = *picture.value()->document();
        // An EMF keeps its header and EOF records; a WMF keeps neither its header nor its EOF.
        const bool emf = document.format() == metafile::Format::Emf;
        if (!entry.malformed) {
            EXPECT_TRUE(document.truncationNote().isEmpty())
                << document.truncationNote().toStdString();
            if (entry.records >= 0) {
                EXPECT_EQ(document.recordCount() + (emf ? 0 : 1), entry.records);
            }
        }
        QImage image(renderSize(ownPixelSize(document, 96)), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        const metafile::RenderStats stats =
            metafile::render(document, painter, QRectF(QPointF(0, 0), QSizeF(image.size())));
        painter.end();
        cutOff += stats.cutOff;
        skippedRecords += stats.recordsSkipped;
        // Every record read is drawn or skipped, once (the header of an EMF is neither).
        if (!stats.cutOff) {
            EXPECT_EQ(stats.recordsPlayed + stats.recordsSkipped,
                      document.recordCount() - (emf ? 1 : 0));
        }
    }
    std::cout << "corpus: " << entries.size() << " files, " << loaded << " drawn, " << refused
              << " refused, " << cutOff << " cut off by the time limit, " << skippedRecords
              << " records skipped\n";
    EXPECT_GT(loaded, entries.size() * 9 / 10);
}

TEST(Corpus, TheListNamesEveryFileOnDisk) {
    const QList<CorpusEntry> entries = corpusEntries();
    if (entries.isEmpty()) GTEST_SKIP() << "no shared corpus";
    QStringList listed;
    for (const CorpusEntry& entry : entries) listed << entry.file;
    int onDisk = 0;
    for (const QString& sub : {QStringLiteral("emf"), QStringLiteral("wmf")})
        for (const QString& file : QDir(corpusDir() + "/" + sub).entryList(QDir::Files)) {
            ++onDisk;
            EXPECT_TRUE(listed.contains(sub + "/" + file)) << file.toStdString();
        }
    EXPECT_EQ(onDisk, entries.size());
}

}  // namespace
}  // namespace plume
