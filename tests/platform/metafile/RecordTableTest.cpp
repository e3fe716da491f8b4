// The record table is the one list of what the engine does with each record type; these tests
// hold both decoders to it, so that no record type is skipped without being listed there, hold
// the EMF writer to it, so that no drawn WMF record is lost when a WMF becomes an EMF, and
// keep docs/records.md in step with it.

#include "builders/RecordSamples.h"
#include "builders/WmfBuilder.h"
#include "platform/metafile/format/BoundedReader.h"
#include "platform/metafile/format/Document.h"
#include "platform/metafile/format/EmfDecoder.h"
#include "platform/metafile/format/EmfPlusReader.h"
#include "platform/metafile/format/MetafileFormat.h"
#include "platform/metafile/format/RecordTable.h"
#include "platform/metafile/format/WmfDecoder.h"
#include "platform/metafile/render/EmfPlusPlayer.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <set>
#include <string>

using namespace plume::metafile;
using plume::test::sampleEmfPlusObjects;
using plume::test::sampleEmfPlusRecord;
using plume::test::sampleEmfRecordBody;
using plume::test::sampleWmfParams;
using plume::test::WmfBuilder;

namespace {

// Counts the records handed over as unknown; the decoders' outcome says the rest.
class UnknownCounter : public GdiSink {
  public:
    int unknown = 0;
    void unknownRecord(uint32_t, std::span<const uint8_t>) override { ++unknown; }
};

struct Fed {
    RecordOutcome outcome;
    int unknown;
};

Fed feedEmf(uint32_t type, const QByteArray& body) {
    QByteArray record(8, '\0');
    record += body;
    const auto bytes =
        std::span(reinterpret_cast<const uint8_t*>(record.constData()), size_t(record.size()));
    UnknownCounter sink;
    EmfDecoder decoder(sink);
    const RecordOutcome outcome = decoder.play(type, bytes);
    return {outcome, sink.unknown};
}

Fed feedWmf(uint16_t function, const QByteArray& params) {
    UnknownCounter sink;
    WmfDecoder decoder(sink);
    // Object 0, for the records that name an object.
    const QByteArray pen = sampleWmfParams(META_CREATEPENINDIRECT);
    decoder.play(META_CREATEPENINDIRECT,
                 std::span(reinterpret_cast<const uint8_t*>(pen.data()), size_t(pen.size())));
    const RecordOutcome outcome = decoder.play(
        function,
        std::span(reinterpret_cast<const uint8_t*>(params.constData()), size_t(params.size())));
    return {outcome, sink.unknown};
}

// What the table asks of a record fed to its decoder: drawn records become sink calls (Played,
// nothing unknown); ignored and not-yet ones reach the sink as unknownRecord only.
void expectAsListed(const RecordInfo& r, const Fed& fed) {
    const std::string what = std::string(r.name) + " (" + std::to_string(r.type) + ", " +
                             std::string(recordStatusName(r.status)) + ")";
    if (r.status == RecordStatus::Drawn || r.status == RecordStatus::Partly) {
        EXPECT_EQ(fed.outcome, RecordOutcome::Played) << what;
        EXPECT_EQ(fed.unknown, 0) << what;
    } else {
        EXPECT_EQ(fed.outcome, RecordOutcome::Unknown) << what
                                                       << ": the decoder draws it now;"
                                                          " the table must say so";
        EXPECT_EQ(fed.unknown, 1) << what;
    }
}

// EMF+: the sample record of a type, after the objects it names, read by the EMF+ reader and
// handed to the player as the renderer hands it (the records a sample needs before it, such
// as the Save a Restore names, too). Drawn records reach the player as typed records it
// draws; ignored ones as IgnoredRecord or a setting it takes; not-yet ones it refuses.
void expectEmfPlusAsListed(const RecordInfo& r) {
    const std::string what = std::string(r.name) + " (0x" +
                             QByteArray::number(r.type, 16).toStdString() + ", " +
                             std::string(recordStatusName(r.status)) + ")";
    QImage image(10, 10, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    EmfPlusPlayer player(painter, QTransform(), QRectF(0, 0, 10, 10));
    emfplus::Reader reader;
    const auto records = [&](const QByteArray& bytes) {
        std::vector<std::optional<emfplus::Record>> out;
        const auto span = std::span(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                    size_t(bytes.size()));
        EXPECT_TRUE(emfplus::forEachRecord(
            span, [&](const emfplus::RawRecord& raw) { out.push_back(reader.decode(raw)); }))
            << what;
        return out;
    };
    for (const auto& object : records(sampleEmfPlusObjects()))
        ASSERT_TRUE(object && player.play(*object)) << what << ": the sample objects";
    auto sample = records(sampleEmfPlusRecord(uint16_t(r.type)));
    ASSERT_FALSE(sample.empty()) << what;
    for (size_t i = 0; i + 1 < sample.size(); ++i)
        ASSERT_TRUE(sample[i] && player.play(*sample[i])) << what;
    const auto& record = sample.back();
    ASSERT_TRUE(record.has_value()) << what << ": the sample is refused as damaged";
    const bool ignored = std::holds_alternative<emfplus::IgnoredRecord>(*record);
    const bool setting = std::holds_alternative<emfplus::SettingRecord>(*record);
    const bool unsupported = std::holds_alternative<emfplus::UnsupportedRecord>(*record);
    const bool played = player.play(*record);
    switch (r.status) {
        case RecordStatus::Drawn:
        case RecordStatus::Partly:
            EXPECT_FALSE(ignored || unsupported) << what;
            EXPECT_TRUE(played) << what;
            break;
        case RecordStatus::Ignored:
            EXPECT_TRUE(ignored || setting) << what << ": the player draws it now";
            EXPECT_TRUE(played) << what;
            break;
        case RecordStatus::NotYet:
            EXPECT_FALSE(played) << what << ": the player draws it now; the table must say so";
            break;
    }
}

// The records of the EMF that Document::toEmf (the EMF writer) makes of a WMF, after the
// header. The WMF is placeable, so that its size, and so the header and the mapping the writer
// begins with, do not depend on what it draws.
QByteArray convertedRecords(const WmfBuilder& wmf) {
    const ParseResult parsed = parseMetafile(wmf.placeable(0, 0, 100, 100, 96));
    const auto* document = std::get_if<DocumentPtr>(&parsed);
    if (!document) return {};
    const QByteArray emf = (*document)->toEmf();
    const uint32_t headerSize = BoundedReader(emf).u32At(4);
    return emf.mid(qsizetype(headerSize));
}

QString docsPath() {
    return QDir(plume::test::sourceDir()).filePath(QStringLiteral("docs/records.md"));
}

QString markdown() {
    QString out = QStringLiteral(
        "# Metafile records\n\n"
        "What Plume's engine does with every record type of the EMF, EMF+ and WMF format "
        "documents.\n"
        "Generated from `src/platform/metafile/format/RecordTable.cpp` by RecordTableTest "
        "(`PLUME_WRITE_RECORDS_DOC=1 build/debug/tests/platform/metafile/metafile_tests "
        "--gtest_filter='RecordTable.*'`); edit the table, not this page.\n\n"
        "- drawn: played as GDI (GDI+ for EMF+) plays it\n"
        "- partly: played, but part of what GDI or GDI+ does is missing (see the note)\n"
        "- ignored: no meaning for the picture, on purpose (see the note)\n"
        "- not yet: GDI or GDI+ draws something for it that Plume does not yet\n");
    const auto section = [&](const char* title, std::span<const RecordInfo> table, bool hex) {
        int counts[4] = {};
        QString rows;
        for (const RecordInfo& r : table) {
            ++counts[int(r.status)];
            rows += QStringLiteral("| %1 | %2 | %3 | %4 |\n")
                        .arg(hex ? QStringLiteral("0x%1").arg(r.type, 4, 16, QLatin1Char('0'))
                                 : QString::number(r.type),
                             QString::fromUtf8(r.name.data(), qsizetype(r.name.size())),
                             QString::fromUtf8(recordStatusName(r.status).data()),
                             QString::fromUtf8(r.note.data(), qsizetype(r.note.size())));
        }
        out += QStringLiteral(
                   "\n## %1\n\n%2 types: %3 drawn, %4 partly, %5 ignored, %6 not yet.\n\n"
                   "| Type | Name | Status | Note |\n|---|---|---|---|\n")
                   .arg(QLatin1String(title))
                   .arg(table.size())
                   .arg(counts[0])
                   .arg(counts[1])
                   .arg(counts[2])
                   .arg(counts[3]);
        out += rows;
    };
    section("EMF (MS-EMF 2.1.1)", emfRecordTable(), false);
    section("EMF+ (MS-EMFPLUS 2.1.1.1)", emfPlusRecordTable(), true);
    section("WMF (MS-WMF 2.1.1.1)", wmfRecordTable(), true);
    return out;
}

}  // namespace

TEST(RecordTable, ListsEveryRecordTypeOfTheFormatsOnce) {
    // EMF: 1..122 in order (findEmfRecord relies on it).
    const auto emf = emfRecordTable();
    ASSERT_EQ(emf.size(), 122u);
    for (size_t i = 0; i < emf.size(); ++i) EXPECT_EQ(emf[i].type, i + 1);
    // WMF: the 70 functions of the RecordType enumeration, each once.
    std::set<uint32_t> functions;
    for (const RecordInfo& r : wmfRecordTable()) {
        EXPECT_TRUE(functions.insert(r.type).second) << r.name;
        EXPECT_EQ(findWmfRecord(uint16_t(r.type)), &r);
    }
    EXPECT_EQ(functions.size(), 70u);
    // EMF+: 0x4001..0x403A in order (findEmfPlusRecord relies on it).
    const auto plus = emfPlusRecordTable();
    ASSERT_EQ(plus.size(), 0x3Au);
    for (size_t i = 0; i < plus.size(); ++i) EXPECT_EQ(plus[i].type, 0x4001 + i);
    EXPECT_EQ(findEmfPlusRecord(0x4000), nullptr);
    EXPECT_EQ(findEmfPlusRecord(0x403B), nullptr);
    EXPECT_EQ(findEmfPlusRecord(0x4036), &plus[0x35]);
    EXPECT_EQ(findEmfRecord(0), nullptr);
    EXPECT_EQ(findEmfRecord(123), nullptr);
    EXPECT_EQ(findWmfRecord(0x0999), nullptr);
    // Every record that is not drawn whole says why.
    for (const auto table : {emf, wmfRecordTable(), plus})
        for (const RecordInfo& r : table)
            EXPECT_TRUE(r.status == RecordStatus::Drawn || !r.note.empty()) << r.name;
    // The decoders play a record by its family, looked up by type: every drawn EMF and WMF
    // record has one, no other has.
    for (const RecordInfo& r : emf) EXPECT_EQ(emfRecordFamily(r.type), r.family) << r.name;
    for (const RecordInfo& r : wmfRecordTable())
        EXPECT_EQ(wmfRecordFamily(uint16_t(r.type)), r.family) << r.name;
    for (const auto table : {emf, wmfRecordTable()})
        for (const RecordInfo& r : table)
            EXPECT_EQ(r.family != RecordFamily::None,
                      r.status == RecordStatus::Drawn || r.status == RecordStatus::Partly)
                << r.name;
    EXPECT_EQ(emfRecordFamily(123), RecordFamily::None);
    EXPECT_EQ(wmfRecordFamily(0x0999), RecordFamily::None);
    EXPECT_EQ(wmfRecordFamily(0xFFFF), RecordFamily::None);
}

TEST(RecordTable, EmfDecoderDoesWhatTheTableSays) {
    for (const RecordInfo& r : emfRecordTable())
        expectAsListed(r, feedEmf(r.type, sampleEmfRecordBody(r.type)));
    // A type outside the documents is handed over as unknown.
    for (uint32_t type : {0u, 123u, 200u, 0x4000'0001u})
        expectAsListed(RecordInfo{type, "outside the table", RecordStatus::NotYet, "-"},
                       feedEmf(type, sampleEmfRecordBody(type)));
}

TEST(RecordTable, WmfDecoderDoesWhatTheTableSays) {
    for (const RecordInfo& r : wmfRecordTable())
        expectAsListed(r, feedWmf(uint16_t(r.type), sampleWmfParams(uint16_t(r.type))));
    // No function outside the table is drawn, whatever its number.
    for (uint32_t f = 1; f <= 0xFFFF; ++f) {
        if (findWmfRecord(uint16_t(f))) continue;
        const Fed fed = feedWmf(uint16_t(f), sampleWmfParams(uint16_t(f)));
        if (fed.outcome != RecordOutcome::Unknown || fed.unknown != 1) {
            ADD_FAILURE() << "function 0x" << std::hex << f << " is decoded but not in the table";
            break;
        }
    }
}

TEST(RecordTable, EveryDrawnWmfRecordReachesTheEmfWriter) {
    // Each drawn record's sample between the same records before and after it: before, a
    // region (object 0, which the samples name) and a palette with reserved entries (object
    // 1), selected; after, what shows the state EMF has no record of its own for: the object
    // the sample made (2) selected, region 0 filled, text with advances. The EMF must differ
    // from the one written without the sample; a sink call the writer does not override
    // leaves it the same.
    const auto convert = [](std::optional<uint16_t> function) {
        WmfBuilder wmf;
        wmf.createRegion({{0, 10}}, {{{0, 10}}});
        wmf.createPalette({0x0100'00FF, 0x0100'FF00}).selectPalette(1);
        if (function) wmf.record(*function, sampleWmfParams(*function));
        wmf.selectObject(2).words(META_FILLREGION, {0, 0});
        wmf.extTextOut(1, 1, "ab", 0, {}, {5, 5});
        return convertedRecords(wmf);
    };
    const QByteArray without = convert(std::nullopt);
    ASSERT_FALSE(without.isEmpty());
    for (const RecordInfo& r : wmfRecordTable()) {
        if ((r.status != RecordStatus::Drawn && r.status != RecordStatus::Partly) ||
            r.type == META_EOF)
            continue;
        EXPECT_NE(convert(uint16_t(r.type)), without)
            << r.name << ": drawn, but the EMF writer leaves it out";
    }
}

TEST(RecordTable, EmfPlusReaderAndPlayerDoWhatTheTableSays) {
    for (const RecordInfo& r : emfPlusRecordTable()) expectEmfPlusAsListed(r);
    // A type outside the document is refused.
    for (uint16_t type : {uint16_t(0x4000), uint16_t(0x403B), uint16_t(0x4100)})
        expectEmfPlusAsListed(RecordInfo{type, "outside the table", RecordStatus::NotYet, "-"});
}

TEST(RecordTable, DocsPageListsTheTable) {
    const QString expected = markdown();
    if (qEnvironmentVariable("PLUME_WRITE_RECORDS_DOC") == QLatin1String("1")) {
        QFile out(docsPath());
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(expected.toUtf8());
    }
    QFile in(docsPath());
    ASSERT_TRUE(in.open(QIODevice::ReadOnly)) << qPrintable(docsPath());
    EXPECT_EQ(QString::fromUtf8(in.readAll()), expected)
        << "docs/records.md is older than the record table: run this test with "
           "PLUME_WRITE_RECORDS_DOC=1";
}
