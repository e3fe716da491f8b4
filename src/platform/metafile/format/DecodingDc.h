#pragma once

// The part of a device context that turning records into calls needs, not only drawing: the
// selected font's character set and face. They decide how 8-bit text (EMR_EXTTEXTOUTA, the
// WMF text records) becomes Unicode, and how Symbol text is written back as EMF. The font
// objects by slot, the selected one, and its SaveDC/RestoreDC levels as a player keeps them.
// Both readers and the EMF writer keep one; the player keeps the whole device context.

#include "platform/metafile/format/FontText.h"
#include "platform/metafile/format/GdiTypes.h"

#include <QHash>
#include <QString>
#include <cstdint>
#include <vector>

namespace plume::metafile {

struct FontKey {
    uint8_t charSet = charset::kDefault;
    QString face;
};

class DecodingDc {
  public:
    const FontKey& font() const { return m_font; }

    void createFont(uint32_t slot, FontKey font) { m_fonts.insert(slot, std::move(font)); }
    // A deleted slot selects nothing any more (GDI fails SelectObject on it).
    void deleteObject(uint32_t slot) { m_fonts.remove(slot); }
    // A font slot or a stock font becomes the selected font; any other object leaves it.
    void selectObject(uint32_t slot) {
        if (slot & stockObject::Flag) {
            if (slot >= stockObject::OemFixedFont && slot <= stockObject::DefaultGuiFont &&
                slot != stockObject::DefaultPalette)
                m_font = FontKey{charset::kAnsi, {}};
            return;
        }
        if (const auto font = m_fonts.constFind(slot); font != m_fonts.constEnd()) m_font = *font;
    }
    // Levels beyond kMaxSavedDcDepth are not kept, and restoring to them fails, as in the player.
    void saveDc() {
        if (m_saved.size() < size_t(kMaxSavedDcDepth)) m_saved.push_back(m_font);
    }
    // Negative: that many levels back; positive: the absolute level SaveDC returned.
    void restoreDc(int32_t savedDc) {
        const int64_t depth = int64_t(m_saved.size());
        const int64_t level = savedDc < 0 ? depth + savedDc + 1 : savedDc;
        if (savedDc == 0 || level < 1 || level > depth) return;
        m_font = std::move(m_saved[size_t(level - 1)]);
        m_saved.resize(size_t(level - 1));
    }

  private:
    QHash<uint32_t, FontKey> m_fonts;
    FontKey m_font;
    std::vector<FontKey> m_saved;
};

}  // namespace plume::metafile
