#pragma once

// The public face of the metafile engine: parse bytes into a validated, immutable document
// (format/), render it onto a QPainter (render/), convert WMF to EMF (Document::toEmf).
// Everything else below this folder is inner working behind these calls.

#include "platform/metafile/format/Document.h"
#include "platform/metafile/render/Render.h"
