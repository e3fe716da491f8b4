#pragma once

// EmfPlusRecordList: the EMF+ records of an EMF's "EMF+" comments, decoded once and kept in
// file order, so that deciding whether a picture is drawn from them and drawing them (again
// for every size, band and copy) read the same typed records. The list is made on one thread
// (the document makes it once, the first time the picture is drawn) and only read after.
//
// Typed records take more memory than their bytes (a point of two bytes becomes sixteen, an
// image its pixels), so a list keeps records only while their estimated memory stays under a
// bound; a walk decodes the records past the kept ones as it reaches them, each walk with a
// reader of its own, as every drawing of a picture too large to keep must.

#include "platform/metafile/format/EmfPlusReader.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace plume::metafile {

struct EmfFile;

// What the records of one picture may hold in memory, as the list estimates it (generously:
// the largest EMF+ picture of the corpus is counted at about 12 MB).
inline constexpr size_t kMaxKeptEmfPlusBytes = 64u * 1024 * 1024;

// The EMF+ records of EMF record `index` of `file` (an EMR_COMMENT's "EMF+" payload), empty
// when it holds none.
std::span<const uint8_t> emfPlusPayloadOf(const EmfFile& file, size_t index);

class EmfPlusRecordList {
  public:
    // Nothing is decoded yet. `file` outlives the list (the document holds both).
    explicit EmfPlusRecordList(const EmfFile& file, size_t maxKeptBytes = kMaxKeptEmfPlusBytes);

    // Decodes the EMF+ comments up to EMF record `last` (all of them with SIZE_MAX) that are
    // not decoded yet, keeping their records until the bound is reached.
    void decodeThrough(size_t last);

    // The records kept, for tests.
    size_t keptCount() const { return m_records.size(); }

    class Walk;

  private:
    struct Comment {
        size_t emfRecord = 0;
        size_t first = 0, count = 0;  // in m_records
        bool whole = true;            // every record's size was sound (forEachRecord)
    };
    void reserveFrom(size_t first);
    void decodeComment(size_t index, std::span<const uint8_t> payload);

    const EmfFile& m_file;
    size_t m_maxKeptBytes;
    size_t m_keptBytes = 0;
    std::vector<std::optional<emfplus::Record>> m_records;
    std::vector<Comment> m_comments;
    // Where decoding stands: the next EMF record to decode, and the reader as the records
    // before it left it (an object's continued parts). Once the bound is reached it stays
    // here, inside comment m_next from byte m_cutOffset of its payload on.
    size_t m_next = 1;
    bool m_cut = false;
    size_t m_cutOffset = 0;
    emfplus::Reader m_reader;
};

// Reads a list's records in file order, EMF record by EMF record (indexes asked in increasing
// order): the kept records as they are, the others decoded as they come.
class EmfPlusRecordList::Walk {
  public:
    explicit Walk(const EmfPlusRecordList& list) : m_list(list) {}

    // Hands each EMF+ record of EMF record `index` to each(const std::optional<Record>&)
    // (nullopt: damaged). Returns nullopt when the record is no EMF+ comment, otherwise
    // whether every record's size in it was sound.
    template <typename Each>
    std::optional<bool> comment(size_t index, Each&& each);

  private:
    const EmfPlusRecordList& m_list;
    size_t m_comment = 0;                     // the next kept comment
    std::optional<emfplus::Reader> m_reader;  // for the records past the kept ones
};

template <typename Each>
std::optional<bool> EmfPlusRecordList::Walk::comment(size_t index, Each&& each) {
    const auto& comments = m_list.m_comments;
    while (m_comment < comments.size() && comments[m_comment].emfRecord < index) ++m_comment;
    size_t from = 0;  // where the records not kept start in the payload
    if (m_comment < comments.size() && comments[m_comment].emfRecord == index) {
        const Comment& kept = comments[m_comment];
        for (size_t i = kept.first; i < kept.first + kept.count; ++i) each(m_list.m_records[i]);
        if (!m_list.m_cut || index != m_list.m_next) return kept.whole;
        from = m_list.m_cutOffset;
    } else if (index < m_list.m_next) {
        return std::nullopt;  // decoded: no EMF+ comment
    }
    const auto payload = emfPlusPayloadOf(m_list.m_file, index);
    if (payload.empty()) return std::nullopt;
    if (!m_reader) m_reader = m_list.m_reader;
    return emfplus::forEachRecord(payload.subspan(from), [&](const emfplus::RawRecord& raw) {
        const std::optional<emfplus::Record> record = m_reader->decode(raw);
        each(record);
    });
}

}  // namespace plume::metafile
