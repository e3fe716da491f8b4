// The EMF+ records a document decodes once: a list cut at its memory bound anywhere (inside a
// comment, inside an object's continued parts) decides and draws as the whole list does, and
// one document drawn on several threads at once draws as it does alone.

#include "builders/EmfBuilder.h"
#include "builders/EmfPlusBuilder.h"
#include "platform/metafile/Metafile.h"
#include "platform/metafile/format/EmfPlusRecordList.h"
#include "platform/metafile/format/PlayableDocument.h"
#include "platform/metafile/render/EmfPlusRender.h"
#include "platform/metafile/render/GdiPlayer.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QThread>
#include <memory>

namespace plume::metafile {
namespace {

using test::EmfBuilder;
using test::EmfPlusBuilder;
using test::plusColor;
using test::plusObject;

// An EMF+-only picture: a path object in continued parts, GDI records after a GetDC, a record
// the player does not draw, a comment whose last record runs past it, and a figure after it.
QByteArray emfPlusOnlyPicture() {
    EmfBuilder emf(100, 100);
    EmfPlusBuilder plus;
    plus.header(false).solidBrush(1, 0xFF00C000).fillRects(plusColor(0xFF0000FF), {{0, 0, 50, 50}});
    plus.object(2, 3,
                EmfPlusBuilder::pathBody({{50, 0}, {100, 0}, {75, 50}}, {0, 1, 0x81}, false, false),
                12)
        .fillPath(plusObject(1), 2)
        .getDc()
        .flushTo(emf);
    emf.createBrush(1, 0, 0x0000FF).selectObject(1).rectangle(0, 50, 50, 100);
    plus.record(0x401C, 0x8000, QByteArray(28, '\0')).fillEllipse(plusObject(1), {50, 50, 50, 50});
    QByteArray comment = plus.take();
    for (uint32_t word : {0x4009u, 64u, 4u}) test::appendU32(comment, word);  // runs past
    QByteArray payload;
    test::appendU32(payload, uint32_t(comment.size()));
    emf.record(70, payload + comment);
    plus.fillRects(plusColor(0xFF000000), {{40, 40, 20, 20}}).endOfFile().flushTo(emf);
    return emf.build();
}

struct Drawn {
    QImage image;
    PlaybackStats stats;
    qsizetype simplified = 0;
};

Drawn drawFrom(const EmfFile& emf, const EmfPlusRecordList& list) {
    Drawn out{QImage(120, 90, QImage::Format_RGB32), {}, 0};
    out.image.fill(Qt::white);
    QPainter painter(&out.image);
    const QRectF target(out.image.rect());
    GdiPlayer gdi(painter, target);
    gdi.setFrameMappedUnderWorld(true);
    out.stats = playEmfPlus(emf, list, gdi, painter, target, {});
    out.simplified = gdi.simplifiedCount();
    return out;
}

const EmfFile& emfOf(const DocumentPtr& document) {
    return *dynamic_cast<const PlayableDocument&>(*document).emfFile();
}

DocumentPtr parsed(const QByteArray& bytes) {
    const ParseResult result = parseMetafile(bytes);
    return std::get<DocumentPtr>(result);
}

TEST(EmfPlusRecordList, CutAtItsBoundAnywhereItDecidesAndDrawsAsWhole) {
    // The sampler draws every record; the EMF+-only picture skips its damaged comment.
    for (const auto& [bytes, skipped] :
         {std::pair(test::emfPlusSampler(), 0), std::pair(emfPlusOnlyPicture(), 1)}) {
        const DocumentPtr document = parsed(bytes);
        const EmfFile& emf = emfOf(document);
        const auto whole = emfPlusRecordsToDraw(emf);
        ASSERT_TRUE(whole);
        const Drawn expected = drawFrom(emf, *whole);
        EXPECT_EQ(expected.stats.recordsSkipped, skipped);
        // Nothing decoded yet: every record decoded as the walk reaches it.
        const Drawn fresh = drawFrom(emf, EmfPlusRecordList(emf));
        EXPECT_TRUE(fresh.image == expected.image);
        // Bounds that cut before each record in turn (every record is counted at more than
        // 256 bytes), up to one that keeps them all.
        for (size_t bound = 0;; bound += 256) {
            const auto list = emfPlusRecordsToDraw(emf, bound);
            ASSERT_TRUE(list) << bound;
            const Drawn drawn = drawFrom(emf, *list);
            EXPECT_TRUE(drawn.image == expected.image) << bound;
            EXPECT_EQ(drawn.stats.recordsPlayed, expected.stats.recordsPlayed) << bound;
            EXPECT_EQ(drawn.stats.recordsSkipped, expected.stats.recordsSkipped) << bound;
            EXPECT_EQ(drawn.simplified, expected.simplified) << bound;
            if (bound == 0) {
                EXPECT_EQ(list->keptCount(), 0u);
            }
            if (list->keptCount() == whole->keptCount()) break;
        }
    }
    // A dual picture with a record the player does not draw keeps its GDI rendition, however
    // little of it is kept.
    EmfBuilder emf(100, 100);
    EmfPlusBuilder plus;
    plus.header(true).fillRects(plusColor(0xFF00C000), {{0, 0, 100, 100}});
    plus.record(0x401C, 0x8000, QByteArray(28, '\0')).flushTo(emf);
    emf.rectangle(0, 0, 100, 100);
    plus.endOfFile().flushTo(emf);
    const DocumentPtr dual = parsed(emf.build());
    for (size_t bound : {size_t(0), size_t(700), kMaxKeptEmfPlusBytes})
        EXPECT_FALSE(emfPlusRecordsToDraw(emfOf(dual), bound)) << bound;
}

// The first render decodes the records once for all: renders that start together on other
// threads wait for it and draw from the same list.
TEST(EmfPlusRecordList, OneDocumentDrawnOnManyThreadsAtOnce) {
    const QByteArray bytes = test::emfPlusSampler();
    const auto drawn = [](const Document& document) {
        QImage image(240, 180, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        render(document, painter, QRectF(image.rect()));
        return image;
    };
    const QImage alone = drawn(*parsed(bytes));
    const DocumentPtr shared = parsed(bytes);
    // Qt's own threads, as the window's and plumeconv's drawing threads are: on Windows Qt
    // tears a foreign thread's font data down from another thread as it ends.
    std::vector<QImage> images(4);
    std::vector<std::unique_ptr<QThread>> threads;
    for (QImage& image : images) {
        threads.emplace_back(QThread::create([&] { image = drawn(*shared); }));
        threads.back()->start();
    }
    for (const auto& thread : threads) thread->wait();
    for (const QImage& image : images) EXPECT_TRUE(image == alone);
}

}  // namespace
}  // namespace plume::metafile
