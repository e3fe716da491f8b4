// GdiPlayer: logical palettes and the colours that index them (PALETTEINDEX, DIB_PAL_COLORS).
//
// The picture is drawn on a true-colour device, so a palette is only a table to look colours
// up in: realising it changes nothing, and PALETTERGB is the colour it holds. Pens and brushes
// look their colours up when they are selected, as GDI realises them (a DIB_PAL_COLORS pattern
// keeps the colours of the palette selected with it); the text and background colours follow
// the selected palette.

#include "platform/metafile/format/Dib.h"
#include "platform/metafile/render/GdiPlayer.h"

#include <algorithm>

namespace plume::metafile {

namespace {

// The largest palette a LOGPALETTE describes (its entry count is 16 bits).
constexpr uint32_t kMaxPaletteEntries = 0xFFFF;

}  // namespace

QColor GdiPlayer::resolveColor(ColorRef color) const {
    if (color.flags() != 0x01) return color.toQColor();
    // PALETTEINDEX: the low word indexes the selected palette; past its end, entry 0.
    const uint32_t index = color.value & 0xFFFF;
    if (!m_dc.palette) return QColor::fromRgb(defaultPaletteColor(index < 20 ? int(index) : 0));
    const std::vector<PaletteEntry>& entries = *m_dc.palette;
    if (entries.empty()) return Qt::black;
    const PaletteEntry& e = entries[index < entries.size() ? index : 0];
    return QColor(e.red, e.green, e.blue);
}

std::vector<QRgb> GdiPlayer::paletteColors() const {
    std::vector<QRgb> colors;
    if (!m_dc.palette) return colors;  // empty: the default palette
    colors.reserve(m_dc.palette->size());
    for (const PaletteEntry& e : *m_dc.palette) colors.push_back(qRgb(e.red, e.green, e.blue));
    if (colors.empty()) colors.push_back(qRgb(0, 0, 0));
    return colors;
}

std::vector<PaletteEntry>* GdiPlayer::paletteFor(uint32_t index) {
    if (index == kSelectedPalette) return m_dc.palette.get();
    const Object* o = object(index);
    const auto* palette = o ? std::get_if<PaletteObject>(o) : nullptr;
    return palette ? palette->entries.get() : nullptr;
}

void GdiPlayer::paletteChanged() {
    if (m_dc.textColorRef.flags() == 0x01) m_dc.textColor = resolveColor(m_dc.textColorRef);
    if (m_dc.bkColorRef.flags() == 0x01) m_dc.bkColor = resolveColor(m_dc.bkColorRef);
    penOrBrushChanged();
}

GdiPlayer::BrushObject GdiPlayer::resolvedBrush(const BrushObject& brush) const {
    BrushObject b = brush;
    if (b.paletteIndex) b.color = resolveColor(ColorRef{0x01000000u | *b.paletteIndex});
    if (const PalettePattern* pattern = b.palettePattern.get()) {
        const std::vector<QRgb> colors = paletteColors();
        const DibColorUsage usage = dibColorUsage(pattern->usage);
        const auto image =
            pattern->bits.empty()
                ? decodePackedDib(pattern->info, usage, false, nullptr, colors)
                : decodeDib(pattern->info, pattern->bits, usage, false, nullptr, colors);
        if (image) b.pattern = *image;
    }
    return b;
}

void GdiPlayer::selectPalette(uint32_t index) {
    if (index == stockObject::DefaultPalette) {
        m_dc.palette.reset();
    } else {
        const Object* o = object(index);
        const auto* palette = o ? std::get_if<PaletteObject>(o) : nullptr;
        if (!palette) return;  // not a palette: GDI fails the selection
        m_dc.palette = palette->entries;
    }
    paletteChanged();
}

void GdiPlayer::setPaletteEntries(uint32_t index, uint32_t start,
                                  std::span<const PaletteEntry> entries) {
    std::vector<PaletteEntry>* palette = paletteFor(index);
    if (!palette || start >= palette->size()) return;
    const size_t count = std::min(entries.size(), palette->size() - start);
    std::copy_n(entries.begin(), count, palette->begin() + start);
    if (palette == m_dc.palette.get()) paletteChanged();
}

void GdiPlayer::animatePalette(uint32_t index, uint32_t start,
                               std::span<const PaletteEntry> entries) {
    // AnimatePalette changes only the entries the palette itself flags PC_RESERVED.
    std::vector<PaletteEntry>* palette = paletteFor(index);
    if (!palette || start >= palette->size()) return;
    const size_t count = std::min(entries.size(), palette->size() - start);
    for (size_t i = 0; i < count; ++i) {
        PaletteEntry& e = (*palette)[start + i];
        if (e.flags & kPcReserved) e = entries[i];
    }
    if (palette == m_dc.palette.get()) paletteChanged();
}

void GdiPlayer::resizePalette(uint32_t index, uint32_t count) {
    // New entries are black; a palette keeps at least one entry (GDI refuses zero).
    std::vector<PaletteEntry>* palette = paletteFor(index);
    if (!palette || count == 0 || count > kMaxPaletteEntries) return;
    palette->resize(count);
    if (palette == m_dc.palette.get()) paletteChanged();
}

}  // namespace plume::metafile
