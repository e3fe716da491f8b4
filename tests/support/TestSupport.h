#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class QMimeData;

namespace plume::test {

// Captures every message box shown while it lives, instead of opening dialogs.
class MessageCapture {
  public:
    MessageCapture();
    ~MessageCapture();
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    const QStringList& texts() const { return m_texts; }
    void clear() { m_texts.clear(); }

  private:
    QStringList m_texts;
};

// Whole-file helpers for tests.
QByteArray readFileBytes(const QString& path);
void writeFileBytes(const QString& path, const QByteArray& bytes);

// Waits (processing events) until a vector picture's clipboard offer names its SVG and
// raster renditions, which are drawn in the background; false after a minute.
bool waitForRenditions(const QMimeData& offer);

// The folder of real data beside the checkout (captures, references, corpus).
QString sharedDataDir();
// The checkout the tests were built from.
QString sourceDir();

}  // namespace plume::test

// Readable QString values in GoogleTest's failure messages.
#include <ostream>
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
