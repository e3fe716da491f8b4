#pragma once

#include "platform/base/Expected.h"
#include "platform/picture/Picture.h"

#include <QColor>
#include <QImage>
#include <QWidget>
#include <atomic>
#include <memory>

template <typename T>
class QFutureWatcher;
class QThreadPool;

namespace plume {

// A widget that shows one picture. What it shows at its current size is drawn once and kept
// until the picture or the size changes, so repainting never replays the metafile. How the
// picture is fitted is the kind's own: see ImageArea and PreviewSurface.
//
// Drawing never holds up the window: it runs on a worker thread while the view goes on
// showing its last drawing (or nothing), and its result is shown when it is done. A new
// picture or size abandons the drawing under way (the engine is told to stop, and whatever it
// still hands back is dropped), so a stale drawing never replaces a newer one; so does
// destroying the view, which never waits for the worker.
class PictureView : public QWidget {
    Q_OBJECT
  public:
    ~PictureView() override;

    // Shows `picture` (null shows none, at once); picture() gives back the same object at
    // once, whether or not its drawing is done.
    void setPicture(PicturePtr picture);
    const PicturePtr& picture() const { return m_picture; }

    // What the view shows now: the last drawing that was done, which is of an older picture or
    // size while isDrawing(); null when it shows nothing (no picture, or a size beyond the
    // limits).
    const QImage& shownImage();
    // Whether the present picture at the present size is still being drawn.
    bool isDrawing() const;
    // Whether the shown drawing was cut short by a limit: the picture is shown in part.
    bool shownCutOff() const { return m_shownCutOff; }

    // The drawing of `picture` (on a worker thread): what the view shows for a size. A plain
    // function, since it runs while the view may be gone.
    using Renderer = Expected<QImage> (*)(const Picture* picture, QSize size,
                                          const metafile::RenderOptions& options,
                                          metafile::RenderStats* stats);

    // The threads the views draw on (more than the cores, so that drawings that are slow to
    // stop never hold up a new one for long).
    static QThreadPool& drawingPool();

  signals:
    // The present picture is now shown at the present size; `cutOff` as shownCutOff().
    void drawn(bool cutOff);

  protected:
    // `emptyFill` is painted where nothing is shown; an invalid colour paints nothing there,
    // so that the parent's background shows through. A view that `stretches` shows an older
    // drawing stretched over a new size until the new one is done.
    PictureView(QWidget* parent, QColor emptyFill, Renderer renderer, bool stretches);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    struct Drawing {
        QImage image;
        bool cutOff = false;
    };
    void drawIfStale();
    void startDrawing();
    void abandonDrawing();
    void showDrawing(Drawing drawing);

    PicturePtr m_picture;
    QImage m_shown;
    bool m_shownCutOff = false;
    QColor m_emptyFill;
    Renderer m_renderer;
    bool m_stretches;
    // The size the drawing under way, or the one shown, is for.
    QSize m_drawnSize;
    // The drawing under way: its stop flag (shared with the worker) and its watcher.
    std::shared_ptr<std::atomic<bool>> m_stop;
    QFutureWatcher<Drawing>* m_watcher = nullptr;
};

}  // namespace plume
