#pragma once

// Text written with ETO_GLYPH_INDEX: the string holds glyph indices of the face the writer had
// selected (print spools, shaped Hebrew or Arabic), not characters.

#include "platform/metafile/format/LogFont.h"

#include <QString>

namespace plume::metafile {

// The characters that the glyph indices `glyphs` (one per code unit) of the face `font` names
// draw, one code unit per glyph so that advances stay in step:
// - when that face is installed here, through its own character map;
// - for Arial, Times New Roman and Courier New, stood in for by faces with another glyph order,
//   through the order those faces share: the 258 standard Macintosh glyphs first (Latin
//   letters and signs), and Arial's Hebrew letters at 672..698 in Unicode order;
// - otherwise the stand-in's own glyph at that index, as GDI draws a substituted face.
// A glyph without a character becomes a space.
QString glyphIndicesToText(const QString& glyphs, const LogFont& font);

}  // namespace plume::metafile
