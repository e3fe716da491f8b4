#pragma once

#include "platform/thumbnails/ThumbnailCache.h"

#include <QAbstractScrollArea>
#include <QCache>
#include <QImage>
#include <QStringList>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace plume {

// One thumbnail as a renderer made it: the image, or the reason there is none.
struct ThumbnailRendering {
    QImage image;
    QString error;
};

// Draws the file at `path` as a thumbnail that fits a `box` x `box` square with the picture's
// aspect kept, giving up when `shouldStop` says the thumbnail is no longer wanted. Called on
// worker threads, several at once: it must not touch widgets.
using ThumbnailRenderer = std::function<ThumbnailRendering(
    const QString& path, int box, const std::function<bool()>& shouldStop)>;

// The size that fits `own` into a `box` x `box` square with its aspect kept, at least one
// pixel a side; an empty or invalid size fills the square.
QSize fitThumbnail(QSize own, int box);

// How the grid is laid out.
struct ThumbnailLayout {
    int columns = 3;      // thumbnails a row
    int rows = 5;         // rows a page; more rows scroll
    int thumbSize = 200;  // the thumbnails' square box, in pixels
    bool showNames = false;
    friend bool operator==(const ThumbnailLayout&, const ThumbnailLayout&) = default;
};

// A scrolling grid of the thumbnails of one folder's files. Listing is immediate; the
// thumbnails are rendered on a thread pool of its own, the visible cells first and then the
// rest of the folder in the background, so the interface never waits for a picture. A
// rendered thumbnail goes to the disk cache (when one is given); in memory the grid keeps
// only a bounded number of images and reloads the others from the cache when they are seen
// again. A file that cannot be drawn shows a placeholder that says so.
//
// A click selects, the arrow and page keys move the selection, and a double-click or Enter
// picks: `picked` is raised with the cell's index.
class ThumbnailGrid : public QAbstractScrollArea {
    Q_OBJECT
  public:
    enum class CellState { Waiting, Ready, Failed };

    // The thumbnail sizes the grid draws at; other sizes are brought into this range.
    static constexpr int kMinThumbSize = 16;
    static constexpr int kMaxThumbSize = 1024;
    // Images kept in memory, in bytes.
    static constexpr qsizetype kMemoryBudget = 48 * 1024 * 1024;

    ThumbnailGrid(ThumbnailRenderer renderer, std::shared_ptr<ThumbnailCache> cache,
                  QWidget* parent = nullptr);
    ~ThumbnailGrid() override;

    void setThumbnailLayout(const ThumbnailLayout& layout);
    const ThumbnailLayout& thumbnailLayout() const { return m_layout; }

    // Lists the files of `folder` whose type (the part of the name after the last ".") is
    // `type` in any letter case, leaving out hidden files, sorted by name without regard to
    // case, and starts rendering. An unreadable folder lists nothing.
    void listFolder(const QString& folder, const QString& type);
    // Empties the grid and drops every render still waiting.
    void clearListing();

    const QString& folder() const { return m_folder; }
    QStringList fileNames() const;
    int count() const { return static_cast<int>(m_cells.size()); }

    int currentIndex() const { return m_current; }
    void setCurrentIndex(int index);

    CellState cellState(int index) const;
    // The reason a cell failed ("" unless it did).
    QString cellError(int index) const;
    // The cell's rectangle in the viewport (empty when it is scrolled out of view).
    QRect cellRect(int index) const;
    // The range of cells the viewport shows, first and one past the last.
    std::pair<int, int> visibleRange() const;
    // True when the cell's image is in memory and would be painted.
    bool hasImage(int index) const;
    // True when every listed file has been rendered or has failed.
    bool allDone() const { return m_doneCount == count(); }

    // The worker threads (by default one per processor core).
    QThreadPool& threadPool() { return m_pool; }

  signals:
    void picked(int index);
    // A cell's thumbnail (or its placeholder) arrived and was painted into the view.
    void cellFinished(int index);
    // Every listed file has been rendered or has failed.
    void allFinished();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    struct Cell {
        QString name;
        QString path;
        CellState state = CellState::Waiting;
        QString error;
        bool inFlight = false;
    };

    int columns() const;
    int rows() const;
    int renderBox() const;
    QSize cellSize() const;
    int indexAt(const QPoint& viewportPos) const;
    void updateScrollBar();
    void ensureVisible(int index);
    void schedule();
    int nextToRender() const;
    void startRender(int index);
    void renderFinished(quint64 generation, int index, const QImage& image, const QString& error);
    void paintCell(QPainter& painter, int index, const QRect& rect);

    ThumbnailRenderer m_renderer;
    std::shared_ptr<ThumbnailCache> m_cache;
    ThumbnailLayout m_layout;
    QString m_folder;
    std::vector<Cell> m_cells;
    QCache<int, QImage> m_images;
    int m_current = -1;
    int m_inFlight = 0;
    int m_doneCount = 0;
    QString m_type;
    // Each listing has its number; results of an older listing are dropped.
    quint64 m_generation = 0;
    std::atomic<quint64> m_liveGeneration{0};
    QThreadPool m_pool;
};

}  // namespace plume
