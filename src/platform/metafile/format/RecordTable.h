#pragma once

// Every record type of the two metafile formats and what the engine does with it: the EMF
// record types 1..122 (MS-EMF 2.1.1) and the WMF record functions (MS-WMF 2.1.1.1). A record
// the decoders do not turn into GdiSink calls must be here as ignored or not yet, with the
// reason; RecordTableTest holds the decoders to this table, and docs/records.md lists it.

#include <cstdint>
#include <span>
#include <string_view>

namespace plume::metafile {

enum class RecordStatus {
    Drawn,    // decoded into sink calls and played as GDI plays it
    Partly,   // decoded into sink calls, but part of what GDI does is missing (see the note)
    Ignored,  // reaches the sink as unknownRecord on purpose: no meaning for our output
    NotYet,   // GDI draws something for it that the engine does not yet: unknownRecord
};

struct RecordInfo {
    uint32_t type;  // EMF record type or WMF record function
    std::string_view name;
    RecordStatus status;
    std::string_view note;  // why ignored, what is missing, or what the engine does
};

std::span<const RecordInfo> emfRecordTable();
std::span<const RecordInfo> wmfRecordTable();
// The EMF+ record types 0x4001..0x403A (MS-EMFPLUS 2.1.1.1), in number order: drawn or partly
// (the EMF+ reader makes a typed record the EMF+ player draws or applies), ignored (read and
// passed over on purpose), not yet (the player refuses it: a dual picture that has it keeps
// its GDI rendition).
std::span<const RecordInfo> emfPlusRecordTable();

// The entry of a type, or nullptr when the format documents name no such record.
const RecordInfo* findEmfRecord(uint32_t type);
const RecordInfo* findWmfRecord(uint16_t function);
const RecordInfo* findEmfPlusRecord(uint16_t type);

std::string_view recordStatusName(RecordStatus status);

}  // namespace plume::metafile
