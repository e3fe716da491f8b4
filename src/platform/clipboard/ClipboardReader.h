#pragma once

// Reading the clipboard without blocking the window. On X11 another program serves the
// clipboard, and on Windows a program that put its data there for later (delayed rendering)
// is asked for it when it is read; one that never answers (or takes the clipboard again and
// again) would hold a window that waited for it: the reader asks on a thread of its own, with
// a wait that ends, and hands the answer back on the window's thread. Each platform has one
// implementation, chosen by the build; the in-process clipboard (the offscreen platform, and
// the clipboard Plume owns itself) answers at once.

#include "platform/base/Expected.h"
#include "platform/picture/Picture.h"

#include <QByteArray>
#include <QLatin1String>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QMimeData;

namespace plume {

// What one read of the clipboard found: what the import and the watch ask of it.
struct ClipboardRead {
    // The clipboard holds a metafile picture (format 3 or 14) whose bytes carry a signature.
    bool hasMetafile = false;
    // The clipboard's owner did not answer within the wait.
    bool ownerSilent = false;
    // Who held the clipboard while it was read (an X11 window, a Windows window); 0 where it
    // is not known.
    quint64 owner = 0;
    // The picture as format 14, or why there is none.
    Expected<PicturePtr> picture =
        Expected<PicturePtr>::failure(QStringLiteral("クリップボードにメタファイルがありません"));
    // Why the metafile that was read is damaged (cut short, or its records end early); empty
    // when it reads whole.
    QString damage;
};

// Where one read's targets and bytes come from: Qt's offer of the clipboard, or a platform's
// own conversation with the clipboard's owner.
class OfferSource {
  public:
    enum class Answer { Bytes, Refused, Silent, TooLarge };
    struct Fetched {
        Answer answer = Answer::Refused;
        QByteArray bytes;
    };
    virtual ~OfferSource() = default;
    // The offered target names; nothing when the owner did not answer.
    virtual std::optional<QStringList> targets() = 0;
    virtual Fetched fetch(QLatin1String target) = 0;
};

// Everything one read asks of an offer: whether it holds a metafile, the picture as format
// 14, and whether that metafile is damaged. Targets are read once each, in order of
// preference, and only when they are offered.
ClipboardRead readOffer(OfferSource& source);
// The questions of the clipboard operations (see Clipboard.h) asked of one source: whether it
// holds `format` (3 or 14), and its picture as `format`. `ownerSilent`, when given, says
// whether the owner failed to answer.
bool sourceHasFormat(OfferSource& source, int format, bool* ownerSilent = nullptr);
Expected<PicturePtr> pictureFromSource(OfferSource& source, int format,
                                       bool* ownerSilent = nullptr);
// Qt's offer as a source; an answer that comes back empty after silentOwnerMs was an owner
// that did not answer.
std::unique_ptr<OfferSource> makeMimeSource(const QMimeData& offer, qint64 silentOwnerMs);

// Reads the system clipboard; one read at a time.
// A QObject so that answers from another thread come back on this one's.
class ClipboardReader : public QObject {
  public:
    using Done = std::function<void(const ClipboardRead&)>;

    // Starts a read and returns at once; `done` runs on this object's thread when the read has
    // ended (already before read() returns where the clipboard answers at once). False, and
    // nothing starts, while a read is running. Destroying the reader cancels its read.
    virtual bool read(Done done) = 0;
    virtual bool reading() const = 0;
    // Who holds the clipboard now, asked of the display alone and never of the owner, so that
    // it answers at once; 0 where it is not known.
    virtual quint64 owner() const = 0;
};

// The reader of the platform Plume runs on.
std::unique_ptr<ClipboardReader> makeClipboardReader();
// The reader of Qt's in-process clipboard, which answers at once.
std::unique_ptr<ClipboardReader> makeInProcessClipboardReader();

}  // namespace plume
