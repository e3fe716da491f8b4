# The Debian package of Plume: `cpack -G DEB` in a release build folder (README.md, "A Debian
# package") packs what `cmake --install` lays out. The shared libraries the programs link
# (Qt, libpng, the C++ runtime) become dependencies through dpkg-shlibdeps; what they need
# but do not link is named here: the interface's face (IPAPGothic) as a dependency, and the
# faces that drawings name, Qt's Japanese dialogs and the desktop opener as recommendations.
set(PLUME_PACKAGE_MAINTAINER "Plume maintainers <maintainers@users.noreply.c-seed-48ccbcd8.example>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_PACKAGE_NAME plume)
set(CPACK_PACKAGE_VENDOR Tovari)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keeps the vector drawings you copy as numbered metafiles")
set(CPACK_PACKAGE_DESCRIPTION
    "Copy a drawing in any program that offers a metafile and press one button:
Plume stores the clipboard's metafile as the next numbered file (001.wmf,
002.wmf, ...) of its working folder. It lists the folder, previews the selected
drawing, puts it back on the clipboard as vector data, renders it to a bitmap
and shows the folder as large thumbnails. Its interface is in Japanese.

plumeconv converts EMF and WMF files to PNG, SVG or PDF with the same engine
and gives file managers thumbnails of them.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY plume)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PLUME_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-translations-l10n, fonts-ipafont-mincho, fonts-liberation, fonts-crosextra-carlito, fonts-crosextra-caladea, fonts-urw-base35, xdg-utils")
set(CPACK_GENERATOR DEB)
include(CPack)
