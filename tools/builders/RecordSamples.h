#pragma once

// One small valid record of every type in the record table (RecordTable.h), for the table's
// test and the fuzz seeds: the bytes after the record header (EMF) or the parameters (WMF),
// with every field zero except those a decoder needs to take the record as whole (a map mode
// in range, a region header, a bitmap header, an MFCOMMENT escape, ...) and those without
// which the record would change nothing (a character extra, a palette entry to animate).

#include <QByteArray>
#include <cstdint>

namespace plume::test {

QByteArray sampleEmfRecordBody(uint32_t type);
QByteArray sampleWmfParams(uint16_t function);

// A whole file holding the one sample record: an EMF of 10 x 10 pixels, or a raw WMF that
// first creates a pen (object 0, so that the records naming an object have one to name).
QByteArray sampleEmfFile(uint32_t type);
QByteArray sampleWmfFile(uint16_t function);

// EMF+: the objects the sample records name (brush 1, pen 2, path 3, region 4, bitmap 5,
// font 6, string format 7) as EMF+ records after a dual header; one sample record of an EMF+
// record type (0x4001..0x403A: header and data, as it lies in a comment); and a dual EMF of
// 10 x 10 pixels with the objects, the sample record, a GDI fallback and EMF+'s end.
QByteArray sampleEmfPlusObjects();
QByteArray sampleEmfPlusRecord(uint16_t type);
QByteArray sampleEmfPlusFile(uint16_t type);

}  // namespace plume::test
