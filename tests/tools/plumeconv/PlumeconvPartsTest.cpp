// plumeconv's parts in-process: the command line, what counts as damaged, sizes, batch
// naming and overwriting, and the thumbnail's fields.

#include "Batch.h"
#include "Convert.h"
#include "Options.h"
#include "Thumbnail.h"

#include "builders/EmfBuilder.h"
#include "support/FailingWrites.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QTemporaryDir>
#include <QUrl>
#include <QtEndian>

namespace plume::conv {
namespace {

Options parsed(const QStringList& args) {
    Expected<Options> options = parseOptions(args);
    EXPECT_TRUE(options) << args.join(' ').toStdString() << ": " << options.error().toStdString();
    return options.value();
}

// 240 x 120: blue over the left half, red over the right half.
QByteArray twoHalves() {
    test::EmfBuilder emf(240, 120);
    emf.createBrush(1, 0, 0xFF0000).selectObject(1).rectangle(0, 0, 120, 120);
    emf.createBrush(2, 0, 0x0000FF).selectObject(2).rectangle(120, 0, 240, 120);
    return emf.build();
}

// The offset of the EMF's record number `index` (0 is the header).
qsizetype recordOffset(const QByteArray& emf, int index) {
    qsizetype at = 0;
    for (int i = 0; i < index; ++i) at += qFromLittleEndian<quint32>(emf.constData() + at + 4);
    return at;
}

TEST(PlumeconvOptions, ReadsModesFormatsAndSizes) {
    Options one = parsed({"in.wmf", "out.SVG", "--width=300"});
    EXPECT_EQ(one.mode, Mode::Convert);
    EXPECT_EQ(one.format, Format::Svg);
    EXPECT_EQ(one.width, 300);

    // --format wins over the ending; "-" is a file name, not an option.
    Options piped = parsed({"--format", "pdf", "-", "-"});
    EXPECT_EQ(piped.format, Format::Pdf);
    EXPECT_EQ(piped.inputs, QStringList{"-"});
    EXPECT_EQ(piped.output, "-");

    Options batch = parsed({"--out-dir", "o", "-j2", "a.emf", "--format=emf", "b.wmf", "--force"});
    EXPECT_EQ(batch.mode, Mode::Batch);
    EXPECT_EQ(batch.inputs, (QStringList{"a.emf", "b.wmf"}));
    EXPECT_EQ(batch.format, Format::Emf);
    EXPECT_EQ(batch.jobs, 2);
    EXPECT_TRUE(batch.force);
    EXPECT_EQ(parsed({"--out-dir", "o", "a.emf"}).format, Format::Png);

    Options ground = parsed({"a.emf", "a.png", "--background", "none", "--dpi", "192"});
    EXPECT_EQ(ground.background->alpha(), 0);
    EXPECT_EQ(ground.dpi, 192.0);
    EXPECT_EQ(parsed({"a.emf", "a.png", "--background", "#ff0000"}).background, QColor(Qt::red));

    Options thumb = parsed({"--thumbnail", "128", "a.emf", "t.png"});
    EXPECT_EQ(thumb.mode, Mode::Thumbnail);
    EXPECT_EQ(thumb.thumbnailSize, 128);
    EXPECT_EQ(parsed({"a.emf", "a.png"}).timeLimitMs, kDefaultTimeLimitMs);
    EXPECT_EQ(parsed({"a.emf", "a.png", "--time-limit", "2.5"}).timeLimitMs, 2500);
    EXPECT_EQ(parsed({"a.emf", "--help", "--bogus"}).mode, Mode::Help);
    EXPECT_EQ(parsed({"--version"}).mode, Mode::Version);
}

TEST(PlumeconvOptions, RefusesWhatDoesNotFitTogether) {
    const QList<QStringList> wrong = {
        {"a.emf"},
        {"a.emf", "a.png", "b.png"},
        {"a.emf", "-"},  // standard output needs a format
        {"a.emf", "a.gif"},
        {"a.emf", "a.png", "--format", "gif"},
        {"a.emf", "a.png", "--dpi", "0"},
        {"a.emf", "a.png", "--scale", "2", "--width", "10"},
        {"a.emf", "a.png", "--background", "nocolour"},
        {"a.emf", "a.emf", "--width", "10"},
        {"a.emf", "a.emf", "--background", "white"},
        {"a.emf", "a.emf", "--no-emfplus"},
        {"a.emf", "a.png", "--jobs"},
        {"--out-dir", "o"},
        {"--out-dir", "o", "-j", "0", "a.emf"},
        {"--out-dir", "o", "-", "-"},
        {"--thumbnail", "0", "a.emf", "t.png"},
        {"--thumbnail", "64", "--out-dir", "o", "a.emf"},
        {"--thumbnail", "64", "--width", "9", "a.emf", "t.png"},
        {"a.emf", "a.png", "--depth", "3"},
        {"a.emf", "a.png", "--time-limit", "0"},
        {"a.emf", "a.png", "--time-limit", "1e9"},
        {"--thumbnail", "64", "--time-limit", "5", "a.emf", "t.png"},
    };
    for (const QStringList& args : wrong) {
        Expected<Options> options = parseOptions(args);
        EXPECT_FALSE(options) << args.join(' ').toStdString();
        EXPECT_FALSE(options.error().contains(u'\n')) << args.join(' ').toStdString();
    }
}

TEST(PlumeconvDrawing, CutShortIsDamagedARecordOfImpossibleSizeEndsThePictureWithAWarning) {
    const QByteArray whole = twoHalves();
    const Drawing intact = drawingFromBytes("whole.emf", whole);
    ASSERT_TRUE(intact.picture);
    EXPECT_TRUE(intact.warning.isEmpty());

    // Cut in the middle of the records: the header says more bytes than there are.
    const Drawing cut = drawingFromBytes("cut.emf", whole.left(recordOffset(whole, 5) + 4));
    EXPECT_FALSE(cut.picture);
    EXPECT_EQ(cut.failure.code, kDamaged);
    EXPECT_TRUE(cut.failure.message.contains("cut.emf is damaged")) << cut.failure.message.toStdString();

    // A header that cannot be read is damaged too.
    QByteArray badHeader = whole;
    qToLittleEndian<quint32>(8, badHeader.data() + 4);
    EXPECT_EQ(drawingFromBytes("h.emf", badHeader).failure.code, kDamaged);

    // The second brush's record claims more than the file holds: the left half is drawn, the
    // picture ends there, and the warning names the cause.
    QByteArray broken = whole;
    qToLittleEndian<quint32>(0x10000, broken.data() + recordOffset(whole, 4) + 4);
    const Drawing part = drawingFromBytes("part.emf", broken);
    ASSERT_TRUE(part.picture) << part.failure.message.toStdString();
    EXPECT_TRUE(part.warning.contains("part.emf is drawn only in part")) << part.warning.toStdString();
    EXPECT_TRUE(part.warning.contains("impossible size")) << part.warning.toStdString();

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImage(4, 4, QImage::Format_RGB32).save(&buffer, "PNG");
    const Drawing raster = drawingFromBytes("r.png", png);
    EXPECT_EQ(raster.failure.code, kBadInput);
    EXPECT_TRUE(raster.failure.message.contains("raster image"));
    EXPECT_EQ(drawingFromBytes("e.emf", {}).failure.code, kBadInput);
}

TEST(PlumeconvDrawing, EveryFormatReportsADeviceThatFillsUp) {
    const Drawing drawing = drawingFromBytes("two.emf", twoHalves());
    ASSERT_TRUE(drawing.picture);
    for (const Format format : {Format::Png, Format::Svg, Format::Pdf, Format::Emf}) {
        Options options;
        options.format = format;
        test::FailDevice full(100);
        const auto written =
            writeDrawing(*drawing.picture, QSize(240, 120), options, full, 1 << 20);
        EXPECT_FALSE(written) << endingOf(format).toStdString();
    }
}

TEST(PlumeconvSize, DpiAndScaleMultiplyTheOwnSizeAnEmptyOrTinyFrameIsNamed) {
    const Drawing drawing = drawingFromBytes("d.emf", twoHalves());
    const metafile::Document& document = *drawing.picture->document();
    EXPECT_EQ(chooseSize(document, parsed({"a", "b.png"})).value(), QSize(240, 120));
    EXPECT_EQ(chooseSize(document, parsed({"a", "b.png", "--dpi", "192"})).value(),
              QSize(480, 240));
    EXPECT_EQ(chooseSize(document, parsed({"a", "b.png", "--dpi", "48", "--scale", "3"})).value(),
              QSize(360, 180));
    EXPECT_EQ(chooseSize(document, parsed({"a", "b.png", "--height", "60"})).value(),
              QSize(120, 60));
    EXPECT_TRUE(chooseSize(document, parsed({"a", "b.png", "--scale", "1000"}))
                    .error()
                    .contains("too large"));
    EXPECT_EQ(chooseSize(document, parsed({"a", "b.png", "--width", "-1"})).error(),
              "--width needs a whole number of pixels above 0: -1");
    EXPECT_EQ(chooseSize(document, parsed({"a", "b.png", "--width", "9", "--height", "0"})).error(),
              "--height needs a whole number of pixels above 0: 0");
    // A frame that is there but rounds below a pixel at the --dpi asked for is not empty.
    EXPECT_EQ(chooseSize(document, parsed({"a", "b.png", "--dpi", "1e-5"})).error(),
              "at 1e-05 dots per inch the drawing is 2.5e-05 x 1.25e-05 pixels, less than one "
              "pixel a side; give a larger --dpi or --scale, or --width and --height");
    EXPECT_TRUE(chooseSize(document, parsed({"a", "b.png", "--dpi", "1e300"}))
                    .error()
                    .startsWith("the size 2.5e+300 x 1.25e+300 is too large"));

    const Drawing flat = drawingFromBytes("flat.emf", test::EmfBuilder(0, 0).build());
    ASSERT_TRUE(flat.picture);
    EXPECT_TRUE(chooseSize(*flat.picture->document(), parsed({"a", "b.png"}))
                    .error()
                    .contains("the frame is empty"));
    EXPECT_EQ(chooseSize(*flat.picture->document(),
                         parsed({"a", "b.png", "--width", "8", "--height", "4"}))
                  .value(),
              QSize(8, 4));
}

TEST(PlumeconvBatch, NamesTakenTwiceAndExistingFilesAreNotOverwritten) {
    EXPECT_EQ(batchOutputs({"x/a.emf", "y/a.wmf", "b.old.wmf", "-"}, "out", Format::Svg),
              (QStringList{"out/a.svg", "", "out/b.old.svg", "out/stdin.svg"}));

    QTemporaryDir dir;
    const QString good = dir.filePath("good.emf");
    const QString other = dir.filePath("other.emf");
    const QString bad = dir.filePath("bad.emf");
    test::writeFileBytes(good, twoHalves());
    test::writeFileBytes(other, twoHalves());
    test::writeFileBytes(bad, twoHalves().left(200));
    QDir(dir.path()).mkdir("out");
    const QString kept = dir.filePath("out/other.png");
    test::writeFileBytes(kept, "keep me");

    Options options = parsed({"--out-dir", dir.filePath("out"), "-j", "2", good, bad, other});
    QStringList lines;
    QList<int> progress;
    BatchListener listener;
    listener.message = [&](const QString& line, bool) { lines.append(line); };
    listener.progress = [&](int done, int total, const QString&) {
        EXPECT_EQ(total, 3);
        progress.append(done);
    };
    const BatchReport report = runBatch(options, listener);
    EXPECT_EQ(report.converted, 1);
    EXPECT_EQ(report.failed, 2);
    EXPECT_EQ(progress, (QList<int>{1, 2, 3}));
    EXPECT_EQ(lines.size(), 2) << lines.join('\n').toStdString();
    EXPECT_EQ(QImage(dir.filePath("out/good.png")).size(), QSize(240, 120));
    EXPECT_EQ(test::readFileBytes(kept), "keep me");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("out/bad.png")));
    EXPECT_EQ(QDir(dir.filePath("out")).entryList(QDir::Files).size(), 2) << "no temporary left";

    options.force = true;
    EXPECT_EQ(runBatch(options, {}).converted, 2);
    EXPECT_EQ(QImage(kept).size(), QSize(240, 120));
}

TEST(PlumeconvThumbnail, FitsTheSizeAndCarriesTheSpecFields) {
    EXPECT_EQ(thumbnailSize(QSize(240, 120), 128), QSize(128, 64));
    EXPECT_EQ(thumbnailSize(QSize(10, 4000), 256), QSize(1, 256));

    QTemporaryDir dir;
    const QString path = dir.filePath("drawing one.emf");
    const QByteArray bytes = twoHalves();
    test::writeFileBytes(path, bytes);
    Outcome failure;
    Expected<ThumbnailPlan> thumb = planThumbnail(path, 64, failure);
    ASSERT_TRUE(thumb) << thumb.error().toStdString();
    EXPECT_EQ(thumb.value().size, QSize(64, 32));
    QMap<QByteArray, QByteArray> text;
    for (const auto& [key, value] : thumb.value().text) text.insert(key, value);
    EXPECT_EQ(text.value("Thumb::URI"), QUrl::fromLocalFile(path).toEncoded());
    EXPECT_TRUE(text.value("Thumb::URI").endsWith("/drawing%20one.emf"));
    EXPECT_EQ(text.value("Thumb::MTime"),
              QByteArray::number(QFileInfo(path).lastModified().toSecsSinceEpoch()));
    EXPECT_EQ(text.value("Thumb::Size"), QByteArray::number(bytes.size()));
    EXPECT_EQ(text.value("Thumb::Image::Width"), "240");
    EXPECT_EQ(text.value("Thumb::Image::Height"), "120");
    EXPECT_TRUE(text.value("Software").startsWith("plumeconv "));

    test::writeFileBytes(path, bytes.left(100));
    EXPECT_FALSE(planThumbnail(path, 64, failure));
    EXPECT_EQ(failure.code, kDamaged);
}

}  // namespace
}  // namespace plume::conv
