#pragma once

#include "platform/picture/Picture.h"

#include <QByteArray>
#include <QObject>
#include <functional>

namespace plume {

// Keeps clippings by themselves: while on, every new metafile that another program puts on
// the clipboard is handed to `import`, without a press of a button. It costs nothing while the
// clipboard does not change: it only answers the clipboard's own change notice, looks at the
// offered targets first and reads data only when a metafile is named. It never hands over the
// same bytes twice in a row, nor what Plume itself put on the clipboard.
class ClipboardWatch : public QObject {
    Q_OBJECT
  public:
    // Stores the picture as a drawing; true when it was stored.
    using Import = std::function<bool(const PicturePtr& picture)>;
    ClipboardWatch(QObject* parent, Import import);

    bool isOn() const { return m_on; }
    void setOn(bool on);

    // Plume put these EMF bytes on the clipboard (the copy command): an offer of them is
    // Plume's own, even when a clipboard manager offers it again.
    void notePlumesOwn(const QByteArray& emf);

    // Whether EMF bytes with this digest are to be imported: neither the last ones imported
    // nor Plume's own.
    bool isNew(const QByteArray& digest) const;
    static QByteArray digestOf(const QByteArray& emf);

    // The clipboard changed: import what it offers when it is a new metafile.
    void clipboardChanged();

  private:
    Import m_import;
    bool m_on = false;
    QByteArray m_lastImported;
    QByteArray m_plumesOwn;
};

}  // namespace plume
