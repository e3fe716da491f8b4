#pragma once

// Every record type of the two metafile formats and what the engine does with it: the EMF
// record types 1..122 (MS-EMF 2.1.1) and the WMF record functions (MS-WMF 2.1.1.1). A record
// the decoders do not turn into GdiSink calls must be here as ignored or not yet, with the
// reason. The table also says which family of decoder functions plays each record: the
// decoders dispatch on that column, so a new record is one row here and one case in its
// family. RecordTableTest holds the decoders and the EMF writer to this table, and
// docs/records.md lists it.

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

// The families of records by what they act on, one decoder function each in EmfDecoder and
// WmfDecoder. The same concern has the same family in both formats.
enum class RecordFamily : uint8_t {
    None,      // no decoder function: handed to the sink as unknownRecord
    Control,   // the header and the end: read by the reader, nothing to play
    Mapping,   // map mode, window and viewport, world transform, layout
    State,     // colours, modes, the current position, SaveDC and RestoreDC
    Objects,   // pens, brushes, fonts and region objects: created, selected, deleted
    Palettes,  // palette objects and the selected palette
    Clipping,  // the clip and meta regions
    Paths,     // path brackets and what is done with a path
    Poly,      // figures given as lists of points (the poly records)
    Figures,   // lines, shapes, pixels, flood fills, gradients
    Regions,   // regions filled, framed, inverted or painted
    Text,      // text output and justification
    Bitmaps,   // bit-block transfers and raster operations
    Comments,  // comments, and WMF escapes (whose comment is the one drawn)
};

struct RecordInfo {
    uint32_t type;  // EMF record type or WMF record function
    std::string_view name;
    RecordStatus status;
    std::string_view note;  // why ignored, what is missing, or what the engine does
    // EMF and WMF: the decoder family that plays the record (None for EMF+, whose records the
    // EMF+ reader decodes).
    RecordFamily family = RecordFamily::None;
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

// The family column of a type, None when the tables have no row for it: what the decoders
// switch on, read in constant time.
RecordFamily emfRecordFamily(uint32_t type);
RecordFamily wmfRecordFamily(uint16_t function);

std::string_view recordStatusName(RecordStatus status);

}  // namespace plume::metafile
