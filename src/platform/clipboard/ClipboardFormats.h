#pragma once

// Every clipboard target name Plume reads or offers, in one place. On X11 these are the
// selection target atoms other programs use, and Qt passes them through QMimeData unchanged,
// parameters and quotes included; the names were taken from what LibreOffice Draw 7.4,
// Inkscape 1.2 and programs under Wine offer.

#include <QLatin1String>
#include <array>

namespace plume {

// The clipboard formats the program asks for by number.
inline constexpr int kFormatMetafilePicture = 3;    // a Windows metafile (WMF)
inline constexpr int kFormatEnhancedMetafile = 14;  // an enhanced metafile (EMF)

namespace target {

// Enhanced metafile. LibreOffice recognises its own name only whole, parameter included.
inline constexpr QLatin1String kLibreOfficeEmf(
    "application/x-openoffice-emf;windows_formatname=\"Image EMF\"");
inline constexpr QLatin1String kXEmf("image/x-emf");                 // Inkscape
inline constexpr QLatin1String kWineEnhMetafile("WCF_ENHMETAFILE");  // programs under Wine
inline constexpr QLatin1String kEmf("image/emf");

// Windows metafile. LibreOffice's is a raw WMF whose first record embeds an EMF copy;
// Inkscape's is a placeable WMF.
inline constexpr QLatin1String kLibreOfficeWmf(
    "application/x-openoffice-wmf;windows_formatname=\"Image WMF\"");
inline constexpr QLatin1String kXWmf("image/x-wmf");  // Inkscape
inline constexpr QLatin1String kWmf("image/wmf");

// The vector rendition that drawing programs without metafile support take.
inline constexpr QLatin1String kSvg("image/svg+xml");

// Read in this order of preference.
inline constexpr std::array<QLatin1String, 4> kEmfTargets{kLibreOfficeEmf, kXEmf, kWineEnhMetafile,
                                                          kEmf};
inline constexpr std::array<QLatin1String, 3> kWmfTargets{kLibreOfficeWmf, kXWmf, kWmf};

// What Plume offers for a vector picture, all carrying the same EMF bytes.
inline constexpr std::array<QLatin1String, 3> kOfferedEmfTargets{kLibreOfficeEmf, kXEmf,
                                                                 kWineEnhMetafile};

}  // namespace target
}  // namespace plume
