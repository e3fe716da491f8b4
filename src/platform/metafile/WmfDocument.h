#pragma once

// The one seam between the engine's entry points (Metafile.cpp) and the WMF reader: placeable
// and raw WMF bytes in, a PlayableDocument (or the reason they were refused) out.

#include "platform/metafile/Metafile.h"

#include <QByteArray>

namespace plume::metafile {

// Parses placeable (Aldus) or raw WMF bytes; the document it returns is a PlayableDocument.
ParseResult parseWmfDocument(const QByteArray& bytes);

}  // namespace plume::metafile
