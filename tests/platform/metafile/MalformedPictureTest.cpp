// Broken and hostile input through the picture loader and the renderer: each file gives an
// error with a message or a (partial) picture, and drawing it never crashes or runs away.
// Under the sanitizer build these same cases check every read and allocation.

#include "platform/picture/Picture.h"
#include "platform/picture/PictureIo.h"

#include "builders/EmfBuilder.h"
#include "builders/WmfBuilder.h"

#include <gtest/gtest.h>
#include <QPainter>
#include <QtEndian>

namespace plume {
namespace {

using metafile::EmfRecordType;
using test::EmfBuilder;

// Loads and, when that works, renders at a small size. Returns whether a picture came out.
bool loadAndRender(const QByteArray& bytes, const std::string& label) {
    Expected<PicturePtr> loaded = pictureFromBytes(bytes);
    if (!loaded) {
        EXPECT_FALSE(loaded.error().isEmpty()) << label;
        return false;
    }
    EXPECT_NE(loaded.value(), nullptr) << label;
    if (!loaded.value()) return false;
    Expected<QImage> image = renderPicture(*loaded.value(), {64, 48});
    EXPECT_TRUE(image) << label;
    return true;
}

void setU32(QByteArray& bytes, qsizetype offset, uint32_t value) {
    ASSERT_LE(offset + 4, bytes.size());
    qToLittleEndian(value, bytes.data() + offset);
}

QByteArray smallDrawing() {
    return test::busyDrawing(60, 200, 150);
}

// Offsets of every record in an EMF made here (each record's size field is trusted: these
// files are our own).
std::vector<qsizetype> recordOffsets(const QByteArray& emf) {
    std::vector<qsizetype> offsets;
    for (qsizetype at = 0; at + 8 <= emf.size();) {
        offsets.push_back(at);
        at += qFromLittleEndian<uint32_t>(emf.constData() + at + 4);
    }
    return offsets;
}

TEST(MalformedPicture, EveryTruncationIsRefusedOrDrawnInPart) {
    const QByteArray whole = smallDrawing();
    for (qsizetype cut = 0; cut < whole.size(); cut += 3)
        loadAndRender(whole.left(cut), "cut at " + std::to_string(cut));
}

TEST(MalformedPicture, ARecordCutInHalfEndsThePictureAndKeepsWhatCameBefore) {
    const QByteArray whole = smallDrawing();
    Expected<PicturePtr> full = pictureFromBytes(whole);
    ASSERT_TRUE(full) << full.error().toStdString();
    const std::vector<qsizetype> offsets = recordOffsets(whole);
    ASSERT_GT(offsets.size(), 20u);
    const qsizetype middle = offsets[offsets.size() / 2];
    const QByteArray cut = whole.left(middle + 6);  // into the size field of that record
    Expected<PicturePtr> partial = pictureFromBytes(cut);
    ASSERT_TRUE(partial) << partial.error().toStdString();
    EXPECT_LT(partial.value()->document()->recordCount(), full.value()->document()->recordCount());
    EXPECT_GT(partial.value()->document()->recordCount(), 1);
    EXPECT_FALSE(partial.value()->document()->truncationNote().isEmpty());
}

TEST(MalformedPicture, RecordSizesThatCannotBeTrusted) {
    const QByteArray whole = smallDrawing();
    const std::vector<qsizetype> offsets = recordOffsets(whole);
    const qsizetype second = offsets[1];
    for (uint32_t size : {0u, 2u, 7u, 9u, 0x7FFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFF8u}) {
        QByteArray bytes = whole;
        setU32(bytes, second + 4, size);
        loadAndRender(bytes, "record size " + std::to_string(size));
    }
    // The header's own size, total size and record count fields.
    for (auto [offset, value] : std::vector<std::pair<qsizetype, uint32_t>>{{4, 0},
                                                                            {4, 0xFFFFFFF0u},
                                                                            {4, 3},
                                                                            {48, 0},
                                                                            {48, 0xFFFFFFFFu},
                                                                            {52, 0},
                                                                            {52, 0xFFFFFFFFu},
                                                                            {56, 0xFFFF}}) {
        QByteArray bytes = whole;
        setU32(bytes, offset, value);
        loadAndRender(bytes, "header field " + std::to_string(offset));
    }
}

TEST(MalformedPicture, CountsFarBeyondTheData) {
    EmfBuilder emf(100, 100);
    // EMR_POLYLINE16 claiming two billion points but carrying three: (0, 20), (10, 20), (20, 20).
    emf.record(uint32_t(EmfRecordType::Polyline16),
               {0, 0, 100, 100, 0x7FFFFFFF, 0x00140000, 0x0014000A, 0x00140014});
    // EMR_EXTTEXTOUTW whose string and Dx offsets point far outside the record.
    emf.record(uint32_t(EmfRecordType::ExtTextOutW),
               {0, 0, 0xFFFFFFFF, 0xFFFFFFFF, 1, 0, 0, 5, 5, 0x40000000, 0x7FFFFFF0, 0, 0, 0,
                0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFF0});
    emf.rectangle(10, 10, 50, 50);
    EXPECT_TRUE(loadAndRender(emf.build(), "counts"))
        << "bad records are skipped or end the picture, the header alone still makes one";
}

// Extents inside a drawing are MalformedInput's; these are the pictures' own sizes.
TEST(MalformedPicture, ZeroAndNegativePictureSizes) {
    for (auto [w, h] : std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {-500, 300}}) {
        EmfBuilder emf(w, h);
        emf.rectangle(0, 0, 10, 10);
        loadAndRender(emf.build(), "frame " + std::to_string(w) + "x" + std::to_string(h));
    }
    test::WmfBuilder wmf;
    wmf.setWindowOrg(0, 0).setWindowExt(0, 0);
    wmf.rectangle(-32768, -32768, 32767, 32767);
    loadAndRender(wmf.placeable(0, 0, 0, 0, 0), "placeable, zero bounds and units");
    loadAndRender(wmf.raw(), "raw, zero window");
}

TEST(MalformedPicture, FilesThatAreNoPicture) {
    const QList<QByteArray> samples = {
        QByteArray(),
        QByteArray("\x01", 1),
        QByteArray("GIF89a"),
        QByteArray("%PDF-1.4\n"),
        QByteArray(4096, '\0'),
        QByteArray(4096, '\xFF'),
        QByteArray("BM") + QByteArray(60, '\xFF'),
        QByteArray("\xD7\xCD\xC6\x9A", 4),                                  // placeable key alone
        QByteArray("\x01\x00\x00\x00", 4) + QByteArray(36, '\0') + " EMF",  // header cut short
    };
    for (const QByteArray& bytes : samples)
        EXPECT_FALSE(loadAndRender(bytes, "sample of " + std::to_string(bytes.size()) + " bytes"));
}

}  // namespace
}  // namespace plume
