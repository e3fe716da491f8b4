#include "platform/metafile/format/RecordTable.h"

#include <algorithm>
#include <array>

namespace plume::metafile {
namespace {

// MS-EMF 2.1.1 RecordType, in number order: 1..122, the three numbers the document leaves out
// included, so that every number a file can hold below 123 is accounted for.
constexpr std::array kEmfRecords = std::to_array<RecordInfo>({
    {1, "EMR_HEADER", RecordStatus::Drawn,
     "read by the reader: the picture's size and frame reach the sink in begin()"},
    {2, "EMR_POLYBEZIER", RecordStatus::Drawn, ""},
    {3, "EMR_POLYGON", RecordStatus::Drawn, ""},
    {4, "EMR_POLYLINE", RecordStatus::Drawn, ""},
    {5, "EMR_POLYBEZIERTO", RecordStatus::Drawn, ""},
    {6, "EMR_POLYLINETO", RecordStatus::Drawn, ""},
    {7, "EMR_POLYPOLYLINE", RecordStatus::Drawn, ""},
    {8, "EMR_POLYPOLYGON", RecordStatus::Drawn, ""},
    {9, "EMR_SETWINDOWEXTEX", RecordStatus::Drawn, ""},
    {10, "EMR_SETWINDOWORGEX", RecordStatus::Drawn, ""},
    {11, "EMR_SETVIEWPORTEXTEX", RecordStatus::Drawn, ""},
    {12, "EMR_SETVIEWPORTORGEX", RecordStatus::Drawn, ""},
    {13, "EMR_SETBRUSHORGEX", RecordStatus::Drawn, ""},
    {14, "EMR_EOF", RecordStatus::Drawn,
     "ends the records; the reader stops there and the sink gets end()"},
    {15, "EMR_SETPIXELV", RecordStatus::Drawn, ""},
    {16, "EMR_SETMAPPERFLAGS", RecordStatus::Ignored,
     "asks the font mapper for faces made for the device's aspect ratio; outline fonts are"
     " drawn at any ratio"},
    {17, "EMR_SETMAPMODE", RecordStatus::Drawn, ""},
    {18, "EMR_SETBKMODE", RecordStatus::Drawn, ""},
    {19, "EMR_SETPOLYFILLMODE", RecordStatus::Drawn, ""},
    {20, "EMR_SETROP2", RecordStatus::Drawn, ""},
    {21, "EMR_SETSTRETCHBLTMODE", RecordStatus::Drawn, ""},
    {22, "EMR_SETTEXTALIGN", RecordStatus::Drawn, ""},
    {23, "EMR_SETCOLORADJUSTMENT", RecordStatus::Ignored,
     "GDI applies it only to HALFTONE stretching on palette devices; writers store the "
     "default"},
    {24, "EMR_SETTEXTCOLOR", RecordStatus::Drawn, ""},
    {25, "EMR_SETBKCOLOR", RecordStatus::Drawn, ""},
    {26, "EMR_OFFSETCLIPRGN", RecordStatus::Drawn, ""},
    {27, "EMR_MOVETOEX", RecordStatus::Drawn, ""},
    {28, "EMR_SETMETARGN", RecordStatus::Drawn, ""},
    {29, "EMR_EXCLUDECLIPRECT", RecordStatus::Drawn, ""},
    {30, "EMR_INTERSECTCLIPRECT", RecordStatus::Drawn, ""},
    {31, "EMR_SCALEVIEWPORTEXTEX", RecordStatus::Drawn, ""},
    {32, "EMR_SCALEWINDOWEXTEX", RecordStatus::Drawn, ""},
    {33, "EMR_SAVEDC", RecordStatus::Drawn, ""},
    {34, "EMR_RESTOREDC", RecordStatus::Drawn, ""},
    {35, "EMR_SETWORLDTRANSFORM", RecordStatus::Drawn, ""},
    {36, "EMR_MODIFYWORLDTRANSFORM", RecordStatus::Drawn, ""},
    {37, "EMR_SELECTOBJECT", RecordStatus::Drawn, ""},
    {38, "EMR_CREATEPEN", RecordStatus::Drawn, ""},
    {39, "EMR_CREATEBRUSHINDIRECT", RecordStatus::Drawn, ""},
    {40, "EMR_DELETEOBJECT", RecordStatus::Drawn, ""},
    {41, "EMR_ANGLEARC", RecordStatus::Drawn, ""},
    {42, "EMR_ELLIPSE", RecordStatus::Drawn, ""},
    {43, "EMR_RECTANGLE", RecordStatus::Drawn, ""},
    {44, "EMR_ROUNDRECT", RecordStatus::Drawn, ""},
    {45, "EMR_ARC", RecordStatus::Drawn, ""},
    {46, "EMR_CHORD", RecordStatus::Drawn, ""},
    {47, "EMR_PIE", RecordStatus::Drawn, ""},
    {48, "EMR_SELECTPALETTE", RecordStatus::Drawn, "PALETTEINDEX colours and DIB_PAL_COLORS bitmaps take the selected palette"},
    {49, "EMR_CREATEPALETTE", RecordStatus::Drawn, ""},
    {50, "EMR_SETPALETTEENTRIES", RecordStatus::Drawn, ""},
    {51, "EMR_RESIZEPALETTE", RecordStatus::Drawn, "new entries are black"},
    {52, "EMR_REALIZEPALETTE", RecordStatus::Drawn, "nothing to do on a true-colour output: colours are looked up when used"},
    {53, "EMR_EXTFLOODFILL", RecordStatus::Drawn,
     "on raster outputs, over the pixels drawn so far, inside the clip, up to 16 megapixels;"
     " SVG and PDF have no pixels to read, so there it is skipped and counted as unsupported"},
    {54, "EMR_LINETO", RecordStatus::Drawn, ""},
    {55, "EMR_ARCTO", RecordStatus::Drawn, ""},
    {56, "EMR_POLYDRAW", RecordStatus::Drawn, ""},
    {57, "EMR_SETARCDIRECTION", RecordStatus::Drawn, ""},
    {58, "EMR_SETMITERLIMIT", RecordStatus::Drawn, ""},
    {59, "EMR_BEGINPATH", RecordStatus::Drawn, ""},
    {60, "EMR_ENDPATH", RecordStatus::Drawn, ""},
    {61, "EMR_CLOSEFIGURE", RecordStatus::Drawn, ""},
    {62, "EMR_FILLPATH", RecordStatus::Drawn, ""},
    {63, "EMR_STROKEANDFILLPATH", RecordStatus::Drawn, ""},
    {64, "EMR_STROKEPATH", RecordStatus::Drawn, ""},
    {65, "EMR_FLATTENPATH", RecordStatus::Drawn, ""},
    {66, "EMR_WIDENPATH", RecordStatus::Drawn, ""},
    {67, "EMR_SELECTCLIPPATH", RecordStatus::Drawn, ""},
    {68, "EMR_ABORTPATH", RecordStatus::Drawn, ""},
    {69, "(reserved 69)", RecordStatus::Ignored,
     "no record of the format document has this number"},
    {70, "EMR_COMMENT", RecordStatus::Drawn,
     "handed to the sink as a comment (GDI draws nothing for it); EMF+ comments are "
     "skipped as GDI skips them"},
    {71, "EMR_FILLRGN", RecordStatus::Drawn, ""},
    {72, "EMR_FRAMERGN", RecordStatus::Drawn, ""},
    {73, "EMR_INVERTRGN", RecordStatus::Drawn, ""},
    {74, "EMR_PAINTRGN", RecordStatus::Drawn, ""},
    {75, "EMR_EXTSELECTCLIPRGN", RecordStatus::Drawn, ""},
    {76, "EMR_BITBLT", RecordStatus::Drawn, ""},
    {77, "EMR_STRETCHBLT", RecordStatus::Drawn, ""},
    {78, "EMR_MASKBLT", RecordStatus::Drawn, "both raster operations of the ROP4, by the mask's bits"},
    {79, "EMR_PLGBLT", RecordStatus::Drawn, "with and without a mask"},
    {80, "EMR_SETDIBITSTODEVICE", RecordStatus::Drawn, ""},
    {81, "EMR_STRETCHDIBITS", RecordStatus::Drawn, ""},
    {82, "EMR_EXTCREATEFONTINDIRECTW", RecordStatus::Drawn, "lfWidth stretches the glyphs; '@' faces are drawn vertically"},
    {83, "EMR_EXTTEXTOUTA", RecordStatus::Drawn, ""},
    {84, "EMR_EXTTEXTOUTW", RecordStatus::Drawn, ""},
    {85, "EMR_POLYBEZIER16", RecordStatus::Drawn, ""},
    {86, "EMR_POLYGON16", RecordStatus::Drawn, ""},
    {87, "EMR_POLYLINE16", RecordStatus::Drawn, ""},
    {88, "EMR_POLYBEZIERTO16", RecordStatus::Drawn, ""},
    {89, "EMR_POLYLINETO16", RecordStatus::Drawn, ""},
    {90, "EMR_POLYPOLYLINE16", RecordStatus::Drawn, ""},
    {91, "EMR_POLYPOLYGON16", RecordStatus::Drawn, ""},
    {92, "EMR_POLYDRAW16", RecordStatus::Drawn, ""},
    {93, "EMR_CREATEMONOBRUSH", RecordStatus::Drawn, "1 bits take the background colour, 0 bits the text colour"},
    {94, "EMR_CREATEDIBPATTERNBRUSHPT", RecordStatus::Drawn, "all bit depths, DIB_PAL_COLORS and DIB_PAL_INDICES"},
    {95, "EMR_EXTCREATEPEN", RecordStatus::Drawn, ""},
    {96, "EMR_POLYTEXTOUTA", RecordStatus::Drawn, ""},
    {97, "EMR_POLYTEXTOUTW", RecordStatus::Drawn, ""},
    {98, "EMR_SETICMMODE", RecordStatus::Ignored,
     "colour management: colours are drawn as sRGB, as GDI draws them with ICM off"},
    {99, "EMR_CREATECOLORSPACE", RecordStatus::Ignored, "colour management (see EMR_SETICMMODE)"},
    {100, "EMR_SETCOLORSPACE", RecordStatus::Ignored, "colour management (see EMR_SETICMMODE)"},
    {101, "EMR_DELETECOLORSPACE", RecordStatus::Ignored, "colour management (see EMR_SETICMMODE)"},
    {102, "EMR_GLSRECORD", RecordStatus::Ignored,
     "OpenGL commands: need an OpenGL context of the recording program"},
    {103, "EMR_GLSBOUNDEDRECORD", RecordStatus::Ignored, "OpenGL commands (see EMR_GLSRECORD)"},
    {104, "EMR_PIXELFORMAT", RecordStatus::Ignored, "OpenGL pixel format (see EMR_GLSRECORD)"},
    {105, "EMR_DRAWESCAPE", RecordStatus::Ignored, "a printer driver's own command"},
    {106, "EMR_EXTESCAPE", RecordStatus::Ignored, "a printer driver's own command"},
    {107, "(reserved 107)", RecordStatus::Ignored,
     "no record of the format document has this number"},
    {108, "EMR_SMALLTEXTOUT", RecordStatus::Drawn, ""},
    {109, "EMR_FORCEUFIMAPPING", RecordStatus::Ignored,
     "font engine identifiers of the recording system; fonts are matched by LOGFONT"},
    {110, "EMR_NAMEDESCAPE", RecordStatus::Ignored, "a named printer driver's own command"},
    {111, "EMR_COLORCORRECTPALETTE", RecordStatus::Ignored,
     "colour management (see EMR_SETICMMODE)"},
    {112, "EMR_SETICMPROFILEA", RecordStatus::Ignored, "colour management (see EMR_SETICMMODE)"},
    {113, "EMR_SETICMPROFILEW", RecordStatus::Ignored, "colour management (see EMR_SETICMMODE)"},
    {114, "EMR_ALPHABLEND", RecordStatus::Drawn, "per-pixel (premultiplied) and constant alpha"},
    {115, "EMR_SETLAYOUT", RecordStatus::Drawn,
     "LAYOUT_RTL mirrors the drawing across the picture (text reads as written, left and right"
     " alignment swap); LAYOUT_BITMAPORIENTATIONPRESERVED keeps bitmaps unmirrored"},
    {116, "EMR_TRANSPARENTBLT", RecordStatus::Drawn, "the transparent colour is matched in the source's own pixel format"},
    {117, "(reserved 117)", RecordStatus::Ignored,
     "no record of the format document has this number"},
    {118, "EMR_GRADIENTFILL", RecordStatus::Drawn, ""},
    {119, "EMR_SETLINKEDUFIS", RecordStatus::Ignored,
     "font engine identifiers of linked fonts (see EMR_FORCEUFIMAPPING)"},
    {120, "EMR_SETTEXTJUSTIFICATION", RecordStatus::Drawn, "spread over the spaces of text without Dx"},
    {121, "EMR_COLORMATCHTOTARGETW", RecordStatus::Ignored,
     "colour management (see EMR_SETICMMODE)"},
    {122, "EMR_CREATECOLORSPACEW", RecordStatus::Ignored, "colour management (see EMR_SETICMMODE)"},
});

// MS-WMF 2.1.1.1 RecordType, in the document's order.
constexpr std::array kWmfRecords = std::to_array<RecordInfo>({
    {0x0000, "META_EOF", RecordStatus::Drawn, "ends the records; the reader stops there"},
    {0x0035, "META_REALIZEPALETTE", RecordStatus::Drawn, "nothing to do on a true-colour output: colours are looked up when used"},
    {0x0037, "META_SETPALENTRIES", RecordStatus::Drawn, ""},
    {0x0102, "META_SETBKMODE", RecordStatus::Drawn, ""},
    {0x0103, "META_SETMAPMODE", RecordStatus::Drawn, ""},
    {0x0104, "META_SETROP2", RecordStatus::Drawn, ""},
    {0x0105, "META_SETRELABS", RecordStatus::Ignored,
     "undefined; the format document says to ignore it"},
    {0x0106, "META_SETPOLYFILLMODE", RecordStatus::Drawn, ""},
    {0x0107, "META_SETSTRETCHBLTMODE", RecordStatus::Drawn, ""},
    {0x0108, "META_SETTEXTCHAREXTRA", RecordStatus::Drawn, ""},
    {0x0127, "META_RESTOREDC", RecordStatus::Drawn, ""},
    {0x0139, "META_RESIZEPALETTE", RecordStatus::Drawn, "new entries are black"},
    {0x0142, "META_DIBCREATEPATTERNBRUSH", RecordStatus::Drawn, ""},
    {0x0149, "META_SETLAYOUT", RecordStatus::Drawn, "as EMR_SETLAYOUT"},
    {0x0201, "META_SETBKCOLOR", RecordStatus::Drawn, ""},
    {0x0209, "META_SETTEXTCOLOR", RecordStatus::Drawn, ""},
    {0x0211, "META_OFFSETVIEWPORTORG", RecordStatus::Drawn, ""},
    {0x0213, "META_LINETO", RecordStatus::Drawn, ""},
    {0x0214, "META_MOVETO", RecordStatus::Drawn, ""},
    {0x0220, "META_OFFSETCLIPRGN", RecordStatus::Drawn, ""},
    {0x0228, "META_FILLREGION", RecordStatus::Drawn, ""},
    {0x0231, "META_SETMAPPERFLAGS", RecordStatus::Ignored,
     "asks the font mapper for faces made for the device's aspect ratio; outline fonts are"
     " drawn at any ratio"},
    {0x0234, "META_SELECTPALETTE", RecordStatus::Drawn, ""},
    {0x0324, "META_POLYGON", RecordStatus::Drawn, ""},
    {0x0325, "META_POLYLINE", RecordStatus::Drawn, ""},
    {0x020A, "META_SETTEXTJUSTIFICATION", RecordStatus::Drawn, "spread over the spaces of text without Dx"},
    {0x020B, "META_SETWINDOWORG", RecordStatus::Drawn, ""},
    {0x020C, "META_SETWINDOWEXT", RecordStatus::Drawn, ""},
    {0x020D, "META_SETVIEWPORTORG", RecordStatus::Drawn, ""},
    {0x020E, "META_SETVIEWPORTEXT", RecordStatus::Drawn, ""},
    {0x020F, "META_OFFSETWINDOWORG", RecordStatus::Drawn, ""},
    {0x0410, "META_SCALEWINDOWEXT", RecordStatus::Drawn, ""},
    {0x0412, "META_SCALEVIEWPORTEXT", RecordStatus::Drawn, ""},
    {0x0415, "META_EXCLUDECLIPRECT", RecordStatus::Drawn, ""},
    {0x0416, "META_INTERSECTCLIPRECT", RecordStatus::Drawn, ""},
    {0x0418, "META_ELLIPSE", RecordStatus::Drawn, ""},
    {0x0419, "META_FLOODFILL", RecordStatus::Drawn,
     "a border fill, as EMR_EXTFLOODFILL (raster outputs only)"},
    {0x0429, "META_FRAMEREGION", RecordStatus::Drawn, ""},
    {0x0436, "META_ANIMATEPALETTE", RecordStatus::Drawn, "changes the entries marked PC_RESERVED"},
    {0x0521, "META_TEXTOUT", RecordStatus::Drawn, ""},
    {0x0538, "META_POLYPOLYGON", RecordStatus::Drawn, ""},
    {0x0548, "META_EXTFLOODFILL", RecordStatus::Drawn,
     "as EMR_EXTFLOODFILL (raster outputs only)"},
    {0x041B, "META_RECTANGLE", RecordStatus::Drawn, ""},
    {0x041F, "META_SETPIXEL", RecordStatus::Drawn, ""},
    {0x061C, "META_ROUNDRECT", RecordStatus::Drawn, ""},
    {0x061D, "META_PATBLT", RecordStatus::Drawn, ""},
    {0x001E, "META_SAVEDC", RecordStatus::Drawn, ""},
    {0x081A, "META_PIE", RecordStatus::Drawn, ""},
    {0x0B23, "META_STRETCHBLT", RecordStatus::Drawn, ""},
    {0x0626, "META_ESCAPE", RecordStatus::Drawn,
     "MFCOMMENT reaches the sink as a comment and an EMF carried in such comments is drawn"
     " instead of the WMF when whole; the other escapes are printer drivers' own commands "
     "and are ignored"},
    {0x012A, "META_INVERTREGION", RecordStatus::Drawn, ""},
    {0x012B, "META_PAINTREGION", RecordStatus::Drawn, ""},
    {0x012C, "META_SELECTCLIPREGION", RecordStatus::Drawn, ""},
    {0x012D, "META_SELECTOBJECT", RecordStatus::Drawn, ""},
    {0x012E, "META_SETTEXTALIGN", RecordStatus::Drawn, ""},
    {0x0817, "META_ARC", RecordStatus::Drawn, ""},
    {0x0830, "META_CHORD", RecordStatus::Drawn, ""},
    {0x0922, "META_BITBLT", RecordStatus::Drawn, ""},
    {0x0A32, "META_EXTTEXTOUT", RecordStatus::Drawn, ""},
    {0x0D33, "META_SETDIBTODEV", RecordStatus::Drawn, ""},
    {0x0940, "META_DIBBITBLT", RecordStatus::Drawn, ""},
    {0x0B41, "META_DIBSTRETCHBLT", RecordStatus::Drawn, ""},
    {0x0F43, "META_STRETCHDIB", RecordStatus::Drawn, ""},
    {0x01F0, "META_DELETEOBJECT", RecordStatus::Drawn, ""},
    {0x00F7, "META_CREATEPALETTE", RecordStatus::Drawn, ""},
    {0x01F9, "META_CREATEPATTERNBRUSH", RecordStatus::Drawn, ""},
    {0x02FA, "META_CREATEPENINDIRECT", RecordStatus::Drawn, ""},
    {0x02FB, "META_CREATEFONTINDIRECT", RecordStatus::Drawn, ""},
    {0x02FC, "META_CREATEBRUSHINDIRECT", RecordStatus::Drawn, ""},
    {0x06FF, "META_CREATEREGION", RecordStatus::Drawn, ""},
});


// MS-EMFPLUS 2.1.1.1 RecordType, 0x4001..0x403A in number order.
constexpr std::array kEmfPlusRecords = std::to_array<RecordInfo>({
    {0x4001, "EmfPlusHeader", RecordStatus::Drawn,
     "its dpi sets the page units; its dual flag says whether GDI records stand for the same"
     " picture"},
    {0x4002, "EmfPlusEndOfFile", RecordStatus::Drawn,
     "ends the EMF+ records: the GDI records after it are drawn"},
    {0x4003, "EmfPlusComment", RecordStatus::Ignored, "a writer's private data"},
    {0x4004, "EmfPlusGetDC", RecordStatus::Drawn,
     "the GDI records after it are drawn, until the next EMF+ record"},
    {0x4005, "EmfPlusMultiFormatStart", RecordStatus::Ignored,
     "reserved: the format document says writers do not use it"},
    {0x4006, "EmfPlusMultiFormatSection", RecordStatus::Ignored,
     "reserved: the format document says writers do not use it"},
    {0x4007, "EmfPlusMultiFormatEnd", RecordStatus::Ignored,
     "reserved: the format document says writers do not use it"},
    {0x4008, "EmfPlusObject", RecordStatus::Drawn,
     "kept in the table of 64 objects; an object split across continuation records is"
     " assembled first"},
    {0x4009, "EmfPlusClear", RecordStatus::Drawn, ""},
    {0x400A, "EmfPlusFillRects", RecordStatus::Drawn, ""},
    {0x400B, "EmfPlusDrawRects", RecordStatus::Drawn, ""},
    {0x400C, "EmfPlusFillPolygon", RecordStatus::Drawn, ""},
    {0x400D, "EmfPlusDrawLines", RecordStatus::Drawn, ""},
    {0x400E, "EmfPlusFillEllipse", RecordStatus::Drawn, ""},
    {0x400F, "EmfPlusDrawEllipse", RecordStatus::Drawn, ""},
    {0x4010, "EmfPlusFillPie", RecordStatus::Drawn, ""},
    {0x4011, "EmfPlusDrawPie", RecordStatus::Drawn, ""},
    {0x4012, "EmfPlusDrawArc", RecordStatus::Drawn, ""},
    {0x4013, "EmfPlusFillRegion", RecordStatus::Drawn, ""},
    {0x4014, "EmfPlusFillPath", RecordStatus::Drawn, ""},
    {0x4015, "EmfPlusDrawPath", RecordStatus::Drawn, ""},
    {0x4016, "EmfPlusFillClosedCurve", RecordStatus::Drawn, ""},
    {0x4017, "EmfPlusDrawClosedCurve", RecordStatus::Drawn, ""},
    {0x4018, "EmfPlusDrawCurve", RecordStatus::Drawn, ""},
    {0x4019, "EmfPlusDrawBeziers", RecordStatus::Drawn, ""},
    {0x401A, "EmfPlusDrawImage", RecordStatus::Partly,
     "image attributes' ObjectClamp is read and not applied (the clamp colour fills past the"
     " bitmap's edge as with a plain clamp); an image effect applies to bitmaps, not metafiles"},
    {0x401B, "EmfPlusDrawImagePoints", RecordStatus::Partly, "as EmfPlusDrawImage"},
    {0x401C, "EmfPlusDrawString", RecordStatus::Partly,
     "character ranges, digit substitution, margins and tracking of the string format are"
     " not applied"},
    {0x401D, "EmfPlusSetRenderingOrigin", RecordStatus::Drawn, ""},
    {0x401E, "EmfPlusSetAntiAliasMode", RecordStatus::Drawn, ""},
    {0x401F, "EmfPlusSetTextRenderingHint", RecordStatus::Ignored,
     "text is drawn antialiased whatever the hint; glyph edges differ by a pixel"},
    {0x4020, "EmfPlusSetTextContrast", RecordStatus::Ignored,
     "the gamma of antialiased text: changes the shade of glyph edges only"},
    {0x4021, "EmfPlusSetInterpolationMode", RecordStatus::Drawn,
     "nearest neighbour draws images unsmoothed; the other modes smooth alike"},
    {0x4022, "EmfPlusSetPixelOffsetMode", RecordStatus::Ignored,
     "a half-pixel shift of the output: moves edges by half a pixel"},
    {0x4023, "EmfPlusSetCompositingMode", RecordStatus::Drawn, ""},
    {0x4024, "EmfPlusSetCompositingQuality", RecordStatus::Ignored,
     "the precision of blending: changes the shade of blended pixels slightly"},
    {0x4025, "EmfPlusSave", RecordStatus::Drawn, ""},
    {0x4026, "EmfPlusRestore", RecordStatus::Drawn, ""},
    {0x4027, "EmfPlusBeginContainer", RecordStatus::Drawn, ""},
    {0x4028, "EmfPlusBeginContainerNoParams", RecordStatus::Drawn, ""},
    {0x4029, "EmfPlusEndContainer", RecordStatus::Drawn, ""},
    {0x402A, "EmfPlusSetWorldTransform", RecordStatus::Drawn, ""},
    {0x402B, "EmfPlusResetWorldTransform", RecordStatus::Drawn, ""},
    {0x402C, "EmfPlusMultiplyWorldTransform", RecordStatus::Drawn, ""},
    {0x402D, "EmfPlusTranslateWorldTransform", RecordStatus::Drawn, ""},
    {0x402E, "EmfPlusScaleWorldTransform", RecordStatus::Drawn, ""},
    {0x402F, "EmfPlusRotateWorldTransform", RecordStatus::Drawn, ""},
    {0x4030, "EmfPlusSetPageTransform", RecordStatus::Drawn, ""},
    {0x4031, "EmfPlusResetClip", RecordStatus::Drawn, ""},
    {0x4032, "EmfPlusSetClipRect", RecordStatus::Drawn, ""},
    {0x4033, "EmfPlusSetClipPath", RecordStatus::Drawn, ""},
    {0x4034, "EmfPlusSetClipRegion", RecordStatus::Drawn, ""},
    {0x4035, "EmfPlusOffsetClip", RecordStatus::Drawn, ""},
    {0x4036, "EmfPlusDrawDriverString", RecordStatus::Drawn, ""},
    {0x4037, "EmfPlusStrokeFillPath", RecordStatus::NotYet,
     "fills and strokes a path in one record; a dual picture that has it keeps its GDI"
     " rendition, an EMF+-only one skips it and counts it as skipped"},
    {0x4038, "EmfPlusSerializableObject", RecordStatus::Drawn,
     "an image effect, applied to the bitmaps of the flagged draws after it; an object of an"
     " unknown GUID is refused as not yet drawn"},
    {0x4039, "EmfPlusSetTSGraphics", RecordStatus::Ignored,
     "the graphics state of a remote desktop session, for its client; the drawing is in the"
     " other records"},
    {0x403A, "EmfPlusSetTSClip", RecordStatus::Ignored,
     "the clip of a remote desktop session, for its client; the drawing is in the other"
     " records"},
});

}  // namespace

std::span<const RecordInfo> emfRecordTable() {
    return kEmfRecords;
}

std::span<const RecordInfo> wmfRecordTable() {
    return kWmfRecords;
}

const RecordInfo* findEmfRecord(uint32_t type) {
    // Numbered 1.. in order.
    return type >= 1 && type <= kEmfRecords.size() ? &kEmfRecords[type - 1] : nullptr;
}

std::span<const RecordInfo> emfPlusRecordTable() {
    return kEmfPlusRecords;
}

const RecordInfo* findEmfPlusRecord(uint16_t type) {
    // Numbered 0x4001.. in order.
    const uint32_t index = uint32_t(type) - 0x4001;
    return type >= 0x4001 && index < kEmfPlusRecords.size() ? &kEmfPlusRecords[index] : nullptr;
}

const RecordInfo* findWmfRecord(uint16_t function) {
    const auto it = std::find_if(kWmfRecords.begin(), kWmfRecords.end(),
                                 [&](const RecordInfo& r) { return r.type == function; });
    return it == kWmfRecords.end() ? nullptr : &*it;
}

std::string_view recordStatusName(RecordStatus status) {
    switch (status) {
        case RecordStatus::Drawn:
            return "drawn";
        case RecordStatus::Partly:
            return "partly";
        case RecordStatus::Ignored:
            return "ignored";
        case RecordStatus::NotYet:
            return "not yet";
    }
    return "?";
}

}  // namespace plume::metafile
