#pragma once

// Writes that fail as a full disk makes them fail: a device that takes N bytes and refuses the
// rest, and a small file system of its own to fill.

#include <QIODevice>
#include <QString>
#include <QTemporaryDir>

namespace plume::test {

// Takes `room` bytes, then refuses every write with "No space left on device".
class FailDevice : public QIODevice {
  public:
    explicit FailDevice(qint64 room);
    qint64 taken() const { return m_taken; }

  protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override;

  private:
    qint64 m_room;
    qint64 m_taken = 0;
};

// A tmpfs of `bytes` mounted on a temporary folder while it lives. Mounting needs root (CI
// runs as root); where it is refused, mounted() is false and skipReason() says why.
class SmallDisk {
  public:
    explicit SmallDisk(qint64 bytes = 2 * 1024 * 1024);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }
    std::string skipReason() const;
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    // Fills the disk with a file of ballast until at most `leftBytes` are free.
    void fill(qint64 leftBytes = 0);

  private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    int m_errno = 0;
};

}  // namespace plume::test

// Skips the test, saying why, when the small disk could not be mounted.
#define PLUME_SKIP_WITHOUT_SMALL_DISK(disk) \
    if (!(disk).mounted()) GTEST_SKIP() << (disk).skipReason()
