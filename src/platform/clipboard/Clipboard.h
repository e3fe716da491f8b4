#pragma once

// The system clipboard as Plume's windows use it: whether it holds a metafile (formats 3 and
// 14), the picture it holds, clearing it, and putting a picture on it. Other programs' data
// is untrusted: every offer is size-limited and signature-checked before it is parsed, and an
// owner that does not answer ends the read with an error. Each platform has its own
// realisation of operations 1 to 4, chosen by the build: on X11 they ask through Qt's
// clipboard, which waits for the owner inside the calling thread; on Windows through the
// Win32 clipboard (CF_ENHMETAFILE, CF_METAFILEPICT, CF_DIB), which Qt's cannot carry. The
// windows read through a ClipboardReader instead, which never blocks them.

#include "platform/base/Expected.h"
#include "platform/clipboard/ClipboardReader.h"
#include "platform/metafile/format/MetafileFormat.h"
#include "platform/picture/Picture.h"

#include <QByteArray>
#include <QString>
#include <memory>

class QMimeData;

namespace plume {

// The largest clipboard offer Plume reads: the same limit as for metafile files.
inline constexpr qsizetype kMaxClipboardBytes = metafile::kMaxMetafileBytes;

// Qt's X11 clipboard waits up to five seconds for an owner's answer, inside the calling
// thread. A read that comes back empty after this long was a wait that ran out, not a quick
// refusal: the owner is taken as gone, and nothing more is asked of it.
inline constexpr qint64 kSilentOwnerMs = 2000;

// The raster rendition offered beside vector data is drawn at the picture's own size, reduced
// to fit these bounds: it is only for programs that take no vector data, and it is held in
// memory for as long as Plume owns the clipboard.
inline constexpr int kMaxRenditionSide = 4096;
inline constexpr qint64 kMaxRenditionPixels = 16'000'000;

// The renditions are drawn in the background from the moment of the copy (see VectorOffer.h),
// with a longer time limit than a preview: a rendition cut short would hand the other program
// a drawing with its last (topmost) parts missing. Large drawings from LibreOffice (thousands
// of shapes) take seconds.
inline constexpr int kRenditionTimeLimitMs = 10'000;

// Whether an offer's bytes are a whole EMF or WMF (see MetafileFormat.h).
using metafile::hasEmfSignature;
using metafile::hasWmfSignature;

// The same questions and answers as the clipboard operations below, on one offer (whatever
// its source). Used by the operations and by tests that build offers of their own.
// silentOwnerMs is kSilentOwnerMs but for tests, which give an owner that does not answer
// without making it wait that long.
bool offerHasFormat(const QMimeData& offer, int format);
Expected<PicturePtr> pictureFromOffer(const QMimeData& offer, int format,
                                      qint64 silentOwnerMs = kSilentOwnerMs);
Expected<std::unique_ptr<QMimeData>> offerForPicture(const Picture& picture);
// What a ClipboardReader's read gives, taken from one offer.
ClipboardRead readOffer(const QMimeData& offer, qint64 silentOwnerMs = kSilentOwnerMs);

// What a drag of a drawing's file offers: the file itself (text/uri-list) and, when there is a
// picture, the same renditions as offerForPicture, so that each program the drawing is dropped
// into takes what it handles best (the file, the EMF, the SVG or the bitmap).
std::unique_ptr<QMimeData> offerForFile(const QString& path, const PicturePtr& picture);

// Whether an offer names a metafile target (EMF or WMF), by its list of targets alone: no
// data is asked of the owner.
bool offerNamesMetafile(const QMimeData& offer);

// 1. Whether the clipboard holds format 3 (metafile picture) or 14 (enhanced metafile).
bool clipboardHasFormat(int format);

// 2. The clipboard's picture as a vector picture. Format 14 gives the EMF bytes as offered,
// or, when only a WMF is there, the EMF copy the WMF carries or the WMF converted to EMF.
// Format 3 gives the WMF itself.
Expected<PicturePtr> clipboardGetPicture(int format);

// 3. Empties the clipboard, whoever owned it.
Status clipboardClear();

// 4. Puts the picture on the clipboard: a vector picture as EMF under every EMF target, as
// SVG and as a raster rendition, all in one offer; a raster picture as image data. The EMF is
// there at once, the renditions once they are drawn.
Status clipboardSetPicture(const PicturePtr& picture);

}  // namespace plume
