#include "platform/thumbnails/ThumbnailGrid.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QThread>
#include <algorithm>

namespace plume {
namespace {

constexpr int kCellMargin = 4;
const QString kPlaceholderText = QStringLiteral("表示できません");

bool lessByName(const QString& a, const QString& b) {
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

}  // namespace

QSize fitThumbnail(QSize own, int box) {
    box = std::max(1, box);
    if (own.width() <= 0 || own.height() <= 0) return QSize(box, box);
    const double scale = double(box) / std::max(own.width(), own.height());
    return QSize(std::max(1, qRound(own.width() * scale)),
                 std::max(1, qRound(own.height() * scale)));
}

ThumbnailGrid::ThumbnailGrid(ThumbnailRenderer renderer, std::shared_ptr<ThumbnailCache> cache,
                             QWidget* parent)
    : QAbstractScrollArea(parent), m_renderer(std::move(renderer)), m_cache(std::move(cache)) {
    m_images.setMaxCost(kMemoryBudget);
    m_pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setRange(0, 0);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

ThumbnailGrid::~ThumbnailGrid() {
    // Renders still running refer to this grid; told that their listing is gone, they stop.
    ++m_generation;
    m_liveGeneration.store(m_generation);
    m_pool.waitForDone();
}

void ThumbnailGrid::setThumbnailLayout(const ThumbnailLayout& layout) {
    const bool newSize = renderBox() != std::clamp(layout.thumbSize, kMinThumbSize, kMaxThumbSize);
    m_layout = layout;
    if (newSize && !m_folder.isNull()) {
        // Thumbnails of the old size are of no use: render the folder again.
        listFolder(m_folder, m_type);
        return;
    }
    updateScrollBar();
    ensureVisible(m_current);
    viewport()->update();
    schedule();
}

void ThumbnailGrid::clearListing() {
    ++m_generation;
    m_liveGeneration.store(m_generation);
    m_cells.clear();
    m_images.clear();
    m_current = -1;
    m_doneCount = 0;
    m_folder = QString();
    m_type.clear();
    updateScrollBar();
    viewport()->update();
}

void ThumbnailGrid::listFolder(const QString& folder, const QString& type) {
    clearListing();
    m_folder = folder.isNull() ? QStringLiteral("") : folder;
    m_type = type;
    if (!folder.isEmpty()) {
        // Hidden files are left out, as the main window's file list leaves them out; a file
        // that cannot be read is listed and shows the placeholder.
        const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files);
        for (const QFileInfo& entry : entries) {
            if (entry.suffix().compare(type, Qt::CaseInsensitive) != 0) continue;
            Cell cell;
            cell.name = entry.fileName();
            cell.path = entry.absoluteFilePath();
            m_cells.push_back(std::move(cell));
        }
        std::sort(m_cells.begin(), m_cells.end(),
                  [](const Cell& a, const Cell& b) { return lessByName(a.name, b.name); });
    }
    if (!m_cells.empty()) m_current = 0;
    verticalScrollBar()->setValue(0);
    updateScrollBar();
    viewport()->update();
    if (m_cells.empty()) {
        emit allFinished();
        return;
    }
    schedule();
}

QStringList ThumbnailGrid::fileNames() const {
    QStringList names;
    names.reserve(count());
    for (const Cell& cell : m_cells) names.append(cell.name);
    return names;
}

void ThumbnailGrid::setCurrentIndex(int index) {
    if (index < 0 || index >= count()) return;
    const int old = m_current;
    m_current = index;
    ensureVisible(index);
    if (old >= 0) viewport()->update(cellRect(old));
    viewport()->update(cellRect(index));
}

ThumbnailGrid::CellState ThumbnailGrid::cellState(int index) const {
    if (index < 0 || index >= count()) return CellState::Waiting;
    return m_cells[size_t(index)].state;
}

QString ThumbnailGrid::cellError(int index) const {
    if (index < 0 || index >= count()) return {};
    return m_cells[size_t(index)].error;
}

bool ThumbnailGrid::hasImage(int index) const {
    return m_images.contains(index);
}

int ThumbnailGrid::columns() const {
    return std::max(1, m_layout.columns);
}

int ThumbnailGrid::rows() const {
    return std::max(1, m_layout.rows);
}

int ThumbnailGrid::renderBox() const {
    return std::clamp(m_layout.thumbSize, kMinThumbSize, kMaxThumbSize);
}

QSize ThumbnailGrid::cellSize() const {
    // A page is `rows` rows of `columns` cells, whatever the size of the view.
    const QSize view = viewport()->size();
    return QSize(std::max(1, view.width() / columns()), std::max(1, view.height() / rows()));
}

std::pair<int, int> ThumbnailGrid::visibleRange() const {
    const int first = verticalScrollBar()->value() * columns();
    const int last = std::min(count(), first + (rows() + 1) * columns());
    return {std::min(first, count()), last};
}

QRect ThumbnailGrid::cellRect(int index) const {
    if (index < 0 || index >= count()) return {};
    const QSize cell = cellSize();
    const int row = index / columns() - verticalScrollBar()->value();
    const int column = index % columns();
    const QRect rect(column * cell.width(), row * cell.height(), cell.width(), cell.height());
    return rect.intersects(viewport()->rect()) ? rect : QRect();
}

int ThumbnailGrid::indexAt(const QPoint& pos) const {
    const QSize cell = cellSize();
    if (pos.x() < 0 || pos.y() < 0) return -1;
    const int column = pos.x() / cell.width();
    if (column >= columns()) return -1;
    const int row = pos.y() / cell.height() + verticalScrollBar()->value();
    const qint64 index = qint64(row) * columns() + column;
    return index < count() ? int(index) : -1;
}

void ThumbnailGrid::updateScrollBar() {
    const int totalRows = (count() + columns() - 1) / columns();
    verticalScrollBar()->setRange(0, std::max(0, totalRows - rows()));
    verticalScrollBar()->setPageStep(rows());
}

void ThumbnailGrid::ensureVisible(int index) {
    if (index < 0 || index >= count()) return;
    const int row = index / columns();
    QScrollBar* bar = verticalScrollBar();
    if (row < bar->value())
        bar->setValue(row);
    else if (row >= bar->value() + rows())
        bar->setValue(row - rows() + 1);
}

int ThumbnailGrid::nextToRender() const {
    // The cells in view come first: those never drawn, and those whose image left memory.
    const auto [first, last] = visibleRange();
    for (int i = first; i < last; ++i) {
        const Cell& cell = m_cells[size_t(i)];
        if (cell.inFlight) continue;
        if (cell.state == CellState::Waiting) return i;
        if (cell.state == CellState::Ready && !m_images.contains(i)) return i;
    }
    // Then the rest of the folder, in order, so that later pages are ready when reached.
    for (int i = 0; i < count(); ++i) {
        const Cell& cell = m_cells[size_t(i)];
        if (!cell.inFlight && cell.state == CellState::Waiting) return i;
    }
    return -1;
}

void ThumbnailGrid::schedule() {
    // Only a few renders are handed to the pool at a time, so that the choice of the next
    // one follows the view as the user scrolls.
    const int limit = m_pool.maxThreadCount() + 1;
    while (m_inFlight < limit) {
        const int index = nextToRender();
        if (index < 0) return;
        startRender(index);
    }
}

void ThumbnailGrid::startRender(int index) {
    Cell& cell = m_cells[size_t(index)];
    cell.inFlight = true;
    ++m_inFlight;
    const quint64 generation = m_generation;
    const QString path = cell.path;
    const int box = renderBox();
    std::shared_ptr<ThumbnailCache> cache = m_cache;
    m_pool.start([this, generation, index, path, box, cache] {
        QImage image;
        QString error;
        // A render for a listing that has since been replaced is not worth doing.
        if (m_liveGeneration.load() == generation) {
            const std::optional<ThumbnailKey> key = ThumbnailKey::ofFile(path, box);
            std::optional<QImage> cached;
            if (!key) {
                error = QStringLiteral("ファイルを読めません");
            } else if (cache && (cached = cache->load(*key))) {
                image = *cached;
            } else {
                // A listing that is replaced, or a grid that goes, stops the drawing; what it
                // drew so far is no thumbnail and is never kept.
                const auto replaced = [this, generation] {
                    return m_liveGeneration.load() != generation;
                };
                ThumbnailRendering rendering = m_renderer(path, box, replaced);
                image = std::move(rendering.image);
                error = std::move(rendering.error);
                if (!image.isNull() && cache && !replaced()) cache->store(*key, image);
                if (image.isNull() && error.isEmpty()) error = kPlaceholderText;
            }
        }
        QMetaObject::invokeMethod(
            this,
            [this, generation, index, image, error] {
                renderFinished(generation, index, image, error);
            },
            Qt::QueuedConnection);
    });
}

void ThumbnailGrid::renderFinished(quint64 generation, int index, const QImage& image,
                                   const QString& error) {
    --m_inFlight;
    if (generation == m_generation && index >= 0 && index < count()) {
        Cell& cell = m_cells[size_t(index)];
        cell.inFlight = false;
        const bool firstTime = cell.state == CellState::Waiting;
        if (!image.isNull()) {
            cell.state = CellState::Ready;
            // Images far from the view are not kept: they are in the disk cache, and keeping
            // them would push the ones in view out of the memory budget.
            const auto [first, last] = visibleRange();
            const int near = rows() * columns();
            if ((index >= first - near && index < last + near) || !m_cache)
                m_images.insert(index, new QImage(image), image.sizeInBytes());
        } else {
            cell.state = CellState::Failed;
            cell.error = error;
        }
        if (firstTime) ++m_doneCount;
        const QRect rect = cellRect(index);
        if (!rect.isEmpty()) viewport()->update(rect);
        emit cellFinished(index);
        if (firstTime && allDone()) emit allFinished();
    }
    schedule();
}

void ThumbnailGrid::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const auto [first, last] = visibleRange();
    for (int i = first; i < last; ++i) {
        const QRect rect = cellRect(i);
        if (!rect.isEmpty()) paintCell(painter, i, rect);
    }
}

void ThumbnailGrid::paintCell(QPainter& painter, int index, const QRect& rect) {
    const Cell& cell = m_cells[size_t(index)];
    const QRect inner = rect.adjusted(kCellMargin, kCellMargin, -kCellMargin, -kCellMargin);
    if (inner.width() <= 0 || inner.height() <= 0) return;
    if (index == m_current) {
        QColor highlight = palette().color(QPalette::Highlight);
        highlight.setAlpha(hasFocus() ? 90 : 45);
        painter.fillRect(rect.adjusted(1, 1, -1, -1), highlight);
    }
    QRect pictureArea = inner;
    if (m_layout.showNames) {
        const int captionHeight = fontMetrics().height() + 2;
        pictureArea.setBottom(inner.bottom() - captionHeight);
        const QRect caption(inner.left(), pictureArea.bottom() + 1, inner.width(), captionHeight);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(caption, Qt::AlignHCenter | Qt::AlignVCenter,
                         fontMetrics().elidedText(cell.name, Qt::ElideMiddle, caption.width()));
    }
    if (pictureArea.height() <= 0) return;

    const int box = std::min({renderBox(), pictureArea.width(), pictureArea.height()});
    if (const QImage* image = m_images.object(index)) {
        // Shown at its rendered size, or smaller when the cell is smaller; never enlarged.
        QSize shown = image->size();
        if (shown.width() > pictureArea.width() || shown.height() > pictureArea.height())
            shown = fitThumbnail(shown, box);
        QRect target(QPoint(0, 0), shown);
        target.moveCenter(pictureArea.center());
        painter.drawImage(target, *image);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(target.adjusted(0, 0, -1, -1));
        return;
    }
    QRect frame(0, 0, box, box);
    frame.moveCenter(pictureArea.center());
    if (cell.state == CellState::Failed) {
        // A clear sign that this file could not be drawn, not an empty picture.
        painter.fillRect(frame, QColor(0xf0, 0xf0, 0xf0));
        painter.setPen(QPen(QColor(0xc0, 0x30, 0x30), 2));
        const QRect cross = frame.adjusted(box / 4, box / 4, -box / 4, -box / 4);
        painter.drawLine(cross.topLeft(), cross.bottomRight());
        painter.drawLine(cross.topRight(), cross.bottomLeft());
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(frame.adjusted(2, 2, -2, -2), Qt::AlignHCenter | Qt::AlignBottom,
                         kPlaceholderText);
    } else {
        painter.setPen(QPen(palette().color(QPalette::Mid), 1, Qt::DotLine));
    }
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
}

void ThumbnailGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBar();
    schedule();
}

void ThumbnailGrid::scrollContentsBy(int, int) {
    viewport()->update();
    schedule();
}

void ThumbnailGrid::mousePressEvent(QMouseEvent* event) {
    const int index = indexAt(event->position().toPoint());
    if (index >= 0) setCurrentIndex(index);
    QAbstractScrollArea::mousePressEvent(event);
}

void ThumbnailGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    const int index = indexAt(event->position().toPoint());
    if (index < 0 || event->button() != Qt::LeftButton) return;
    setCurrentIndex(index);
    emit picked(index);
}

void ThumbnailGrid::keyPressEvent(QKeyEvent* event) {
    if (count() == 0) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const int current = std::max(0, m_current);
    int target = current;
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (m_current >= 0) emit picked(m_current);
            return;
        case Qt::Key_Left:
            target = current - 1;
            break;
        case Qt::Key_Right:
            target = current + 1;
            break;
        case Qt::Key_Up:
            target = current - columns();
            break;
        case Qt::Key_Down:
            target = current + columns();
            break;
        case Qt::Key_PageUp:
            target = current - columns() * rows();
            break;
        case Qt::Key_PageDown:
            target = current + columns() * rows();
            break;
        case Qt::Key_Home:
            target = 0;
            break;
        case Qt::Key_End:
            target = count() - 1;
            break;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
    setCurrentIndex(std::clamp(target, 0, count() - 1));
}

}  // namespace plume
