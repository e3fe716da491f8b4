#include "platform/metafile/format/RecordTable.h"

#include <algorithm>
#include <array>

namespace plume::metafile {
namespace {

using enum RecordFamily;
using enum RecordStatus;

// A row of the EMF and WMF tables: type, name, the family that plays it, status, note.
constexpr RecordInfo row(uint32_t type, std::string_view name, RecordFamily family,
                         RecordStatus status, std::string_view note = {}) {
    return RecordInfo{type, name, status, note, family};
}

// MS-EMF 2.1.1 RecordType, in number order: 1..122, the three numbers the document leaves out
// included, so that every number a file can hold below 123 is accounted for.
constexpr std::array kEmfRecords = std::to_array<RecordInfo>({
    row(1, "EMR_HEADER", Control, Drawn,
        "read by the reader: the picture's size and frame reach the sink in begin()"),
    row(2, "EMR_POLYBEZIER", Poly, Drawn),
    row(3, "EMR_POLYGON", Poly, Drawn),
    row(4, "EMR_POLYLINE", Poly, Drawn),
    row(5, "EMR_POLYBEZIERTO", Poly, Drawn),
    row(6, "EMR_POLYLINETO", Poly, Drawn),
    row(7, "EMR_POLYPOLYLINE", Poly, Drawn),
    row(8, "EMR_POLYPOLYGON", Poly, Drawn),
    row(9, "EMR_SETWINDOWEXTEX", Mapping, Drawn),
    row(10, "EMR_SETWINDOWORGEX", Mapping, Drawn),
    row(11, "EMR_SETVIEWPORTEXTEX", Mapping, Drawn),
    row(12, "EMR_SETVIEWPORTORGEX", Mapping, Drawn),
    row(13, "EMR_SETBRUSHORGEX", State, Drawn),
    row(14, "EMR_EOF", Control, Drawn,
        "ends the records; the reader stops there and the sink gets end()"),
    row(15, "EMR_SETPIXELV", Figures, Drawn),
    row(16, "EMR_SETMAPPERFLAGS", None, Ignored,
        "asks the font mapper for faces made for the device's aspect ratio; outline fonts are"
        " drawn at any ratio"),
    row(17, "EMR_SETMAPMODE", Mapping, Drawn),
    row(18, "EMR_SETBKMODE", State, Drawn),
    row(19, "EMR_SETPOLYFILLMODE", State, Drawn),
    row(20, "EMR_SETROP2", State, Drawn),
    row(21, "EMR_SETSTRETCHBLTMODE", State, Drawn),
    row(22, "EMR_SETTEXTALIGN", State, Drawn),
    row(23, "EMR_SETCOLORADJUSTMENT", None, Ignored,
        "GDI applies it only to HALFTONE stretching on palette devices; writers store the "
        "default"),
    row(24, "EMR_SETTEXTCOLOR", State, Drawn),
    row(25, "EMR_SETBKCOLOR", State, Drawn),
    row(26, "EMR_OFFSETCLIPRGN", Clipping, Drawn),
    row(27, "EMR_MOVETOEX", State, Drawn),
    row(28, "EMR_SETMETARGN", Clipping, Drawn),
    row(29, "EMR_EXCLUDECLIPRECT", Clipping, Drawn),
    row(30, "EMR_INTERSECTCLIPRECT", Clipping, Drawn),
    row(31, "EMR_SCALEVIEWPORTEXTEX", Mapping, Drawn),
    row(32, "EMR_SCALEWINDOWEXTEX", Mapping, Drawn),
    row(33, "EMR_SAVEDC", State, Drawn),
    row(34, "EMR_RESTOREDC", State, Drawn),
    row(35, "EMR_SETWORLDTRANSFORM", Mapping, Drawn),
    row(36, "EMR_MODIFYWORLDTRANSFORM", Mapping, Drawn),
    row(37, "EMR_SELECTOBJECT", Objects, Drawn),
    row(38, "EMR_CREATEPEN", Objects, Drawn),
    row(39, "EMR_CREATEBRUSHINDIRECT", Objects, Drawn),
    row(40, "EMR_DELETEOBJECT", Objects, Drawn),
    row(41, "EMR_ANGLEARC", Figures, Drawn),
    row(42, "EMR_ELLIPSE", Figures, Drawn),
    row(43, "EMR_RECTANGLE", Figures, Drawn),
    row(44, "EMR_ROUNDRECT", Figures, Drawn),
    row(45, "EMR_ARC", Figures, Drawn),
    row(46, "EMR_CHORD", Figures, Drawn),
    row(47, "EMR_PIE", Figures, Drawn),
    row(48, "EMR_SELECTPALETTE", Palettes, Drawn,
        "PALETTEINDEX colours and DIB_PAL_COLORS bitmaps take the selected palette"),
    row(49, "EMR_CREATEPALETTE", Palettes, Drawn),
    row(50, "EMR_SETPALETTEENTRIES", Palettes, Drawn),
    row(51, "EMR_RESIZEPALETTE", Palettes, Drawn, "new entries are black"),
    row(52, "EMR_REALIZEPALETTE", Palettes, Drawn,
        "nothing to do on a true-colour output: colours are looked up when used"),
    row(53, "EMR_EXTFLOODFILL", Figures, Drawn,
        "on raster outputs, over the pixels drawn so far, inside the clip, up to 16 megapixels;"
        " SVG and PDF have no pixels to read, so there it is skipped and counted as unsupported"),
    row(54, "EMR_LINETO", Figures, Drawn),
    row(55, "EMR_ARCTO", Figures, Drawn),
    row(56, "EMR_POLYDRAW", Poly, Drawn),
    row(57, "EMR_SETARCDIRECTION", State, Drawn),
    row(58, "EMR_SETMITERLIMIT", State, Drawn),
    row(59, "EMR_BEGINPATH", Paths, Drawn),
    row(60, "EMR_ENDPATH", Paths, Drawn),
    row(61, "EMR_CLOSEFIGURE", Paths, Drawn),
    row(62, "EMR_FILLPATH", Paths, Drawn),
    row(63, "EMR_STROKEANDFILLPATH", Paths, Drawn),
    row(64, "EMR_STROKEPATH", Paths, Drawn),
    row(65, "EMR_FLATTENPATH", Paths, Drawn),
    row(66, "EMR_WIDENPATH", Paths, Drawn),
    row(67, "EMR_SELECTCLIPPATH", Clipping, Drawn),
    row(68, "EMR_ABORTPATH", Paths, Drawn),
    row(69, "(reserved 69)", None, Ignored, "no record of the format document has this number"),
    row(70, "EMR_COMMENT", Comments, Drawn,
        "handed to the sink as a comment (GDI draws nothing for it); EMF+ comments are "
        "skipped as GDI skips them"),
    row(71, "EMR_FILLRGN", Regions, Drawn),
    row(72, "EMR_FRAMERGN", Regions, Drawn),
    row(73, "EMR_INVERTRGN", Regions, Drawn),
    row(74, "EMR_PAINTRGN", Regions, Drawn),
    row(75, "EMR_EXTSELECTCLIPRGN", Clipping, Drawn),
    row(76, "EMR_BITBLT", Bitmaps, Drawn),
    row(77, "EMR_STRETCHBLT", Bitmaps, Drawn),
    row(78, "EMR_MASKBLT", Bitmaps, Drawn,
        "both raster operations of the ROP4, by the mask's bits"),
    row(79, "EMR_PLGBLT", Bitmaps, Drawn, "with and without a mask"),
    row(80, "EMR_SETDIBITSTODEVICE", Bitmaps, Drawn),
    row(81, "EMR_STRETCHDIBITS", Bitmaps, Drawn),
    row(82, "EMR_EXTCREATEFONTINDIRECTW", Objects, Drawn,
        "lfWidth stretches the glyphs; '@' faces are drawn vertically"),
    row(83, "EMR_EXTTEXTOUTA", Text, Drawn),
    row(84, "EMR_EXTTEXTOUTW", Text, Drawn),
    row(85, "EMR_POLYBEZIER16", Poly, Drawn),
    row(86, "EMR_POLYGON16", Poly, Drawn),
    row(87, "EMR_POLYLINE16", Poly, Drawn),
    row(88, "EMR_POLYBEZIERTO16", Poly, Drawn),
    row(89, "EMR_POLYLINETO16", Poly, Drawn),
    row(90, "EMR_POLYPOLYLINE16", Poly, Drawn),
    row(91, "EMR_POLYPOLYGON16", Poly, Drawn),
    row(92, "EMR_POLYDRAW16", Poly, Drawn),
    row(93, "EMR_CREATEMONOBRUSH", Objects, Drawn,
        "1 bits take the background colour, 0 bits the text colour"),
    row(94, "EMR_CREATEDIBPATTERNBRUSHPT", Objects, Drawn,
        "all bit depths, DIB_PAL_COLORS and DIB_PAL_INDICES"),
    row(95, "EMR_EXTCREATEPEN", Objects, Drawn),
    row(96, "EMR_POLYTEXTOUTA", Text, Drawn),
    row(97, "EMR_POLYTEXTOUTW", Text, Drawn),
    row(98, "EMR_SETICMMODE", None, Ignored,
        "colour management: colours are drawn as sRGB, as GDI draws them with ICM off"),
    row(99, "EMR_CREATECOLORSPACE", None, Ignored, "colour management (see EMR_SETICMMODE)"),
    row(100, "EMR_SETCOLORSPACE", None, Ignored, "colour management (see EMR_SETICMMODE)"),
    row(101, "EMR_DELETECOLORSPACE", None, Ignored, "colour management (see EMR_SETICMMODE)"),
    row(102, "EMR_GLSRECORD", None, Ignored,
        "OpenGL commands: need an OpenGL context of the recording program"),
    row(103, "EMR_GLSBOUNDEDRECORD", None, Ignored, "OpenGL commands (see EMR_GLSRECORD)"),
    row(104, "EMR_PIXELFORMAT", None, Ignored, "OpenGL pixel format (see EMR_GLSRECORD)"),
    row(105, "EMR_DRAWESCAPE", None, Ignored, "a printer driver's own command"),
    row(106, "EMR_EXTESCAPE", None, Ignored, "a printer driver's own command"),
    row(107, "(reserved 107)", None, Ignored, "no record of the format document has this number"),
    row(108, "EMR_SMALLTEXTOUT", Text, Drawn),
    row(109, "EMR_FORCEUFIMAPPING", None, Ignored,
        "font engine identifiers of the recording system; fonts are matched by LOGFONT"),
    row(110, "EMR_NAMEDESCAPE", None, Ignored, "a named printer driver's own command"),
    row(111, "EMR_COLORCORRECTPALETTE", None, Ignored, "colour management (see EMR_SETICMMODE)"),
    row(112, "EMR_SETICMPROFILEA", None, Ignored, "colour management (see EMR_SETICMMODE)"),
    row(113, "EMR_SETICMPROFILEW", None, Ignored, "colour management (see EMR_SETICMMODE)"),
    row(114, "EMR_ALPHABLEND", Bitmaps, Drawn, "per-pixel (premultiplied) and constant alpha"),
    row(115, "EMR_SETLAYOUT", Mapping, Drawn,
        "LAYOUT_RTL mirrors the drawing across the picture (text reads as written, left and right"
        " alignment swap); LAYOUT_BITMAPORIENTATIONPRESERVED keeps bitmaps unmirrored"),
    row(116, "EMR_TRANSPARENTBLT", Bitmaps, Drawn,
        "the transparent colour is matched in the source's own pixel format"),
    row(117, "(reserved 117)", None, Ignored, "no record of the format document has this number"),
    row(118, "EMR_GRADIENTFILL", Figures, Drawn),
    row(119, "EMR_SETLINKEDUFIS", None, Ignored,
        "font engine identifiers of linked fonts (see EMR_FORCEUFIMAPPING)"),
    row(120, "EMR_SETTEXTJUSTIFICATION", Text, Drawn, "spread over the spaces of text without Dx"),
    row(121, "EMR_COLORMATCHTOTARGETW", None, Ignored, "colour management (see EMR_SETICMMODE)"),
    row(122, "EMR_CREATECOLORSPACEW", None, Ignored, "colour management (see EMR_SETICMMODE)"),
});

// MS-WMF 2.1.1.1 RecordType, in the document's order.
constexpr std::array kWmfRecords = std::to_array<RecordInfo>({
    row(0x0000, "META_EOF", Control, Drawn, "ends the records; the reader stops there"),
    row(0x0035, "META_REALIZEPALETTE", Palettes, Drawn,
        "nothing to do on a true-colour output: colours are looked up when used"),
    row(0x0037, "META_SETPALENTRIES", Palettes, Drawn),
    row(0x0102, "META_SETBKMODE", State, Drawn),
    row(0x0103, "META_SETMAPMODE", Mapping, Drawn),
    row(0x0104, "META_SETROP2", State, Drawn),
    row(0x0105, "META_SETRELABS", None, Ignored,
        "undefined; the format document says to ignore it"),
    row(0x0106, "META_SETPOLYFILLMODE", State, Drawn),
    row(0x0107, "META_SETSTRETCHBLTMODE", State, Drawn),
    row(0x0108, "META_SETTEXTCHAREXTRA", Text, Drawn),
    row(0x0127, "META_RESTOREDC", State, Drawn),
    row(0x0139, "META_RESIZEPALETTE", Palettes, Drawn, "new entries are black"),
    row(0x0142, "META_DIBCREATEPATTERNBRUSH", Objects, Drawn),
    row(0x0149, "META_SETLAYOUT", Mapping, Drawn, "as EMR_SETLAYOUT"),
    row(0x0201, "META_SETBKCOLOR", State, Drawn),
    row(0x0209, "META_SETTEXTCOLOR", State, Drawn),
    row(0x0211, "META_OFFSETVIEWPORTORG", Mapping, Drawn),
    row(0x0213, "META_LINETO", Figures, Drawn),
    row(0x0214, "META_MOVETO", State, Drawn),
    row(0x0220, "META_OFFSETCLIPRGN", Clipping, Drawn),
    row(0x0228, "META_FILLREGION", Regions, Drawn),
    row(0x0231, "META_SETMAPPERFLAGS", None, Ignored,
        "asks the font mapper for faces made for the device's aspect ratio; outline fonts are"
        " drawn at any ratio"),
    row(0x0234, "META_SELECTPALETTE", Palettes, Drawn),
    row(0x0324, "META_POLYGON", Poly, Drawn),
    row(0x0325, "META_POLYLINE", Poly, Drawn),
    row(0x020A, "META_SETTEXTJUSTIFICATION", Text, Drawn,
        "spread over the spaces of text without Dx"),
    row(0x020B, "META_SETWINDOWORG", Mapping, Drawn),
    row(0x020C, "META_SETWINDOWEXT", Mapping, Drawn),
    row(0x020D, "META_SETVIEWPORTORG", Mapping, Drawn),
    row(0x020E, "META_SETVIEWPORTEXT", Mapping, Drawn),
    row(0x020F, "META_OFFSETWINDOWORG", Mapping, Drawn),
    row(0x0410, "META_SCALEWINDOWEXT", Mapping, Drawn),
    row(0x0412, "META_SCALEVIEWPORTEXT", Mapping, Drawn),
    row(0x0415, "META_EXCLUDECLIPRECT", Clipping, Drawn),
    row(0x0416, "META_INTERSECTCLIPRECT", Clipping, Drawn),
    row(0x0418, "META_ELLIPSE", Figures, Drawn),
    row(0x0419, "META_FLOODFILL", Figures, Drawn,
        "a border fill, as EMR_EXTFLOODFILL (raster outputs only)"),
    row(0x0429, "META_FRAMEREGION", Regions, Drawn),
    row(0x0436, "META_ANIMATEPALETTE", Palettes, Drawn, "changes the entries marked PC_RESERVED"),
    row(0x0521, "META_TEXTOUT", Text, Drawn),
    row(0x0538, "META_POLYPOLYGON", Poly, Drawn),
    row(0x0548, "META_EXTFLOODFILL", Figures, Drawn, "as EMR_EXTFLOODFILL (raster outputs only)"),
    row(0x041B, "META_RECTANGLE", Figures, Drawn),
    row(0x041F, "META_SETPIXEL", Figures, Drawn),
    row(0x061C, "META_ROUNDRECT", Figures, Drawn),
    row(0x061D, "META_PATBLT", Bitmaps, Drawn),
    row(0x001E, "META_SAVEDC", State, Drawn),
    row(0x081A, "META_PIE", Figures, Drawn),
    row(0x0B23, "META_STRETCHBLT", Bitmaps, Drawn),
    row(0x0626, "META_ESCAPE", Comments, Drawn,
        "MFCOMMENT reaches the sink as a comment and an EMF carried in such comments is drawn"
        " instead of the WMF when whole; the other escapes are printer drivers' own commands "
        "and are ignored"),
    row(0x012A, "META_INVERTREGION", Regions, Drawn),
    row(0x012B, "META_PAINTREGION", Regions, Drawn),
    row(0x012C, "META_SELECTCLIPREGION", Clipping, Drawn),
    row(0x012D, "META_SELECTOBJECT", Objects, Drawn),
    row(0x012E, "META_SETTEXTALIGN", State, Drawn),
    row(0x0817, "META_ARC", Figures, Drawn),
    row(0x0830, "META_CHORD", Figures, Drawn),
    row(0x0922, "META_BITBLT", Bitmaps, Drawn),
    row(0x0A32, "META_EXTTEXTOUT", Text, Drawn),
    row(0x0D33, "META_SETDIBTODEV", Bitmaps, Drawn),
    row(0x0940, "META_DIBBITBLT", Bitmaps, Drawn),
    row(0x0B41, "META_DIBSTRETCHBLT", Bitmaps, Drawn),
    row(0x0F43, "META_STRETCHDIB", Bitmaps, Drawn),
    row(0x01F0, "META_DELETEOBJECT", Objects, Drawn),
    row(0x00F7, "META_CREATEPALETTE", Palettes, Drawn),
    row(0x01F9, "META_CREATEPATTERNBRUSH", Objects, Drawn),
    row(0x02FA, "META_CREATEPENINDIRECT", Objects, Drawn),
    row(0x02FB, "META_CREATEFONTINDIRECT", Objects, Drawn),
    row(0x02FC, "META_CREATEBRUSHINDIRECT", Objects, Drawn),
    row(0x06FF, "META_CREATEREGION", Objects, Drawn),
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

RecordFamily emfRecordFamily(uint32_t type) {
    const RecordInfo* record = findEmfRecord(type);
    return record ? record->family : None;
}

RecordFamily wmfRecordFamily(uint16_t function) {
    // The functions of the WMF table are all below 0x1000: an index of that size finds a
    // function's family in one step.
    static constexpr auto kFamilyOf = [] {
        std::array<RecordFamily, 0x1000> familyOf{};
        for (const RecordInfo& r : kWmfRecords) {
            if (r.type >= familyOf.size()) throw "a WMF function beyond the family index";
            familyOf[r.type] = r.family;
        }
        return familyOf;
    }();
    return function < kFamilyOf.size() ? kFamilyOf[function] : None;
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
