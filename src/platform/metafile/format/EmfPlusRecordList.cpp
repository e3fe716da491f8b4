#include "platform/metafile/format/EmfPlusRecordList.h"

#include "platform/metafile/format/BoundedReader.h"
#include "platform/metafile/format/EmfReader.h"
#include "platform/metafile/format/MetafileFormat.h"

#include <algorithm>
#include <variant>

namespace plume::metafile {

using namespace emfplus;

namespace {

// The bytes of a path's outline: combined regions and gradient boundaries can hold far more
// elements than their record has bytes.
size_t outlineBytes(const QPainterPath& path) {
    return size_t(path.elementCount()) * sizeof(QPainterPath::Element);
}

size_t brushBytes(const Brush& brush) {
    return size_t(brush.texture.sizeInBytes()) + outlineBytes(brush.boundary);
}

// What a decoded object holds beyond what its bytes say: pixels and outlines.
size_t objectBytes(const ObjectData& data) {
    if (const auto* image = std::get_if<Image>(&data)) return size_t(image->bitmap.sizeInBytes());
    if (const auto* brush = std::get_if<Brush>(&data)) return brushBytes(*brush);
    if (const auto* pen = std::get_if<Pen>(&data)) return brushBytes(pen->brush);
    if (const auto* region = std::get_if<Region>(&data)) return outlineBytes(region->path);
    return 0;
}

// About the memory a decoded record holds: the record itself, its fields grown from their
// bytes (at most sixteen bytes for each: a relative point of two bytes becomes a QPointF),
// and the pixels and outlines of its object.
size_t keptBytes(const std::optional<Record>& record, size_t dataBytes) {
    size_t bytes = sizeof(std::optional<Record>) + 16 * dataBytes;
    if (const auto* object = record ? std::get_if<ObjectRecord>(&*record) : nullptr)
        bytes += objectBytes(object->data);
    return bytes;
}

bool isComment(const EmfFile& file, size_t index) {
    return file.records[index].type == uint32_t(EmfRecordType::Comment);
}

}  // namespace

std::span<const uint8_t> emfPlusPayloadOf(const EmfFile& file, size_t index) {
    if (!isComment(file, index)) return {};
    const EmfRecordRef& record = file.records[index];
    return emfPlusPayload(byteSpan(file.bytes).subspan(record.offset, record.size));
}

EmfPlusRecordList::EmfPlusRecordList(const EmfFile& file, size_t maxKeptBytes)
    : m_file(file), m_maxKeptBytes(maxKeptBytes) {}

void EmfPlusRecordList::decodeThrough(size_t last) {
    while (!m_cut && m_next < m_file.records.size() && m_next <= last) {
        if (isComment(m_file, m_next)) {
            const auto payload = emfPlusPayloadOf(m_file, m_next);
            if (!payload.empty()) decodeComment(m_next, payload);
        }
        if (!m_cut) ++m_next;
    }
}

// Room for every record the list may keep from the first EMF+ comment, `first`, on, counted
// by their headers alone, so that the list never moves its records as it grows.
void EmfPlusRecordList::reserveFrom(size_t first) {
    const size_t most = m_maxKeptBytes / sizeof(std::optional<Record>) + 1;
    size_t count = 0;
    for (size_t i = first; i < m_file.records.size() && count < most; ++i)
        if (isComment(m_file, i))
            forEachRecord(emfPlusPayloadOf(m_file, i), [&](const RawRecord&) { ++count; });
    m_records.reserve(std::min(count, most));
}

// The records of one comment, kept until the bound is reached: the record that finds it
// reached is the first one left to the walks (the one before it may pass the bound by its
// own size, as the one record a drawing decodes at a time does).
void EmfPlusRecordList::decodeComment(size_t index, std::span<const uint8_t> payload) {
    if (m_comments.empty()) reserveFrom(index);
    Comment comment{index, m_records.size(), 0, true};
    comment.whole = forEachRecord(payload, [&](const RawRecord& raw) {
        if (m_cut) return;
        if (m_keptBytes >= m_maxKeptBytes) {
            m_cut = true;
            m_cutOffset = size_t(raw.data.data() - payload.data()) - 12;  // the record's header
            return;
        }
        m_records.push_back(m_reader.decode(raw));
        m_keptBytes += keptBytes(m_records.back(), raw.data.size());
    });
    comment.count = m_records.size() - comment.first;
    m_comments.push_back(comment);
}

}  // namespace plume::metafile
