#pragma once

// The one seam between the engine's entry points (Metafile.cpp) and the WMF reader: placeable
// and raw WMF bytes in, a playable document (or the reason they were refused) out; and WMF to
// EMF conversion through the EMF writer.

#include "platform/metafile/format/Document.h"
#include "platform/metafile/format/WmfReader.h"

#include <QByteArray>
#include <optional>

namespace plume::metafile {

// Parses placeable (Aldus) or raw WMF bytes. `frame100thMm` gives a raw WMF the size handed
// over alongside it (clipboard format 3); without it a raw WMF's size comes from its window.
ParseResult parseWmfDocument(const QByteArray& bytes);
ParseResult parseWmfDocument(const QByteArray& bytes, std::optional<QRectF> frame100thMm);

// The WMF as EMF: the EMF a "WMFC" comment carries when there is a whole one (as Windows'
// own conversion uses it), otherwise the records written again by the EMF writer.
QByteArray convertWmfToEmf(std::span<const uint8_t> bytes, const WmfFile& file,
                           std::optional<Rect> frame = {});

}  // namespace plume::metafile
