#pragma once

#include "platform/base/Expected.h"
#include "platform/picture/Picture.h"

#include <QObject>
#include <QString>

template <typename T>
class QFutureWatcher;

namespace plume {

// Loading of the file the list selects, for the preview. A small file is read and parsed at
// once, as the window always did; a large one, or a raster large enough to take long to
// decode, is read on a worker thread while the window goes on answering, and `loaded` is
// raised when it is done. A newer load abandons the one under way: its result is dropped.
class PreviewLoad : public QObject {
    Q_OBJECT
  public:
    // Files up to this size (and rasters up to this many pixels) are loaded at once: a few
    // milliseconds' work.
    static constexpr qint64 kAtOnceBytes = 1024 * 1024;
    static constexpr qint64 kAtOncePixels = 4'000'000;

    explicit PreviewLoad(QObject* parent = nullptr);
    ~PreviewLoad() override;

    // Loads `path`: `loaded` is raised before this returns when the file loads at once,
    // otherwise later.
    void load(const QString& path);
    bool isLoading() const { return m_watcher != nullptr; }
    // Waits for the load under way and raises `loaded` for it now, so that a command acts on
    // the file the list shows as selected.
    void finish();
    // Drops the load under way: its result goes nowhere.
    void abandon();

  signals:
    void loaded(const QString& path, const Expected<PicturePtr>& picture);

  private:
    void deliver();

    QFutureWatcher<Expected<PicturePtr>>* m_watcher = nullptr;
    QString m_path;
};

// Whether the file can be loaded at once (see PreviewLoad): a small regular file whose
// picture, when it is a raster, is small too (the raster's header alone is read).
bool loadsAtOnce(const QString& path);

}  // namespace plume
