#pragma once

#include "platform/picture/Picture.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

namespace plume {

class ClipboardReader;
struct ClipboardRead;

// What the status line says when the clipboard's owner did not answer.
QString ownerSilentText();

// Keeps clippings by themselves: while on, every new metafile that another program puts on
// the clipboard is handed to `import`, without a press of a button. It costs nothing while the
// clipboard does not change: it only answers the clipboard's own change notice, looks at the
// offered targets first and reads data only when a metafile is named. It never hands over the
// same bytes twice in a row, nor what Plume itself put on the clipboard, nor a metafile that
// does not read whole.
//
// The clipboard is read off the window's thread, one read at a time: changes that come while
// a read runs are read once after it. An owner that does not answer is waited out before it
// is asked again, a little longer each time it stays silent, and at once when another
// program takes the clipboard.
class ClipboardWatch : public QObject {
    Q_OBJECT
  public:
    // Stores the picture as a drawing; true when it was stored.
    using Import = std::function<bool(const PicturePtr& picture)>;
    // Says something in the status line.
    using Say = std::function<void(const QString& text)>;
    // The first wait before a silent owner is asked again, and the longest.
    static constexpr int kFirstBackoffMs = 2000;
    static constexpr int kLongestBackoffMs = 64000;

    ClipboardWatch(QObject* parent, Import import, Say say,
                   std::unique_ptr<ClipboardReader> reader);
    ~ClipboardWatch() override;

    bool isOn() const { return m_on; }
    void setOn(bool on);

    // Plume put these EMF bytes on the clipboard (the copy command): an offer of them is
    // Plume's own, even when a clipboard manager offers it again.
    void notePlumesOwn(const QByteArray& emf);

    // Whether EMF bytes with this digest are to be imported: neither the last ones imported
    // nor Plume's own.
    bool isNew(const QByteArray& digest) const;
    static QByteArray digestOf(const QByteArray& emf);

    // The clipboard changed: read it, now or once the read that runs or the wait for a silent
    // owner has ended.
    void clipboardChanged();
    // How long the watch waits out a silent owner before asking it again; 0 when it waits for
    // none.
    int backoffMs() const { return m_retry.isActive() ? m_backoffMs : 0; }

  private:
    void readNow();
    void readDone(const ClipboardRead& read);
    void keep(const ClipboardRead& read);

    Import m_import;
    Say m_say;
    std::unique_ptr<ClipboardReader> m_reader;
    bool m_on = false;
    bool m_changedSince = false;  // a change came while a read ran or a silent owner was waited out
    QTimer m_retry;               // ends the wait for a silent owner
    int m_backoffMs = 0;
    quint64 m_silentOwner = 0;
    QByteArray m_lastImported;
    QByteArray m_plumesOwn;
};

}  // namespace plume
