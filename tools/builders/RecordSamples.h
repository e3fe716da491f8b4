#pragma once

// One small valid record of every type in the record table (RecordTable.h), for the table's
// test and the fuzz seeds: the bytes after the record header (EMF) or the parameters (WMF),
// with every field zero except those a decoder needs to take the record as whole (a map mode
// in range, a region header, a bitmap header, an MFCOMMENT escape, ...).

#include <QByteArray>
#include <cstdint>

namespace plume::test {

QByteArray sampleEmfRecordBody(uint32_t type);
QByteArray sampleWmfParams(uint16_t function);

// A whole file holding the one sample record: an EMF of 10 x 10 pixels, or a raw WMF that
// first creates a pen (object 0, so that the records naming an object have one to name).
QByteArray sampleEmfFile(uint32_t type);
QByteArray sampleWmfFile(uint16_t function);

}  // namespace plume::test
